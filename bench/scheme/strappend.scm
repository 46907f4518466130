;; interpreters: tavrelix tinyscheme guile
; string-append growing a string to 10,000 characters, five times.
(define (grow)
  (let loop ((s "") (i 0))
    (if (< i 10000) (loop (string-append s "a") (+ i 1)) (string-length s))))
(define (repeat k total) (if (= k 0) total (repeat (- k 1) (+ total (grow)))))
(display (repeat 5 0))
(newline)
