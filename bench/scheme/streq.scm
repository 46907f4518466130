;; interpreters: tavrelix guile
; 1,000,000 comparisons of two 20-character strings.
; (tinyscheme: its library string=? and string ports fail on this build)
(define a (make-string 20 #\q))
(define b (make-string 20 #\q))
(define (run n hits) (if (= n 0) hits (run (- n 1) (if (string=? a b) (+ hits 1) hits))))
(display (run 1000000 0))
(newline)
