; A small test harness: (test expected expr) compares with equal? and
; reports a failure with the expression; (report) prints the totals.
(define *passed* 0)
(define *failed* 0)

(define-macro (test expected expr)
  (let ((got (gensym)) (want (gensym)))
    `(let ((,got ,expr) (,want ,expected))
       (if (equal? ,got ,want)
           (set! *passed* (+ *passed* 1))
           (begin
             (set! *failed* (+ *failed* 1))
             (display "FAIL: ")
             (write ',expr)
             (display " gave ")
             (write ,got)
             (display ", expected ")
             (write ,want)
             (newline))))))

(define (report)
  (display *passed*)
  (display " passed, ")
  (display *failed*)
  (display " failed")
  (newline))
