; Library definitions loaded at start-up: the list, control, number,
; character, string, vector and file procedures and the derived forms that
; the built-in primitives leave out. Loading it again redefines the same.

; ---------------------------------------------------------------- lists

(define (list . xs) xs)

(define (caar x) (car (car x)))
(define (cadr x) (car (cdr x)))
(define (cdar x) (cdr (car x)))
(define (cddr x) (cdr (cdr x)))
(define (caaar x) (car (car (car x))))
(define (caadr x) (car (car (cdr x))))
(define (cadar x) (car (cdr (car x))))
(define (caddr x) (car (cdr (cdr x))))
(define (cdaar x) (cdr (car (car x))))
(define (cdadr x) (cdr (car (cdr x))))
(define (cddar x) (cdr (cdr (car x))))
(define (cdddr x) (cdr (cdr (cdr x))))
(define (caaaar x) (car (car (car (car x)))))
(define (caaadr x) (car (car (car (cdr x)))))
(define (caadar x) (car (car (cdr (car x)))))
(define (caaddr x) (car (car (cdr (cdr x)))))
(define (cadaar x) (car (cdr (car (car x)))))
(define (cadadr x) (car (cdr (car (cdr x)))))
(define (caddar x) (car (cdr (cdr (car x)))))
(define (cadddr x) (car (cdr (cdr (cdr x)))))
(define (cdaaar x) (cdr (car (car (car x)))))
(define (cdaadr x) (cdr (car (car (cdr x)))))
(define (cdadar x) (cdr (car (cdr (car x)))))
(define (cdaddr x) (cdr (car (cdr (cdr x)))))
(define (cddaar x) (cdr (cdr (car (car x)))))
(define (cddadr x) (cdr (cdr (car (cdr x)))))
(define (cdddar x) (cdr (cdr (cdr (car x)))))
(define (cddddr x) (cdr (cdr (cdr (cdr x)))))

(define (list-tail l k)
  (cond ((= k 0) l)
        ((pair? l) (list-tail (cdr l) (- k 1)))
        (else (error "list-tail: index out of range:" k))))

(define (list-ref l k)
  (let loop ((l l) (i k))
    (cond ((not (pair? l)) (error "list-ref: index out of range:" k))
          ((= i 0) (car l))
          (else (loop (cdr l) (- i 1))))))

(define (memq x l)
  (cond ((not (pair? l)) #f)
        ((eq? x (car l)) l)
        (else (memq x (cdr l)))))

(define (memv x l)
  (cond ((not (pair? l)) #f)
        ((eqv? x (car l)) l)
        (else (memv x (cdr l)))))

(define (member x l . compare)
  (let ((same? (if (pair? compare) (car compare) equal?)))
    (let loop ((l l))
      (cond ((not (pair? l)) #f)
            ((same? x (car l)) l)
            (else (loop (cdr l)))))))

(define (assq x l)
  (cond ((not (pair? l)) #f)
        ((eq? x (car (car l))) (car l))
        (else (assq x (cdr l)))))

(define (assv x l)
  (cond ((not (pair? l)) #f)
        ((eqv? x (car (car l))) (car l))
        (else (assv x (cdr l)))))

(define (assoc x l . compare)
  (let ((same? (if (pair? compare) (car compare) equal?)))
    (let loop ((l l))
      (cond ((not (pair? l)) #f)
            ((same? x (car (car l))) (car l))
            (else (loop (cdr l)))))))

; ---------------------------------------------------------------- control

(define call/cc call-with-current-continuation)

; Results are gathered in reverse and reversed at the end: nothing built is
; ever changed, so a continuation re-entered inside f sees its own list.
(define (map f l . ls)
  (cond ((null? ls)
         (let loop ((l l) (acc '()))
           (if (pair? l)
               (loop (cdr l) (cons (f (car l)) acc))
               (reverse acc))))
        ((null? (cdr ls))
         (let loop ((a l) (b (car ls)) (acc '()))
           (if (pair? a)
               (if (pair? b)
                   (loop (cdr a) (cdr b) (cons (f (car a) (car b)) acc))
                   (reverse acc))
               (reverse acc))))
        (else
      (let loop ((ls (cons l ls)) (acc '()))
        (let check ((rest ls))
          (cond ((null? rest)
                 (loop (let cdrs ((rest ls) (out '()))
                         (if (pair? rest)
                             (cdrs (cdr rest) (cons (cdr (car rest)) out))
                             (reverse out)))
                       (cons (apply f (let cars ((rest ls) (out '()))
                                        (if (pair? rest)
                                            (cars (cdr rest) (cons (car (car rest)) out))
                                            (reverse out))))
                             acc)))
                ((pair? (car rest)) (check (cdr rest)))
                (else (reverse acc))))))))

(define (for-each f l . ls)
  (if (null? ls)
      (let loop ((l l))
        (if (pair? l)
            (begin (f (car l)) (loop (cdr l)))
            #t))
      (let loop ((ls (cons l ls)))
        (let check ((rest ls))
          (cond ((null? rest)
                 (apply f (let cars ((rest ls) (out '()))
                            (if (pair? rest)
                                (cars (cdr rest) (cons (car (car rest)) out))
                                (reverse out))))
                 (loop (let cdrs ((rest ls) (out '()))
                         (if (pair? rest)
                             (cdrs (cdr rest) (cons (cdr (car rest)) out))
                             (reverse out)))))
                ((pair? (car rest)) (check (cdr rest)))
                (else #t))))))

(define (force promise)
  (if (procedure? promise) (promise) promise))

; ---------------------------------------------------------------- numbers

(define (quotient a b) (/ a b))

(define (abs x) (if (< x 0) (- x) x))

(define (min x . xs)
  (let loop ((m x) (xs xs))
    (cond ((null? xs) m)
          ((< (car xs) m) (loop (car xs) (cdr xs)))
          (else (loop m (cdr xs))))))

(define (max x . xs)
  (let loop ((m x) (xs xs))
    (cond ((null? xs) m)
          ((> (car xs) m) (loop (car xs) (cdr xs)))
          (else (loop m (cdr xs))))))

(define (zero? x) (= x 0))
(define (positive? x) (> x 0))
(define (negative? x) (< x 0))
(define (odd? x) (not (= (remainder x 2) 0)))
(define (even? x) (= (remainder x 2) 0))

(define (gcd . xs)
  (let loop ((g 0) (xs xs))
    (if (null? xs)
        g
        (loop (let euclid ((a (abs g)) (b (abs (car xs))))
                (if (= b 0) a (euclid b (remainder a b))))
              (cdr xs)))))

(define (lcm . xs)
  (let loop ((l 1) (xs xs))
    (cond ((null? xs) l)
          ((= (car xs) 0) 0)
          (else (loop (abs (* (quotient l (gcd l (car xs))) (car xs))) (cdr xs))))))

(define (expt base e)
  (if (< e 0)
      (error "expt: exponent must be 0 or more:" e)
      (let loop ((b base) (e e) (acc 1))
        (cond ((= e 0) acc)
              ((odd? e) (loop (* b b) (quotient e 2) (* acc b)))
              (else (loop (* b b) (quotient e 2) acc))))))

(define (exact? x)
  (if (number? x) #t (error "exact?: number required:" x)))

(define (inexact? x)
  (if (number? x) #f (error "inexact?: number required:" x)))

; ---------------------------------------------------------------- characters

(define (char-upcase c)
  (let ((n (char->integer c)))
    (if (if (>= n 97) (<= n 122) #f) (integer->char (- n 32)) c)))

(define (char-downcase c)
  (let ((n (char->integer c)))
    (if (if (>= n 65) (<= n 90) #f) (integer->char (+ n 32)) c)))

(define (char-upper-case? c)
  (let ((n (char->integer c))) (if (>= n 65) (<= n 90) #f)))

(define (char-lower-case? c)
  (let ((n (char->integer c))) (if (>= n 97) (<= n 122) #f)))

(define (char-alphabetic? c)
  (if (char-upper-case? c) #t (char-lower-case? c)))

(define (char-numeric? c)
  (let ((n (char->integer c))) (if (>= n 48) (<= n 57) #f)))

(define (char-whitespace? c)
  (let ((n (char->integer c)))
    (if (= n 32) #t (if (>= n 9) (<= n 13) #f))))

(define-macro (_char-compare name test fold)
  (let ((a (gensym)) (b (gensym)) (rest (gensym)) (loop (gensym)))
    `(define (,name ,a ,b . ,rest)
       (if (null? ,rest)
           (,test (char->integer (,fold ,a)) (char->integer (,fold ,b)))
           (let ,loop ((,a ,a) (,b ,b) (,rest ,rest))
             (if (,test (char->integer (,fold ,a)) (char->integer (,fold ,b)))
                 (if (pair? ,rest) (,loop ,b (car ,rest) (cdr ,rest)) #t)
                 #f))))))

(_char-compare char=? = (lambda (c) c))
(_char-compare char<? < (lambda (c) c))
(_char-compare char>? > (lambda (c) c))
(_char-compare char<=? <= (lambda (c) c))
(_char-compare char>=? >= (lambda (c) c))
(_char-compare char-ci=? = char-downcase)
(_char-compare char-ci<? < char-downcase)
(_char-compare char-ci>? > char-downcase)
(_char-compare char-ci<=? <= char-downcase)
(_char-compare char-ci>=? >= char-downcase)

; ---------------------------------------------------------------- strings

(define-macro (_string-compare name cmp test)
  (let ((a (gensym)) (b (gensym)) (rest (gensym)) (loop (gensym)))
    `(define (,name ,a ,b . ,rest)
       (if (null? ,rest)
           (,cmp ,test ,a ,b)
           (let ,loop ((,a ,a) (,b ,b) (,rest ,rest))
             (if (,cmp ,test ,a ,b)
                 (if (pair? ,rest) (,loop ,b (car ,rest) (cdr ,rest)) #t)
                 #f))))))

(_string-compare string=? _string-cmp? =)
(_string-compare string<? _string-cmp? <)
(_string-compare string>? _string-cmp? >)
(_string-compare string<=? _string-cmp? <=)
(_string-compare string>=? _string-cmp? >=)
(_string-compare string-ci=? _string-cmp-ci? =)
(_string-compare string-ci<? _string-cmp-ci? <)
(_string-compare string-ci>? _string-cmp-ci? >)
(_string-compare string-ci<=? _string-cmp-ci? <=)
(_string-compare string-ci>=? _string-cmp-ci? >=)

(define (list->string chars)
  (let ((port (open-output-string)))
    (let loop ((l chars))
      (if (pair? l)
          (begin (write-char (car l) port) (loop (cdr l)))
          (get-output-string port)))))

(define (string . chars) (list->string chars))

(define (string->list s)
  (let ((port (open-input-string s)))
    (let loop ((acc '()))
      (let ((c (read-char port)))
        (if (eof-object? c)
            (reverse acc)
            (loop (cons c acc)))))))

(define (string-copy s . range)
  (if (pair? range)
      (substring s (car range) (if (pair? (cdr range)) (car (cdr range)) (string-length s)))
      (string-append s)))

(define (string-fill! s c)
  (let ((n (string-length s)))
    (let loop ((i 0))
      (if (< i n)
          (begin (string-set! s i c) (loop (+ i 1)))
          s))))

; ---------------------------------------------------------------- vectors

; The vector step of _quasiquote-vec copies a proper list in one go; any
; other argument meets length's own error, as it always has.
(define (list->vector l)
  (if (list? l) (_quasiquote-vec (unquote l)) (length l)))

(define (vector . xs) (list->vector xs))

; Eight elements a turn, from the end; the last few one by one.
(define (vector->list v)
  (let loop ((i (- (vector-length v) 1)) (acc '()))
    (if (< i 7)
        (if (< i 0)
            acc
            (loop (- i 1) (cons (vector-ref v i) acc)))
        (loop (- i 8)
              (cons (vector-ref v (- i 7))
               (cons (vector-ref v (- i 6))
                (cons (vector-ref v (- i 5))
                 (cons (vector-ref v (- i 4))
                  (cons (vector-ref v (- i 3))
                   (cons (vector-ref v (- i 2))
                    (cons (vector-ref v (- i 1))
                     (cons (vector-ref v i) acc))))))))))))

(define (vector-fill! v x)
  (let ((n (vector-length v)))
    (let loop ((i 0))
      (if (< i n)
          (begin (vector-set! v i x) (loop (+ i 1)))
          v))))

; ---------------------------------------------------------------- files

(define (call-with-input-file name proc)
  (let* ((port (open-input-file name))
         (result (proc port)))
    (close-input-port port)
    result))

(define (call-with-output-file name proc)
  (let* ((port (open-output-file name))
         (result (proc port)))
    (close-output-port port)
    result))

; ---------------------------------------------------------------- forms

(define-macro (when test . body)
  `(if ,test (begin ,@body) #f))

(define-macro (unless test . body)
  `(if ,test #f (begin ,@body)))

(define-macro (case key . clauses)
  (let ((k (gensym)))
    `(let ((,k ,key))
       (cond ,@(map (lambda (clause)
                      (if (eq? (car clause) 'else)
                          `(#t ,@(cdr clause))
                          `((memv ,k ',(car clause)) ,@(cdr clause))))
                    clauses)))))

(define-macro (do specs test-and-result . body)
  (let ((loop (gensym)))
    `(let ,loop ,(map (lambda (s) (list (car s) (car (cdr s)))) specs)
       (if ,(car test-and-result)
           (begin #f ,@(cdr test-and-result))
           (begin ,@body
                  (,loop ,@(map (lambda (s) (if (pair? (cdr (cdr s))) (car (cdr (cdr s))) (car s)))
                                specs)))))))

(define-macro (delay expr)
  (let ((done (gensym)) (value (gensym)) (v (gensym)))
    `(let ((,done #f) (,value #f))
       (lambda ()
         (if ,done
             ,value
             (let ((,v ,expr))
               (if ,done
                   ,value
                   (begin (set! ,value ,v) (set! ,done #t) ,value))))))))

(define-macro (define-class name supers slots)
  `(define ,name
     (_define-class ,(symbol->string name) ',supers
                    ',(map (lambda (s) (if (pair? s) (car s) s)) slots))))
