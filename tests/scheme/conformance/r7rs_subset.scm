; Behaviour of the standard's core forms and procedures over exact integers,
; in this reader's syntax.
(load "harness.scm")
; Left out: inexact numbers, rationals and bignums (integers only here);
; scheme-report-environment and null-environment (one global environment);
; #true, #false, #\x41 and #; (not in this reader); string ports reading
; characters beyond the port's text; dynamic-wind and exceptions (absent).

; 4.1 primitive expressions
(test 3 ((lambda (x y) (+ x y)) 1 2))
(test '(3 4 5 6) ((lambda x x) 3 4 5 6))
(test '(5 6) ((lambda (x y . z) z) 3 4 5 6))
(test 'yes (if (> 3 2) 'yes 'no))
(test 1 (let ((x 2)) (set! x 1) x))
; The dialect's define yields the symbol.
(test 'defined-name (define defined-name 1))

; 4.2 derived forms
(test 'greater (cond ((> 3 2) 'greater) ((< 3 2) 'less)))
(test 2 (cond ((assv 'b '((a 1) (b 2))) => cadr) (else #f)))
(test 'composite (case (* 2 3) ((2 3 5 7) 'prime) ((1 4 6 8 9) 'composite)))
(test 'consonant (case (car '(c d)) ((a e i o u) 'vowel) ((w y) 'semivowel) (else 'consonant)))
(test #t (and 1 2 #t))
(test #f (and 1 #f 2))
(test #t (and))
(test 2 (or #f 2))
(test #f (or))
(test 6 (let ((x 2) (y 3)) (* x y)))
(test 70 (let ((x 2) (y 3)) (let* ((x 7) (z (+ x y))) (* z x))))
(test #t (letrec ((ev? (lambda (n) (if (= n 0) #t (od? (- n 1)))))
                  (od? (lambda (n) (if (= n 0) #f (ev? (- n 1))))))
           (ev? 88)))
(test 6 (let () (begin (define bx 1) (set! bx 6)) bx))
(test '#(0 1 2 3 4) (do ((vec (make-vector 5)) (i 0 (+ i 1))) ((= i 5) vec) (vector-set! vec i i)))
(test 25 (let ((x '(1 3 5 7 9))) (do ((x x (cdr x)) (sum 0 (+ sum (car x)))) ((null? x) sum))))
(test '((6 1 3) (-5 -2)) (let loop ((numbers '(3 -2 1 6 -5)) (nonneg '()) (neg '()))
                           (cond ((null? numbers) (list nonneg neg))
                                 ((>= (car numbers) 0) (loop (cdr numbers) (cons (car numbers) nonneg) neg))
                                 (else (loop (cdr numbers) nonneg (cons (car numbers) neg))))))
(test 3 (force (delay (+ 1 2))))
(test '(3 3) (let ((p (delay (+ 1 2)))) (list (force p) (force p))))
(test '(list 3 4) `(list ,(+ 1 2) 4))
(test '(list a (quote a)) (let ((name 'a)) `(list ,name ',name)))
(test '(a 3 4 5 6 b) `(a ,(+ 1 2) ,@(map abs '(4 -5 6)) b))
(test '(1 . 2) `(1 . ,(+ 1 1)))
(test '#(10 5 2 4 3 8) `#(10 5 ,(+ 1 1) ,@(map (lambda (x) (* x 1)) '(4 3)) 8))
(test '(a `(b ,(c) d) e) `(a `(b ,(c) d) e))
(test '(a `(b ,(+ 1 2) ,(foo 4 d) e) f) `(a `(b ,(+ 1 2) ,(foo ,(+ 1 3) d) e) f))
(test 'ok (when (= 1 1) 'ok))
(test #f (unless (= 1 1) 'no))

; 5.2-5.3 definitions
(define (add3 x) (+ x 3))
(test 6 (add3 3))
(define first car)
(test 1 (first '(1 2)))
(test 45 (let ((x 5)) (define foo (lambda (y) (bar x y))) (define bar (lambda (a b) (+ (* a b) a))) (foo (+ x 3))))

; 6.1 equivalence
(test #t (eqv? 'a 'a))
(test #t (eqv? 100000000 100000000))
(test #f (eqv? (cons 1 2) (cons 1 2)))
(test #f (eq? (list 'a) (list 'a)))
(test #t (equal? '(a (b) c) '(a (b) c)))
(test #t (equal? "abc" "abc"))
(test #t (equal? (make-vector 5 'a) (make-vector 5 'a)))

; 6.2 exact integers
(test #t (integer? 3))
(test #t (exact? 3))
(test #f (inexact? 3))
(test #t (= 1 1 1))
(test #t (< 1 2 3))
(test #f (< 1 3 2))
(test 4 (max 3 4))
(test 7 (+ 3 4))
(test 3 (+ 3))
(test 0 (+))
(test 1 (*))
(test -1 (- 3 4))
(test -3 (- 3))
(test 7 (abs -7))
(test 2 (quotient 7 3))
(test -2 (quotient -7 3))
(test 1 (modulo 13 4))
(test 1 (remainder 13 4))
(test 3 (modulo -13 4))
(test -1 (remainder -13 4))
(test -3 (modulo 13 -4))
(test 4 (gcd 32 -36))
(test 288 (lcm 32 -36))
(test 1 (expt 0 0))
(test 0 (expt 0 1))
(test 100 (string->number "100"))
(test "100" (number->string 100))
; The dialect reads digits only: "abc" is 0.
(test 0 (string->number "abc"))

; 6.3 booleans
(test #f (not 3))
(test #t (not #f))
(test #f (boolean? 0))

; 6.4 pairs and lists
(test '(a b c) (let ((x (list 'a 'b 'c))) x))
(test #t (list? '(a b c)))
(test #f (list? '(a . b)))
(test #t (let ((x (list 'a))) (set-cdr! x x) (not (list? x))))
(test '(a b c d) (append '(a) '(b c d)))
(test '(a b c . d) (append '(a b) '(c . d)))
(test 'a (append '() 'a))
(test '(c b a) (reverse '(a b c)))
(test 'c (list-ref '(a b c d) 2))
(test '(c d) (list-tail '(a b c d) 2))
(test '(a b c) (memq 'a '(a b c)))
(test #f (memq 'a '(b c d)))
(test '((a) c) (member (list 'a) '(b (a) c)))
(test '("b" "c") (member "B" '("a" "b" "c") string-ci=?))
(test '(101 102) (memv 101 '(100 101 102)))
(test '(b 2) (assq 'b '((a 1) (b 2))))
(test '((a)) (assoc (list 'a) '(((a)) ((b)) ((c)))))
(test '(2 4) (assoc 2 '((1 1) (2 4) (3 9)) =))
(test 3 (length '(a (b) (c d e))))

; 6.5 symbols
(test #t (symbol? 'foo))
(test "flying-fish" (symbol->string 'flying-fish))
(test 'mISSISSIppi (string->symbol "mISSISSIppi"))

; 6.6 characters
(test #t (char<? #\a #\b #\c))
(test #t (char-ci=? #\a #\A))
(test #\A (char-upcase #\a))
(test 97 (char->integer #\a))
(test #\a (integer->char 97))
(test #t (char-numeric? #\7))
(test #t (char-whitespace? #\newline))

; 6.7 strings
(test 3 (string-length "abc"))
(test #\b (string-ref "abc" 1))
(test "ab" (substring "abc" 0 2))
(test "foobar" (string-append "foo" "bar"))
(test '(#\a #\b) (string->list "ab"))
(test "ab" (list->string '(#\a #\b)))
(test #t (string<? "abc" "abd"))
(test #t (string=? "a" "a" "a"))
(test "zz" (let ((s (make-string 2 #\a))) (string-fill! s #\z) s))
(test "xbc" (let ((s (string-copy "abc"))) (string-set! s 0 #\x) s))

; 6.8 vectors
(test '#(0 (2 2 2 2) "Anna") (vector 0 '(2 2 2 2) "Anna"))
(test 8 (vector-ref '#(1 1 2 3 5 8 13 21) 5))
(test '(dah dah didah) (vector->list '#(dah dah didah)))
(test '#(dididit dah) (list->vector '(dididit dah)))
(test '#(z z) (let ((v (make-vector 2 'a))) (vector-fill! v 'z) v))

; 6.10 control
(test #t (procedure? car))
(test #f (procedure? 'car))
(test 7 (apply + (list 3 4)))
(test '(b e h) (map cadr '((a b) (d e) (g h))))
(test '(5 7 9) (map + '(1 2 3) '(4 5 6)))
(test '(0 1 4) (let ((v (make-vector 3))) (for-each (lambda (i) (vector-set! v i (* i i))) '(0 1 2)) (vector->list v)))
(test -3 (call/cc (lambda (exit) (for-each (lambda (x) (if (negative? x) (exit x))) '(54 0 37 -3 245 19)) #t)))
(test 5 (call-with-values (lambda () (values 4 5)) (lambda (a b) b)))
(test -1 (call-with-values * -))
; Extra arguments are ignored by primitives.
(test 1 (car '(1 2) 'ignored))

; 6.12 eval
(test 21 (eval '(* 7 3) (interaction-environment)))

; 6.13 input and output through string ports
(test "piece by piece" (let ((out (open-output-string))) (write-char #\p out) (display "iece by piece" out) (get-output-string out)))
(test '(a "b" #\c) (read (open-input-string "(a \"b\" #\\c)")))
(test #t (eof-object? (read (open-input-string ""))))
(test #\a (let ((p (open-input-string "ab"))) (peek-char p) (read-char p)))
(test #t (let ((p (open-input-string "a"))) (read-char p) (eof-object? (read-char p))))
(test "\"q\"" (let ((out (open-output-string))) (write "q" out) (get-output-string out)))
(test "q" (let ((out (open-output-string))) (display "q" out) (get-output-string out)))

(report)
