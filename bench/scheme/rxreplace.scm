;; interpreters: tavrelix guile
; regexp-replace-all over 1 MB by a literal template.
(define (text n)
  (let ((out (open-output-string)))
    (let loop ((i 0))
      (if (< i n) (begin (display "abc 1234 def 56789 " out) (loop (+ i 1)))))
    (get-output-string out)))
(define s (text 55000))
(display (string-length (regexp-replace-all (string->regexp "[0-9]+") s "N")))
(newline)
