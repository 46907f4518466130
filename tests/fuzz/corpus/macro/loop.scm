(app-set-event-handler "on-foo" car)
(display "\u3042")
(let loop () (loop))
