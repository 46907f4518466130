;; interpreters: tavrelix tinyscheme guile
; 100,000 substrings of a 1,000-character string.
(define s (make-string 1000 #\x))
(define (run n total)
  (if (= n 0) total (run (- n 1) (+ total (string-length (substring s 100 200))))))
(display (run 100000 0))
(newline)
