(define loaded-value 42)
