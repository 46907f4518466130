; Arithmetic on 64-bit integers, lists, equality and output.
(define int64-min (* -2147483648 -2147483648 -2))
(define int64-max (- int64-min 1))
(display int64-min) (newline)
(display int64-max) (newline)
(display (+ int64-max 1)) (newline)
(display (/ int64-min -1)) (newline)
(display (remainder int64-min -1)) (newline)
(display (modulo int64-min -1)) (newline)
(display (list (/ 7 2) (/ -7 2) (remainder 7 -2) (remainder -7 2) (modulo -7 2) (modulo 7 -2)))
(newline)
(display (list (<= 1 2 2) (<= 2 1) (>= 3 3 1) (>= 1 2) (boolean? #f) (boolean? '())))
(newline)
(display (list (list? '(1 2)) (list? '(1 . 2)) (length '(1 2 3)) (reverse '(1 2 3))
               (append '(1) '(2 3) '() '(4 . 5)) (append) (append '() 7)))
(newline)
(define g (gensym))
(display (list (gensym? g) (gensym? 'g) (eq? g (gensym))))
(newline)
(write (list "a\"b" #\a #\space 'sym))
(newline)
;---
(/ 1 0)
;---
(remainder 1 0)
;---
(modulo 1 0)
;---
(length '(1 . 2))
;---
(+ 1 "a")
