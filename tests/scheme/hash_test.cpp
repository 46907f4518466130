// Hash tables and their primitives.
#include "scheme_fixture.h"

TEST_F(SchemeTest, HashTableBasics) {
    EXPECT_EQ(
        eval("(define t (make-hash-table 'equal?)) (hash-table-put! t (list 1 2) 'x) (hash-table-get t (list "
             "1 2))"),
        "x");
    EXPECT_EQ(
        eval("(define e (make-hash-table)) (hash-table-put! e 100000 'y) (hash-table-get e (+ 99999 1))"),
        "y");
    EXPECT_EQ(eval("(hash-table-get e 'missing 0)"), "0");
    EXPECT_EQ(eval("(hash-table-get e 'missing)"), "");
    EXPECT_EQ(error(), "Error: hash-table-get: key not found missing\n");
    EXPECT_EQ(eval("(define s (make-hash-table 'string=?)) (hash-table-put! s 'a 1)"), "");
    EXPECT_EQ(error(), "Error: hash-table-put!: string required: a\n");
    EXPECT_EQ(eval("(hash-table-put! s \"k\" 1) (list (hash-table-get s \"k\") (hash-table-get s 'k #f))"),
              "(1 #f)");
    EXPECT_EQ(
        eval(
            "(list (hash-table-type (make-hash-table)) (hash-table-type s) (hash-table? s) (hash-table? 1))"),
        "(eq? string=? #t #f)");
    EXPECT_EQ(eval("(make-hash-table)"), "#<hash-table eq?>");
    EXPECT_EQ(eval("(make-hash-table 'foo)"), "");
    EXPECT_EQ(error(), "Error: unsupported hash type:  foo\n");
    EXPECT_EQ(eval("(hash-table-map (make-hash-table) (lambda (k v) k))"), "()");
    EXPECT_EQ(
        eval(
            "(define v (make-hash-table 'eqv?)) (hash-table-put! v #\\a 1) (list (hash-table-exists? v #\\a) "
            "(hash-table-exists? v #\\b) (hash-table-delete! v #\\a) (hash-table-delete! v #\\a) "
            "(hash-table-num-entries v))"),
        "(#t #f #t #f 0)");
}

TEST_F(SchemeTest, HashTableCountsAndReuse) {
    run("(define t (make-hash-table)) (let loop ((i 0)) (if (< i 500) (begin (hash-table-put! t i i) (loop "
        "(+ i 1)))))");
    EXPECT_EQ(eval("(hash-table-num-entries t)"), "500");
    run("(let loop ((i 0)) (if (< i 500) (begin (hash-table-delete! t i) (loop (+ i 2)))))");
    EXPECT_EQ(eval("(hash-table-num-entries t)"), "250");
    run("(hash-table-put! t 0 'again)");
    EXPECT_EQ(eval("(list (hash-table-num-entries t) (hash-table-get t 0) (hash-table-get t 1))"),
              "(251 again 1)");
    EXPECT_EQ(eval("(define n 0) (hash-table-for-each t (lambda (k v) (set! n (+ n 1)))) n"), "251");
    EXPECT_EQ(eval("(length (hash-table-map t (lambda (k v) v)))"), "251");
}

TEST_F(SchemeTest, DeletingDuringIterationVisitsEachOnce) {
    run("(define t (make-hash-table)) (let loop ((i 0)) (if (< i 1000) (begin (hash-table-put! t i 0) (loop "
        "(+ i "
        "1))))) (define seen (make-hash-table))");
    EXPECT_EQ(
        eval(
            "(define absent 0) (hash-table-for-each t (lambda (k v) (if (not (hash-table-exists? t k)) (set! "
            "absent (+ absent 1))) (hash-table-put! seen k (+ 1 (hash-table-get seen k 0))) "
            "(hash-table-delete! t k) (hash-table-delete! t (+ k 1)))) absent"),
        "0");
    // Each entry is visited once, unless its predecessor's visit deleted it first.
    EXPECT_EQ(
        eval(
            "(define twice 0) (hash-table-for-each seen (lambda (k v) (if (> v 1) (set! twice (+ twice "
            "1))))) "
            "(define missed 0) (let loop ((i 0)) (if (< i 1000) (begin (if (not (or (hash-table-exists? seen "
            "i) (hash-table-exists? seen (- i 1)))) (set! missed (+ missed 1))) (loop (+ i 1))))) "
            "(list twice missed (hash-table-num-entries t))"),
        "(0 0 0)");
    run("(define u (make-hash-table)) (let loop ((i 0)) (if (< i 300) (begin (hash-table-put! u i 0) (loop "
        "(+ i "
        "1)))))");
    EXPECT_EQ(
        eval("(define m 0) (hash-table-for-each u (lambda (k v) (set! m (+ m 1)) (hash-table-delete! u k))) "
             "(list m (hash-table-num-entries u))"),
        "(300 0)");
}

TEST_F(SchemeTest, CircularKeysInEqualTables) {
    run("(define a (list 1 2)) (set-cdr! (cdr a) a) (define b (list 1 2)) (set-cdr! (cdr b) b)"
        "(define t (make-hash-table 'equal?)) (hash-table-put! t a 'found)");
    EXPECT_EQ(eval("(hash-table-get t b)"), "found");
}

TEST_F(SchemeTest, GlobalBindingsFollowTheirTable) {
    // Looked-up global bindings are remembered; deleting one from the global
    // frame's table must make the variable unbound, and a new definition
    // (possibly in the reused entry) must be seen.
    EXPECT_EQ(eval("(define gx 1) (define (get) gx) (get)"), "1");
    EXPECT_EQ(eval("(hash-table-delete! (car (interaction-environment)) 'gx) (get)"), "");
    EXPECT_EQ(error(), "Error: unbounded variable gx\n");
    EXPECT_EQ(eval("(define gy 5) (define gx 2) (list (get) gy)"), "(2 5)");
    EXPECT_EQ(eval("(set! gx 3) (get)"), "3");
    // A script table keyed by the same symbol is another binding.
    EXPECT_EQ(
        eval("(define t (make-hash-table)) (hash-table-put! t 'gx 9) (list (hash-table-get t 'gx) (get))"),
        "(9 3)");
}
