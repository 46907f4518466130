// The library script and the primitives that need a host around them: the
// dump stays small over long lists, program starts, the clipboard, fatal
// errors inside replacement procedures, continuations without frames.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "scheme_fixture.h"

SchemeCell* sch_capture_continuation(SchemeInterpreter* sc);

namespace {

std::u16string library_path() {
    const char* s = getenv("TAVRELIX_SOURCE_DIR");
    std::string dir = s ? s : "../..";
    return to_u16(dir + "/scmlib/init.scm");
}

class SchemeLibraryTest : public SchemeTest {
protected:
    void SetUp() override {
        SchemeTest::SetUp();
        ASSERT_EQ(sch_safe_load_file(sc, library_path().c_str()), 0);
        ASSERT_EQ(error(), "");
    }
};

const char* const kLibraryNames[] = {"list",
                                     "caar",
                                     "cadr",
                                     "cdar",
                                     "cddr",
                                     "caaar",
                                     "caadr",
                                     "cadar",
                                     "caddr",
                                     "cdaar",
                                     "cdadr",
                                     "cddar",
                                     "cdddr",
                                     "caaaar",
                                     "caaadr",
                                     "caadar",
                                     "caaddr",
                                     "cadaar",
                                     "cadadr",
                                     "caddar",
                                     "cadddr",
                                     "cdaaar",
                                     "cdaadr",
                                     "cdadar",
                                     "cdaddr",
                                     "cddaar",
                                     "cddadr",
                                     "cdddar",
                                     "cddddr",
                                     "list-tail",
                                     "list-ref",
                                     "memq",
                                     "memv",
                                     "member",
                                     "assq",
                                     "assv",
                                     "assoc",
                                     "map",
                                     "for-each",
                                     "call/cc",
                                     "force",
                                     "quotient",
                                     "abs",
                                     "min",
                                     "max",
                                     "zero?",
                                     "positive?",
                                     "negative?",
                                     "odd?",
                                     "even?",
                                     "gcd",
                                     "lcm",
                                     "expt",
                                     "exact?",
                                     "inexact?",
                                     "char=?",
                                     "char<?",
                                     "char>?",
                                     "char<=?",
                                     "char>=?",
                                     "char-ci=?",
                                     "char-ci<?",
                                     "char-ci>?",
                                     "char-ci<=?",
                                     "char-ci>=?",
                                     "char-upcase",
                                     "char-downcase",
                                     "char-alphabetic?",
                                     "char-numeric?",
                                     "char-whitespace?",
                                     "char-upper-case?",
                                     "char-lower-case?",
                                     "string=?",
                                     "string<?",
                                     "string>?",
                                     "string<=?",
                                     "string>=?",
                                     "string-ci=?",
                                     "string-ci<?",
                                     "string-ci>?",
                                     "string-ci<=?",
                                     "string-ci>=?",
                                     "string",
                                     "string->list",
                                     "list->string",
                                     "string-copy",
                                     "string-fill!",
                                     "vector",
                                     "vector->list",
                                     "list->vector",
                                     "vector-fill!",
                                     "call-with-input-file",
                                     "call-with-output-file",
                                     "case",
                                     "do",
                                     "when",
                                     "unless",
                                     "delay",
                                     "define-class"};

} // namespace

TEST_F(SchemeLibraryTest, LoadsTwiceAndBindsEveryName) {
    ASSERT_EQ(sch_safe_load_file(sc, library_path().c_str()), 0);
    EXPECT_EQ(error(), "");
    for (const char* name : kLibraryNames) {
        EXPECT_EQ(eval(std::string("(symbol-bound? '") + name + ")"), "#t") << name;
    }
    // No primitive was redefined.
    for (int i = 0; i < SCH_OPCODES; ++i) {
        if (!OpcodeTable[i].name) continue;
        SchemeCell** slot = env_lookup(sc, sc->globalEnv, mk_symbol(sc, OpcodeTable[i].name));
        ASSERT_NE(slot, nullptr) << to_utf8(OpcodeTable[i].name);
        EXPECT_TRUE(is_type(*slot, SCH_PRIMITIVE)) << to_utf8(OpcodeTable[i].name);
        EXPECT_EQ((*slot)->a.u32, static_cast<uint32_t>(i));
    }
    EXPECT_EQ(eval("(eq? call/cc call-with-current-continuation)"), "#t");
}

TEST_F(SchemeLibraryTest, LongListsRunInSmallDump) {
    // The heap holds 409,600 cells: the elements share one symbol.
    run("(define big (let loop ((i 0) (acc '())) (if (< i 100000) (loop (+ i 1) (cons 'a acc)) acc)))");
    ASSERT_EQ(error(), "");
    const char* workloads[] = {
        "(length (map (lambda (x) x) big))",
        "(let ((n 0)) (for-each (lambda (x) (set! n (+ n 1))) big) n)",
        "(vector-length (list->vector big))",
        "(assoc 'b (map list big))",
        "(length (map (lambda (a b c) a) (list-tail big 90000) big big))",
        "(length (string->list (make-string 100000 #\\a)))",
        "(do ((i 0 (+ i 1))) ((= i 100000) i))",
        "(member 'b big)",
    };
    for (const char* w : workloads) {
        sc->testMaxDumpFrames = 0;
        std::string v = eval(w);
        EXPECT_EQ(error(), "") << w;
        EXPECT_LT(sc->testMaxDumpFrames, 40) << w << " = " << v;
    }
}

TEST_F(SchemeLibraryTest, ContinuationsReenteredThroughMap) {
    // R5RS: map must not mutate what a re-entered continuation already built.
    EXPECT_EQ(
        eval("(let ((k #f) (n 0)) (let ((r (map (lambda (x) (call/cc (lambda (c) (if (= x 2) (set! k c)) "
             "x))) '(1 2 3)))) (set! n (+ n 1)) (if (< n 3) (k (* n 10)) r)))"),
        "(1 20 3)");
}

TEST_F(SchemeLibraryTest, ProgramStartsAndClipboard) {
    std::string dir = scheme_temp_dir();
    std::string out = dir + "exec_args.txt";
    std::filesystem::remove(out);
    std::string script = dir + "record.sh";
    {
        std::ofstream f(script);
        f << "#!/bin/sh\necho \"$#:$1:$2\" > \"" << out << ".part\"\nmv \"" << out << ".part\" \"" << out
          << "\"\n";
    }
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    EXPECT_EQ(eval("(win-exec \"" + script + "\" \"\\\"two words\\\"\" \"x\")"), "0");
    bool found = false;
    for (int i = 0; i < 200 && !found; ++i) {
        found = std::filesystem::exists(out);
        if (!found) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(found);
    std::ifstream in(out);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "2:two words:x");

    EXPECT_EQ(eval("(win-exec \"tavrelix-no-such-program\" \"a\")"), "");
    EXPECT_EQ(error(), "Error: win-exec: can not execute \"tavrelix-no-such-program a \"\n");

    EXPECT_EQ(eval("(win-get-clipboard-text)"), "\"\"");
    win32bk::SetClipboardTextReader([] { return std::optional<std::u16string>(u"clip\U0001F600"); });
    EXPECT_EQ(eval("(let ((s (win-get-clipboard-text))) (list s (string-length s)))"),
              "(\"clip\xF0\x9F\x98\x80\" 5)");
    win32bk::SetClipboardTextReader(nullptr);
    EXPECT_EQ(eval("(win-get-clipboard-text)"), "\"\"");
}

TEST_F(SchemeLibraryTest, NoMemoryInsideReplacementProcedure) {
    run("(define (grow m) (make-string 100000000 #\\a))");
    uint64_t cap = sc->payloadCap;
    sc->payloadCap = sc->payloadBytes + (4u << 20);
    SchemeCell* r = sch_safe_load_string(sc, u"(regexp-replace-all #/a/ \"banana\" grow)");
    EXPECT_EQ(r, sc->F);
    EXPECT_EQ(recorder.boxes.size(), 1u);
    sc->payloadCap = cap;
    EXPECT_EQ(sc->dumpCount, 0);
    EXPECT_EQ(sc->runDepth, 0);
    EXPECT_EQ(eval("(regexp-replace-all #/a/ \"banana\" (lambda (m) \"o\"))"), "\"bonono\"");
}

TEST_F(SchemeLibraryTest, ContinuationWithoutFrames) {
    sc->dumpCount = 0;
    SchemeCell* k = sch_capture_continuation(sc);
    sch_safe_protect(sc, k);
    env_define(sc, sc->globalEnv, mk_symbol(sc, u"bare-k"), k);
    EXPECT_EQ(eval("(get-closure-code bare-k)"), "#f");
}

TEST_F(SchemeLibraryTest, ExitInLoadedFileStopsTheLoader) {
    std::string dir = scheme_temp_dir();
    std::string inner = dir + "exit_inner.scm";
    std::ofstream(inner) << "(display 1) (begin (exit) (display 2)) (display 4)";
    EXPECT_EQ(run("(load \"" + inner + "\") (display 3)"), "1");
    EXPECT_EQ(error(), "");
    EXPECT_EQ(sc->dumpCount, 0);
    // The next run starts afresh.
    EXPECT_EQ(run("(display 5)"), "5");
    // A host call's own exit frame ends only that call.
    SchemeCell* f = sch_safe_load_string(sc, u"(lambda () 7)");
    SchemeCell* v = sch_safe_call(sc, f);
    EXPECT_EQ(v->a.ival, 7);
    EXPECT_EQ(sc->exitRequest, 0);
}

TEST(SchemeCommandLine, SplitsByWindowsRules) {
    using V = std::vector<std::u16string>;
    EXPECT_EQ(SplitCommandLine(u"prog file "), (V{u"prog", u"file"}));
    EXPECT_EQ(SplitCommandLine(u"\"C:\\a b\\p.exe\" x"), (V{u"C:\\a b\\p.exe", u"x"}));
    EXPECT_EQ(SplitCommandLine(u"p \"a b\" c\\\\\"d e\" f\\\"g"), (V{u"p", u"a b", u"c\\d e", u"f\"g"}));
    EXPECT_EQ(SplitCommandLine(u"p a\\\\b \"\""), (V{u"p", u"a\\\\b", u""}));
    EXPECT_EQ(SplitCommandLine(u"  "), V{});
}

TEST_F(SchemeLibraryTest, VectorListConversions) {
    EXPECT_EQ(eval("(list (list->vector '(1 a \"s\")) (list->vector '()) (vector) (vector 1 (list 2)))"),
              "(#(1 a \"s\") #() #() #(1 (2)))");
    // A fresh vector: changing the list afterwards leaves it alone.
    EXPECT_EQ(eval("(define l (list 1 2)) (define v (list->vector l)) (set-car! l 9) (list v (vector? v))"),
              "(#(1 2) #t)");
    EXPECT_EQ(eval("(list->vector '(1 2 . 3))"), "");
    EXPECT_EQ(error(), "Error: length: list required: (1 2 . 3)\n");
    clear();
    EXPECT_EQ(eval("(define c (list 1 2)) (set-cdr! (cdr c) c) (list->vector c)"), "");
    EXPECT_NE(error().find("Error: length: list required:"), std::string::npos) << error();
    clear();
    EXPECT_EQ(eval("(list->vector 5)"), "");
    EXPECT_EQ(error(), "Error: length: list required: 5\n");
    clear();
    EXPECT_EQ(
        eval("(list (vector->list #(1 (2) \"x\")) (vector->list #()) (vector->list (make-vector 9 0)))"),
        "((1 (2) \"x\") () (0 0 0 0 0 0 0 0 0))");
    EXPECT_EQ(eval("(equal? (vector->list (list->vector (vector->list (make-vector 1000 'e)))) "
                   "(vector->list (make-vector 1000 'e)))"),
              "#t");
    // Every length up to a few turns of the loop, each element in its place.
    EXPECT_EQ(
        eval("(define (upto n) (let loop ((i (- n 1)) (acc '())) (if (< i 0) acc (loop (- i 1) (cons i "
             "acc))))) (define (numbered n) (let ((v (make-vector n))) (let loop ((i 0)) (if (< i n) (begin "
             "(vector-set! v i i) (loop (+ i 1))) v)))) (let loop ((n 0) (bad '())) (if (> n 40) bad (loop "
             "(+ n 1) (if (equal? (vector->list (numbered n)) (upto n)) bad (cons n bad)))))"),
        "()");
    EXPECT_EQ(eval("(vector->list 5)"), "");
    EXPECT_EQ(error(), "Error: vector-length: vector required: 5\n");
}
