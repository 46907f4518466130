;; interpreters: tavrelix tinyscheme guile
; vector->list and list->vector round trips of 100,000 elements, 20 times.
(define v (make-vector 100000 'e))
(define (repeat k v) (if (= k 0) (vector-length v) (repeat (- k 1) (list->vector (vector->list v)))))
(display (repeat 20 v))
(newline)
