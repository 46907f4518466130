// Hash tables and their primitives.
#include <algorithm>
#include <string>
#include <vector>

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

namespace {

// The bucket of an integer key in a table of 256 buckets, by the tables'
// hash of the key's eight value bytes.
uint32_t integer_bucket(int64_t v) {
    uint32_t h = 0;
    for (int i = 0; i < 8; ++i) {
        h *= 16777619u;
        h ^= static_cast<uint32_t>((static_cast<uint64_t>(v) >> (8 * i)) & 0xFF);
    }
    uint32_t b = h & 511;
    return b > 255 ? h & 255 : b;
}

// The keys in iteration order: by bucket, then in the order they went in.
std::string expected_order(const std::vector<int64_t>& inserted) {
    std::vector<int64_t> keys = inserted;
    std::stable_sort(keys.begin(), keys.end(),
                     [](int64_t a, int64_t b) { return integer_bucket(a) < integer_bucket(b); });
    std::string s = "(";
    for (size_t i = 0; i < keys.size(); ++i) {
        if (i) s += ' ';
        s += std::to_string(keys[i]);
    }
    return s + ")";
}

} // namespace

TEST_F(SchemeTest, TablesWithManyKeysPerBucketKeepTheirOrder) {
    // Thousands of keys in 256 buckets: every key is found, iteration runs in
    // bucket order and then insertion order, deleted keys are gone and a key
    // put again goes to the end of its bucket.
    run("(define t (make-hash-table)) (let loop ((i 0)) (if (< i 3000) (begin (hash-table-put! t i (* i 2)) "
        "(loop (+ i 1)))))");
    std::vector<int64_t> keys;
    for (int64_t i = 0; i < 3000; ++i) keys.push_back(i);
    EXPECT_EQ(eval("(hash-table-map t (lambda (k v) k))"), expected_order(keys));
    EXPECT_EQ(eval("(let loop ((i 0) (ok 0)) (if (< i 3000) (loop (+ i 1) (if (eqv? (hash-table-get t i #f) "
                   "(* i 2)) (+ ok 1) ok)) ok))"),
              "3000");
    run("(let loop ((i 0)) (if (< i 3000) (begin (hash-table-delete! t i) (loop (+ i 3)))))");
    run("(hash-table-put! t 0 'back) (hash-table-put! t 1 'kept)");
    std::vector<int64_t> left;
    for (int64_t i = 0; i < 3000; ++i)
        if (i % 3 != 0) left.push_back(i);
    left.push_back(0);
    EXPECT_EQ(eval("(hash-table-map t (lambda (k v) k))"), expected_order(left));
    EXPECT_EQ(eval("(list (hash-table-num-entries t) (hash-table-get t 0) (hash-table-get t 1) "
                   "(hash-table-get t 3 'none) (hash-table-exists? t 2999) (hash-table-delete! t 2999) "
                   "(hash-table-exists? t 2999) (hash-table-get t 2998))"),
              "(2001 back kept none #t #t #f 5996)");
}

TEST_F(SchemeTest, ManyKeysOfOneHashFindTheFirstMatch) {
    // Every pair key of an equal? table has the same hash. A key changed
    // after it went in can equal a later one; the earlier entry answers.
    run("(define t (make-hash-table 'equal?)) (define first (list 0)) (hash-table-put! t first 'first) "
        "(let loop ((i 1)) (if (< i 1500) (begin (hash-table-put! t (list i) i) (loop (+ i 1)))))");
    EXPECT_EQ(
        eval("(list (hash-table-get t (list 0)) (hash-table-get t (list 1499)) (hash-table-num-entries t))"),
        "(first 1499 1500)");
    run("(set-car! first 700)");
    EXPECT_EQ(eval("(list (hash-table-get t (list 700)) (hash-table-delete! t (list 700)) "
                   "(hash-table-get t (list 700)) (hash-table-get t (list 0) 'gone))"),
              "(first #t 700 gone)");
}
