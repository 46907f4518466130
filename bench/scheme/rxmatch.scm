;; interpreters: tavrelix guile
; A two-group match over 10,000 lines.
(define re (string->regexp "([a-z]+)=([0-9]+)"))
(define (line i) (string-append "key" "=" (number->string i)))
(define (run i total)
  (if (= i 10000)
      total
      (let ((m (rxmatch re (line i))))
        (run (+ i 1) (+ total (string-length (rxmatch-substring m 2)))))))
(display (run 0 0))
(newline)
