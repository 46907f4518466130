(app-msg-box "a" 1)
(app-set-key "Ctrl+" (lambda () 1))
(grid-get-cell-string (* 65536 65536) 0)
