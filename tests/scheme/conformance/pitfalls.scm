; Classic traps for Scheme implementations, written for this dialect.
(load "harness.scm")

; 1.1-1.3: letrec initialisers re-entered through continuations.
(test 0
      (let ((again #f))
        (letrec ((a (call/cc (lambda (k) (set! again k) 0)))
                 (b (call/cc (lambda (k) (set! again k) 0))))
          (if again
              (let ((k again))
                (set! again #f)
                (set! a 1)
                (set! b 1)
                (k 0))
              (+ a b)))))
(test #t
      (letrec ((p (call/cc list)) (q (call/cc list)))
        (cond ((procedure? p) (p (pair? q)))
              ((procedure? q) (q (pair? p))))
        (let ((p (car p)) (q (car q)))
          (and (call/cc p) (call/cc q) (call/cc p)))))
(test #t
      (letrec ((first (call/cc (lambda (k) k))))
        (if (procedure? first)
            (first (lambda () #t))
            (first))))

; 2.1: the operator position is evaluated like any operand.
(test 1 (call/cc (lambda (c) (0 (c 1)))))

; 4.1-4.3: no identifier is reserved.
(test #f (let ((quote -)) (eqv? '1 1)))
(test '(1 2 3) (let ((if list)) (if 1 2 3)))
(test '(x y) (let ((define list)) (define 'x 'y)))

; 5.1-5.3: #f and the empty list are distinct.
(test #f (eq? #f '()))
(test 1 (if '() 1 2))
(test #f (null? #f))

; 6.1: string->symbol keeps case.
(test "MiXeD" (symbol->string (string->symbol "MiXeD")))
(test #f (eq? 'abc (string->symbol "ABC")))

; 7.1-7.4: continuations re-entered through case, internal defines, map and let*.
(test 3
      (let ((k #f) (n 0))
        (case (call/cc (lambda (c) (set! k c) 'go))
          ((go stop) (set! n (+ n 1))))
        (if (< n 3) (k 'go) n)))
(test '(1 2)
      (let ((k #f) (seen '()))
        (define (f)
          (define v (call/cc (lambda (c) (set! k c) 1)))
          v)
        (set! seen (cons (f) seen))
        (if (< (length seen) 2) (k 2) (reverse seen))))
(test '((1 2 3) (1 20 3))
      (let ((k #f) (results '()))
        (let ((r (map (lambda (x) (call/cc (lambda (c) (if (= x 2) (set! k c)) x))) '(1 2 3))))
          (set! results (cons r results))
          (if (= (length results) 1) (k 20) (reverse results)))))
(test '(10 1)
      (let ((k #f) (out '()))
        (let* ((a (call/cc (lambda (c) (set! k c) 1)))
               (b (+ a 0)))
          (set! out (cons b out))
          (if (= (length out) 1) (k 10) out))))

; 8.1-8.2: a named let called -, and append sharing its argument.
(test -1 (let - ((n (- 1))) n))
(test '(1 2 3 1 2 3 4) (let ((ls (list 1 2 3))) (append ls ls '(4))))

(report)
