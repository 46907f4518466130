;; interpreters: tavrelix tinyscheme guile
(define (tak x y z)
  (if (< y x)
      (tak (tak (- x 1) y z) (tak (- y 1) z x) (tak (- z 1) x y))
      z))
(define (repeat n r)
  (if (< 0 n) (repeat (- n 1) (tak 18 12 6)) r))
(display (repeat 10 0))
(newline)
