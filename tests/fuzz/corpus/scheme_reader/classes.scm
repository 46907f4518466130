;! env TZ=UTC
; Classes, instances and the system primitives under UTC.
(define-class <c> () (x (y 0)))
(define obj (make <c>))
(write (slot-ref obj 'x))
(newline)
(slot-set! obj 'x 5)
(display (slot-ref obj 'x))
(newline)
(define names (list 'a 'b))
(define <d> (_define-class "<d>" '() names))
(set-cdr! (cdr names) (list 'late))
(define d (make <d>))
(slot-set! d 'b 2)
(display (slot-ref d 'b))
(newline)
;---
(slot-ref d 'late)
;---
(slot-ref obj 'z)
;---
(slot-set! obj 'z 1)
;---
(slot-set! (sys-localtime (sys-time)) 'sec "a")
;---
(display (sys-strftime "%Y" (sys-localtime 0)))
(newline)
(display (sys-strftime "%Y-%m-%d %H:%M:%S %a %b %p" (sys-localtime 86400)))
(newline)
(define tm (sys-localtime 1000000000))
(display (list (slot-ref tm 'year) (slot-ref tm 'mon) (slot-ref tm 'mday) (slot-ref tm 'wday)
               (slot-ref tm 'yday) (slot-ref tm 'isdst)))
(newline)
; Literals saturate at 32 bits: larger times are computed.
(define last-time (+ (* 32535 1000000) 215999))
(display (sys-strftime "%Y-%m-%d %H:%M:%S" (sys-localtime last-time)))
(newline)
(write (sys-strftime "%Y" (make <sys-tm>)))
(newline)
(write (string-length (sys-strftime (make-string 2000 #\a) (sys-localtime 0))))
(write (sys-strftime (let loop ((i 0) (acc "")) (if (< i 2000) (loop (+ i 1) (string-append acc "%Y")) acc))
                     (sys-localtime 0)))
(newline)
;---
(sys-localtime -1)
;---
(sys-localtime (+ last-time 1))
;---
(sys-strftime "%Y" obj)
;---
(write (sys-getenv "TAVRELIX_SURELY_UNSET_VARIABLE"))
(newline)
(display (sys-getenv "TZ"))
(newline)
(define st (sys-stat (string-append (car (cdr *load-path*)) "/data/plain.scm")))
(display (list (slot-ref st 'size) (> (slot-ref st 'mtime) 0)))
(newline)
;---
(sys-stat "/nonexistent/file")
;---
(display (> (sys-time) 1600000000))
(newline)
