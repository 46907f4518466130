; Regular-expression primitives.
(define r (string->regexp "a(b)?(c)"))
(write (list (regexp? r) (regexp? "a") (regexp->string r) (regexp->string #/x+y/)))
(newline)
(define m (rxmatch r "xxac"))
(write (list (regmatch? m) (rxmatch-num-matches m) (rxmatch-substring m) (rxmatch-substring m 1)
             (rxmatch-start m 1) (rxmatch-end m 1) (rxmatch-start m) (rxmatch-end m 2)))
(newline)
(write (list (rxmatch #/q/ "abc") (rxmatch-num-matches #f) (rxmatch-substring #f) (rxmatch-start #f)
             (rxmatch-end #f)))
(newline)
;---
(rxmatch-substring m 3)
;---
(rxmatch-start m -1)
;---
(string->regexp "a(")
;---
(write (list (rxmatch #/abc/ "ABC") (rxmatch-substring (rxmatch (string->regexp "abc" 1) "xABC"))
             (rxmatch (string->regexp "abc" #f) "ABC")))
(newline)
(define p (string (integer->char #x1F600) #\a))
(define pm (rxmatch #/a/ p))
(write (list (rxmatch-start pm) (rxmatch-end pm)))
(newline)
(define em (rxmatch #/x*/ "abc"))
(write (list (rxmatch-substring em) (rxmatch-start em) (rxmatch-end em)))
(newline)
(define subject "no match here")
(write (eq? subject (regexp-replace #/zzz/ subject "y")))
(newline)
(write (list (regexp-replace #/a(.)/ "xabyac" "<\\1>") (regexp-replace-all #/a(.)/ "xabyac" "<\\1>")
             (regexp-replace-all #/a/ "banana" "o")
             (regexp-replace-all #/[0-9]+/ "a1b22" (lambda (m) (* 2 (string->number (rxmatch-substring m)))))
             (regexp-replace-all #/[a-z]+/ "ab cd" rxmatch-substring)))
(newline)
;---
(regexp-replace #/a/ "a" 5)
;---
(regexp-replace "a" "a" "b")
;---
(display "before ")
(regexp-replace-all #/a/ "aaa" (lambda (m) (error "in procedure" (rxmatch-start m))))
(display "not reached")
;---
(newline)
(define (same-literal s)
  (regexp-replace-all #/([a-z])([0-9])/ s
    (lambda (m)
      (rxmatch #/([a-z])([0-9])/ "zz q9")
      (string-append (regexp-replace-all #/([a-z])([0-9])/ "k7" "\\2\\1") "/" (rxmatch-substring m 2)))))
(write (same-literal "a1 b2 c3"))
(newline)
(write (regexp-replace-all #/([a-z])([0-9])/ "a1 b2 c3" "7k/\\2"))
(newline)
(define victim (string-copy "aXbXc"))
(write (regexp-replace-all #/X/ victim
         (lambda (m) (string-set! victim 0 (integer->char #x1F600)) "-")))
(newline)
(define short (string-copy "abcdef"))
(define sm (rxmatch #/ef/ short))
(string-set! short 0 (integer->char #x1F600))
(string-set! short 0 #\a)
(write (rxmatch-substring sm))
(newline)
(define shrink (string-copy (string (integer->char #x1F600) #\b #\c #\d)))
(define shm (rxmatch #/d/ shrink))
(string-set! shrink 0 #\a)
(rxmatch-start shm)
;---
(rxmatch-end shm)
;---
(rxmatch-substring shm)
;---
(define (nest n)
  (if (= n 0) "x"
      (regexp-replace #/x/ "x" (lambda (m) (nest (- n 1))))))
(write (nest 10))
(newline)
(nest 70)
;---
(display "after nesting")
(newline)
(define (rx-exit) (regexp-replace-all #/a/ "aa" (lambda (m) (exit) "b")) (display "not after exit"))
(rx-exit)
(display "not after exit either")
;---
(newline)
(rxmatch #/^(a+)+$/ (string-append (make-stri