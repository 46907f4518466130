(define (+ 0) 1)
(display (+ 0))
