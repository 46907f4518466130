; Library definitions loaded at start-up: the list, control, number,
; character, string, vector and file procedures and the derived forms that
; the built-in primitives leave out. Loading it again redefines the same.

; ---------------------------------------------------------------- lists
