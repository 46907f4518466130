;; interpreters: tavrelix guile
; string-ref over every index of a 10,000-character string (each index is a
; walk from the start here).
(define s (make-string 10000 #\r))
(define (run i n) (if (= i 10000) n (run (+ i 1) (if (char=? (string-ref s i) #\r) (+ n 1) n))))
(display (run 0 0))
(newline)
