;; interpreters: tavrelix guile
; 100,000 integer keys put and got once.
(define t (make-hash-table 'equal?))
(define (put i) (if (< i 100000) (begin (hash-table-put! t i i) (put (+ i 1)))))
(define (get i n) (if (< i 100000) (get (+ i 1) (if (hash-table-get t i #f) (+ n 1) n)) n))
(put 0)
(display (get 0 0))
(newline)
