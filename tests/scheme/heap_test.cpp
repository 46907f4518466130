// Heap, collector, deep data and fatal recovery.
#include <pthread.h>

#include <functional>
#include <random>

#include "scheme_fixture.h"

namespace {

// Runs fn on a thread with a 1 MiB stack, so any host recursion over deep
// data would overflow it.
void on_small_stack(const std::function<void()>& fn) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 1 << 20);
    pthread_t t;
    auto body = [](void* p) -> void* {
        (*static_cast<const std::function<void()>*>(p))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&t, &attr, body, const_cast<std::function<void()>*>(&fn)), 0);
    pthread_join(t, nullptr);
    pthread_attr_destroy(&attr);
}

} // namespace

TEST_F(SchemeTest, HeapGrowsToTheLimitThenRecovers) {
    EXPECT_EQ(sch_safe_load_string(sc, u"(let loop ((keep '())) (loop (cons 1 keep)))"), sc->F);
    EXPECT_EQ(sc->lastSegment + 1, SCH_MAX_SEGMENTS);
    ASSERT_FALSE(HostRecorder::boxes.empty());
    EXPECT_EQ(to_utf8(HostRecorder::boxes.back()), "fatal error: no memory");
    EXPECT_EQ(to_utf8(HostRecorder::captions.back()), "scheme fatal error");
    EXPECT_EQ(sc->dumpCount, 0);
    EXPECT_EQ(sc->runDepth, 0);
    // The data went with the failed run: the interpreter runs and collects.
    EXPECT_EQ(eval("(define x (make-vector 1000 'a)) (let loop ((i 0)) (if (< i 500000) (loop (+ i 1)) "
                   "(vector-length x)))"),
              "1000");
    EXPECT_EQ(error(), "");
}

TEST_F(SchemeTest, CollectionOffAddsSegments) {
    int before = sc->lastSegment;
    sc->gcDisabled = 1;
    for (int i = 0; i < 3 * SCH_SEGMENT_CELLS; ++i) mk_integer(sc, i);
    EXPECT_GE(sc->lastSegment, before + 2);
    sc->gcDisabled = 0;
}

TEST_F(SchemeTest, HeapGrowsAheadOfALargeLiveSet) {
    // 50,000 live pairs beside a stream of garbage: the heap grows to about
    // four times the live cells rather than collecting whenever half is free.
    EXPECT_EQ(eval("(define keep (let loop ((i 0) (l '())) (if (< i 50000) (loop (+ i 1) (cons i l)) l))) "
                   "(let loop ((i 0)) (if (< i 300000) (loop (+ i 1)) (length keep)))"),
              "50000");
    EXPECT_GE((sc->lastSegment + 1) * SCH_SEGMENT_CELLS, 4 * 50000);
    EXPECT_EQ(error(), "");
}

TEST_F(SchemeTest, ConstantsSurviveAndProperLists) {
    for (int i = 0; i < 5; ++i) sch_collect(sc, sc->NIL, sc->NIL, true);
    for (SchemeCell* c : {sc->NIL, sc->T, sc->F, sc->UNDEF}) {
        EXPECT_EQ(c->flags, SCH_ATOM | SCH_MARK);
        EXPECT_EQ(c->a.car, c);
        EXPECT_EQ(c->b.cdr, c);
    }
    EXPECT_TRUE(is_proper_list(sc->NIL, sc->NIL));
    SchemeCell* l = cons(sc, sc->T, sc->NIL);
    SchRoot r(sc, l);
    l->b.cdr = cons(sc, sc->F, l);
    EXPECT_FALSE(is_proper_list(sc->NIL, l));
}

TEST_F(SchemeTest, PartlyFilledVectorMarksOnlyFilledSlots) {
    SchemeCell* v = mk_vector(sc, 4, sc->NIL);
    SchRoot r(sc, v);
    // A stale pointer past the filled count must never be followed.
    vec_data(v)->items[3] = reinterpret_cast<SchemeCell*>(0x10);
    vec_data(v)->filled = 3;
    sch_collect(sc, sc->NIL, sc->NIL, true);
    EXPECT_EQ(vec_data(v)->filled, 3);
    vec_data(v)->filled = 4;
    vec_data(v)->items[3] = sc->NIL;
}

TEST_F(SchemeTest, FinalizersRunOnceAndStandardStreamsStayOpen) {
    std::string path = scheme_temp_dir() + "fin.txt";
    std::string u = to_utf8(to_u16(path));
    run("(define (mk) (open-output-file \"" + u + "\")) (mk) (mk) (gc) (gc)");
    EXPECT_EQ(error(), "");
    EXPECT_EQ(sc->testFinalizerCloses, 2);
    run("(define kept (mk)) (close-output-port kept) (gc) (set! kept #f) (gc) (gc)");
    EXPECT_EQ(sc->testFinalizerCloses, 2);
    // The standard ports still work after collections and finalizers.
    EXPECT_EQ(run("(display 5) (gc) (display 6)"), "56");
    EXPECT_NE(fileno(stdout), -1);
}

TEST_F(SchemeTest, ThresholdAfterByteTriggeredCollection) {
    // Big payloads on few cells: the byte threshold, not the cells, triggers.
    run("(let loop ((i 0)) (if (< i 30) (begin (make-vector 100000 0) (loop (+ i 1)))))");
    EXPECT_EQ(error(), "");
    EXPECT_GT(sc->testByteCollections, 0);
    EXPECT_EQ(sc->threshold, 0x800000u);
    // Data that stays alive doubles it.
    run("(define keep '()) (let loop ((i 0)) (if (< i 14) (begin (set! keep (cons (make-vector 100000 0) "
        "keep)) "
        "(loop (+ i 1)))))");
    EXPECT_EQ(error(), "");
    EXPECT_EQ(sc->threshold, 0x1000000u);
}

TEST_F(SchemeTest, DeepDataOnASmallStack) {
    on_small_stack([&] {
        EXPECT_EQ(
            run("(define v (let loop ((i 0) (v '())) (if (< i 300000) (loop (+ i 1) (make-vector 1 v)) v))) "
                "(gc) (display (vector-length v))"),
            "1");
        EXPECT_EQ(error(), "");
        run("(set! v #f) (gc)");
        EXPECT_EQ(
            run("(define c (let loop ((i 0) (c '())) (if (< i 300000) (loop (+ i 1) (cons c '())) c))) (gc) "
                "(display (pair? c))"),
            "#t");
        run("(set! c #f) (gc)");
        EXPECT_EQ(run("(define (mk n) (let loop ((i 0) (l '())) (if (< i n) (loop (+ i 1) (cons 'a l)) l))) "
                      "(display (equal? (mk 150000) (mk 150000)))"),
                  "#t");
        EXPECT_EQ(
            run("(define (nest n) (let loop ((i 0) (l '())) (if (< i n) (loop (+ i 1) (cons l '())) l))) "
                "(display (equal? (nest 150000) (nest 150000)))"),
            "#t");
        EXPECT_EQ(error(), "");
        run("(define a (list 1 2)) (set-cdr! (cdr a) a) (define b (list 1 2)) (set-cdr! (cdr b) b)"
            "(define d (list 1 3)) (set-cdr! (cdr d) d)");
        EXPECT_EQ(run("(display (list (equal? a b) (equal? a d)))"), "(#t #f)");
        EXPECT_EQ(run("(define e (list 1 2 1 2)) (set-cdr! (cdr (cdr (cdr e))) e) (display (equal? a e))"),
                  "#t");
        EXPECT_EQ(run("(display a)"), "(1 2 ...)");
        EXPECT_EQ(run("(define k (list 1)) (set-car! k k) (display k)"), "(...)");
        EXPECT_EQ(run("(define w (make-vector 1 0)) (vector-set! w 0 w) (display w)"), "#(...)");
    });
}

namespace {

// Builds random data as reader text and as constructor code.
struct Gen {
    std::mt19937 rng{2024};
    int depth = 0;
    void atom(std::string& text, std::string& code) {
        switch (rng() % 6) {
        case 0: {
            int32_t v = static_cast<int32_t>(rng());
            text += std::to_string(v);
            code += std::to_string(v);
            break;
        }
        case 1: {
            std::string s = "sym" + std::to_string(rng() % 50);
            text += s;
            code += "'" + s;
            break;
        }
        case 2:
            text += "\"x\xf0\x9f\x98\x80y\"";
            code += "\"x\xf0\x9f\x98\x80y\"";
            break;
        case 3:
            text += "#\\q";
            code += "#\\q";
            break;
        case 4:
            text += "\"\"";
            code += "\"\"";
            break;
        default:
            text += "()";
            code += "'()";
            break;
        }
    }
    void datum(std::string& text, std::string& code) {
        int k = depth > 4 ? 0 : rng() % 4;
        ++depth;
        if (k == 0) {
            atom(text, code);
        } else if (k == 1) {
            int n = rng() % 5;
            text += "(";
            std::string c = "'()";
            std::vector<std::string> parts;
            for (int i = 0; i < n; ++i) {
                std::string t, p;
                datum(t, p);
                text += t + " ";
                parts.push_back(p);
            }
            text += ")";
            for (int i = n; i-- > 0;) c = "(cons " + parts[i] + " " + c + ")";
            code += c;
        } else if (k == 2) {
            std::string ta, ca, tb, cb;
            datum(ta, ca);
            atom(tb, cb);
            if (tb == "()") {
                tb = "1";
                cb = "1";
            }
            text += "(" + ta + " . " + tb + ")";
            code += "(cons " + ca + " " + cb + ")";
        } else {
            int n = rng() % 4;
            text += "#(";
            code += "(let ((v (make-vector " + std::to_string(n) + "))) ";
            for (int i = 0; i < n; ++i) {
                std::string t, p;
                datum(t, p);
                text += t + " ";
                code += "(vector-set! v " + std::to_string(i) + " " + p + ") ";
            }
            text += ")";
            code += "v)";
        }
        --depth;
    }
};

SchemeCell* host_text_then_read(SchemeInterpreter* sc, SchemeCell** args, int) {
    std::u16string text = sch_safe_to_text(sc, args[0]);
    for (int i = 0; i < 50; ++i) sch_safe_make_integer(sc, i);
    // The argument survived the collections above.
    return sch_safe_make_string(sc, (text + u"|" + sch_safe_to_text(sc, args[0])).c_str());
}

} // namespace

TEST_F(SchemeTest, CollectionAtEveryAllocation) {
    Gen gen;
    std::string texts = "(define texts (list";
    std::string codes = "(define built (list";
    for (int i = 0; i < 12; ++i) {
        std::string t, c;
        gen.datum(t, c);
        texts += " '" + t;
        codes += " " + c;
    }
    texts += "))";
    codes += "))";
    run(texts);
    ASSERT_EQ(error(), "");
    std::string expected = run("(write texts)");
    sc->testCollectEveryAlloc = 1;
    run(codes);
    ASSERT_EQ(error(), "");
    run("(define tabs (list (make-hash-table 'eq?) (make-hash-table 'eqv?) (make-hash-table 'equal?) "
        "(make-hash-table 'string=?)))"
        "(define (fill t) (let loop ((i 0)) (if (< i 40) (begin (hash-table-put! t (number->string i) i) "
        "(hash-table-put! t i (list i)) (loop (+ i 1)))))) (car tabs) (fill (car (cdr (cdr tabs))))"
        "(let loop ((i 0)) (if (< i 40) (begin (hash-table-put! (car tabs) i i) (hash-table-put! (car (cdr "
        "tabs)) i "
        "i) (hash-table-put! (car (cdr (cdr (cdr tabs)))) (number->string i) i) (loop (+ i 1)))))");
    ASSERT_EQ(error(), "");
    run("(let loop ((i 0)) (if (< i 300) (begin (cons i i) (make-vector 3 i) (loop (+ i 1)))))");
    EXPECT_EQ(run("(write built)"), expected);
    EXPECT_EQ(run("(write texts)"), expected);
    EXPECT_EQ(
        run("(write (equal? built (read (open-input-string (let ((p (open-output-string))) (write texts p) "
            "(get-output-string p))))))"),
        "#t");
    EXPECT_EQ(
        run("(write (list (hash-table-get (car tabs) 7) (hash-table-get (car (cdr tabs)) 39) "
            "(hash-table-get (car (cdr (cdr tabs))) 5) (hash-table-get (car (cdr (cdr tabs))) \"6\") "
            "(hash-table-get (car (cdr (cdr (cdr tabs)))) \"12\") (hash-table-num-entries (car (cdr (cdr "
            "tabs))))))"),
        "(7 39 (5) 6 12 80)");
    EXPECT_EQ(error(), "");
    sch_register_host_function(sc, u"text-read", host_text_then_read, 1, 1, u"A");
    EXPECT_EQ(run("(display (text-read (list 1 \"a\" (make-vector 2 'z))))"), "(1 a #(z z))|(1 a #(z z))");
    EXPECT_EQ(error(), "");
    sc->testCollectEveryAlloc = 0;
}

TEST_F(SchemeTest, ContinuationsInsideDeepFramesStayInAConstantHeap) {
    // Capturing a continuation, or re-entering a saved one, copies the frames
    // with the collector held off; the heap makes room first instead of
    // growing a segment at a time with almost nothing live.
    EXPECT_EQ(
        run("(define (capture-loop i) (if (> i 0) (begin (call-with-current-continuation (lambda (k) k)) "
            "(capture-loop (- i 1))) 0)) "
            "(define (reenter n) (let ((k #f) (i 0)) (call-with-current-continuation (lambda (c) (set! k "
            "c))) "
            "(set! i (+ i 1)) (if (< i n) (k #f) i))) "
            "(define (deep n f m) (if (= n 0) (f m) (+ 0 0 0 0 0 0 0 0 0 0 (deep (- n 1) f m))))"),
        "");
    EXPECT_EQ(run("(display (+ 300 (deep 300 capture-loop 2000)))"), "300");
    EXPECT_EQ(error(), "");
    EXPECT_EQ(run("(display (deep 300 reenter 2000))"), "2000");
    EXPECT_EQ(error(), "");
    EXPECT_LE(sc->lastSegment + 1, 8);
    // The same with a collection at every allocation (fewer rounds: it is slow).
    sc->testCollectEveryAlloc = 1;
    EXPECT_EQ(run("(display (list (deep 30 capture-loop 40) (deep 30 reenter 40)))"), "(0 40)");
    sc->testCollectEveryAlloc = 0;
    EXPECT_EQ(error(), "");
    for (const std::u16string& box : HostRecorder::boxes) EXPECT_NE(to_utf8(box), "fatal error: no memory");
}
