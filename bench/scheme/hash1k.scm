;; interpreters: tavrelix guile
; 1,000 integer and string keys put, got and deleted 100 times, then walked.
(define (keys n acc) (if (= n 0) acc (keys (- n 1) (cons n (cons (number->string n) acc)))))
(define all (keys 1000 '()))
(define t (make-hash-table 'equal?))
(define (each l f) (if (pair? l) (begin (f (car l)) (each (cdr l) f))))
(define (round k hits)
  (if (= k 0)
      hits
      (begin
        (each all (lambda (x) (hash-table-put! t x k)))
        (let ((found 0))
          (each all (lambda (x) (if (hash-table-get t x #f) (set! found (+ found 1)))))
          (if (> k 1) (each all (lambda (x) (hash-table-delete! t x))))
          (round (- k 1) (+ hits found))))))
(display (round 100 0))
(define walked 0)
(hash-table-for-each t (lambda (k v) (set! walked (+ walked 1))))
(display " ")
(display walked)
(newline)
