; Predicates, conversions and vectors.
(display (list (number? 1) (integer? 'a) (procedure? car) (procedure? (lambda () 1))
               (closure? car) (pair? '()) (symbol? 'a) (string? "a") (char? #\a) (vector? (vector))))
(newline)
(write (list (number->string -42) (string->number "  17") (string->number "abc")
             (symbol->string 'abc) (string->symbol "MiXed") (char->integer #\A) (integer->char 97)))
(newline)
(define v (make-vector 3 0))
(vector-set! v 0 'a)
(write (list v (vector-length v) (vector-ref v 0) (make-vector 0)))
(newline)
;---
(vector-ref v 3)
;---
(vector-set! v -1 0)
;---
(write (list (get-closure-code (lambda (x) x)) (get-closure-code car)))
(newline)
(write (eq? (string->symbol "abc") 'abc))
(newline)
