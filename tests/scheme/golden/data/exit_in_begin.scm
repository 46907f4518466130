(display 1)
(begin (exit) (display 2))
(display 4)
