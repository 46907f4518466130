; Control primitives: load by absolute and searched names, exit inside a
; loaded file, eval, apply, values, macro expansion.
(define data-dir (string-append (car (cdr *load-path*)) "/data"))
(display (load (string-append data-dir "/plain.scm")))
(newline)
(display loaded-value)
(newline)
;---
(load "c:\\x.scm")
;---
(load "C:\\x.scm")
;---
(load "\\\\server\\share\\x.scm")
;---
(load "data/plain.scm")
(display "searched ")
(display loaded-value)
(newline)
;---
(load (string-append data-dir "/exit_in_begin.scm"))
(display 3)
;---
(newline)
(display (eval '(+ 1 2)))
(display (eval '(* 2 3) (interaction-environment)))
(display (apply + 1 2 '(3 4)))
(newline)
(call-with-values (lambda () (values 1 2 3)) (lambda (a b c) (display (list a b c))))
(newline)
(define-macro (twice x) `(begin ,x ,x))
(write (macroexpand-1 '(twice (display 1))))
(newline)
(write (macroexpand '(when #t (twice 1))))
(newline)
;---
(apply + 1 2)
;---
(display "require: ")
(require "data/plain")
(display loaded-value)
(newline)
