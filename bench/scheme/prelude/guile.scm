; Guile names for the facilities the workloads use. A name called per element
; is bound to guile's own procedure where the arguments agree (no wrapper, no
; rest list); only calls made once per workload, or whose arguments differ in
; order, go through a procedure of their own.
(use-modules (ice-9 regex))
(define %guile-make-hash-table (@ (guile) make-hash-table))
(define (make-hash-table kind) (%guile-make-hash-table 256))
(define hash-table-put! hash-set!)
(define hash-table-get hash-ref)
(define hash-table-delete! hash-remove!)
(define (hash-table-for-each t f) (hash-for-each f t))
(define (hash-table-num-entries t) (hash-count (const #t) t))
(define string->regexp make-regexp)
(define rxmatch regexp-exec)
(define rxmatch-substring match:substring)
(define (regexp-replace-all re s repl)
  (regexp-substitute/global #f re s 'pre repl 'post))
