;! env TZ=XST+8
;! exec-hook
; Local time west of UTC and recorded program starts.
(display (sys-strftime "%Y" (sys-localtime 0)))
(newline)
(display (sys-strftime "%H" (sys-localtime 0)))
(newline)
(display (win-exec "prog" "file"))
(newline)
;---
(win-exec "prog" 1)
;---
(win-exec (make-string 1022 #\a))
;---
(win-exec (make-string 1022 #\a) "")
;---
(win-exec (make-string 1023 #\a))
