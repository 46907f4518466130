;; interpreters: tavrelix guile
; 100,000 characters written to a string port and read back.
(define (run)
  (let ((out (open-output-string)))
    (let loop ((i 0))
      (if (< i 100000)
          (begin (write-char #\a out) (loop (+ i 1)))))
    (let ((in (open-input-string (get-output-string out))))
      (let loop ((n 0))
        (if (eof-object? (read-char in)) n (loop (+ n 1)))))))
(display (run))
(newline)
