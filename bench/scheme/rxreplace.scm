;; interpreters: tavrelix
; regexp-replace-all over 1 MB by a literal template. No reference: guile's
; regexp-substitute/global takes time quadratic in the text's length (2.2 s
; for 52 KB, 27.7 s for 209 KB), some eleven minutes for 1 MB, far past the
; two-minute bound.
(define (text n)
  (let ((out (open-output-string)))
    (let loop ((i 0))
      (if (< i n) (begin (display "abc 1234 def 56789 " out) (loop (+ i 1)))))
    (get-output-string out)))
(define s (text 55000))
(display (string-length (regexp-replace-all (string->regexp "[0-9]+") s "N")))
(newline)
