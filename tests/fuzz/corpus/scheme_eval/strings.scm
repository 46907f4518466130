; String primitives: characters are code points; a lone surrogate is one.
(define s3 "abc")
(define pair-text (string (integer->char #x1F600)))
(display (list (string-length "") (string-length pair-text) (char->integer (string-ref pair-text 0))))
(newline)
(display (char->integer (string-ref s3 3)))
(newline)
;---
(string-ref s3 4)
;---
(string-ref s3 -1)
;---
(define t (string-copy "abc"))
(string-set! t 3 #\z)
;---
(display t)
(newline)
(string-set! t 1 (integer->char #x1F600))
(display (list (string-length t) (string-ref t 0) (char->integer (string-ref t 1)) (string-ref t 2)))
(newline)
(string-set! t 1 #\b)
(display (list t (string-length t)))
(newline)
(write (list (substring "hello" 1 3) (substring "hello" 5 5)))
(newline)
;---
(substring "hello" 3 1)
;---
(substring "hello" 2 6)
;---
(write (list (string-append) (string-append "a" "bc" "") (make-string 3) (make-string 0 #\a)
             (make-string 2 (integer->char #x1F600))))
(newline)
;---
(string-append "a" 1)
;---
(display (list (_string-cmp? < "abc" "abd") (_string-cmp? = "abc" "abc") (_string-cmp? < "ab" "abc")
               (_string-cmp-ci? = "ABC" "abc")
               (_string-cmp-ci? = (string (integer->char #xFF21)) (string (integer->char #xFF41)))
               (_string-cmp? >= "b" "a") (_string-cmp? <= "b" "a") (_string-cmp? > "a" "a")))
(newline)
;---
(_string-cmp? (lambda (a b) #t) "a" "b")
;---
(_string-cmp? + "a" "b")
;---
(_string-cmp? "x" "a" "b")
;---
(define hi (integer->char #xD800))
(define lone (make-string 2 hi))
(display (list (string-length lone) (char->integer (string-ref lone 2))
               (char->integer (string-ref lone 1))))
(newline)
(define ends-high (string-append "ab" (string hi)))
(display (list (string-length ends-high) (_string-cmp? = ends-high ends-high)
               (_string-cmp? < "ab" ends-high) (string-length (substring ends-high 2 3))
               (length (string->list ends-high))))
(newline)
(define beyond (make-string 1 (integer->char #x110000)))
(display (list (string-length beyond) (char->integer (string-ref beyond 0))))
(newline)
;---
(string-ref ends-high 4)
