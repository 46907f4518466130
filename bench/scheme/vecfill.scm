;; interpreters: tavrelix tinyscheme guile
; Fill and sum 100,000 elements, 100 times.
(define v (make-vector 100000 0))
(define (fill i) (if (< i 100000) (begin (vector-set! v i i) (fill (+ i 1)))))
(define (sum i acc) (if (< i 100000) (sum (+ i 1) (+ acc (vector-ref v i))) acc))
(define (repeat k total) (if (= k 0) total (begin (fill 0) (repeat (- k 1) (+ total (sum 0 0))))))
(display (repeat 100 0))
(newline)
