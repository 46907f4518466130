// The embedding interface: creation, protected entries, fatal recovery,
// host functions, loading and cancelling.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "scheme_fixture.h"

namespace {

std::string temp_file(const std::string& name, const std::string& text) {
    std::string path = scheme_temp_dir() + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

int ticks = 0;

SchemeCell* host_tick(SchemeInterpreter* sc, SchemeCell**, int) {
    if (++ticks == 2000) HostRecorder::keys[VK_CONTROL] = true;
    return sc->T;
}

SchemeCell* host_failing_text(SchemeInterpreter* sc, SchemeCell** args, int) {
    // The next payload allocation fails inside the nested entry.
    sc->testFailAllocAt = sc->testAllocCount + 1;
    std::u16string text = sch_safe_to_text(sc, args[0]);
    sc->testFailAllocAt = 0;
    return text.empty() ? sc->T : sc->F;
}

SchemeCell* host_raise(SchemeInterpreter* sc, SchemeCell** args, int count) {
    sch_raise_error(sc, count ? sch_string_text(args[0]) : u"raised");
    return sc->F;
}

SchemeCell* host_call(SchemeInterpreter* sc, SchemeCell** args, int) {
    return sch_safe_call(sc, args[0]);
}

SchemeCell* host_sum(SchemeInterpreter* sc, SchemeCell** args, int count) {
    int64_t s = 0;
    for (int i = 0; i < count; ++i) s += args[i]->a.ival;
    return sch_safe_make_integer(sc, static_cast<int32_t>(s));
}

} // namespace

TEST(SchemeCreate, DestroyNullAndInjectedFailures) {
    HostRecorder recorder;
    sch_destroy(nullptr);
    int failures = 0;
    for (int64_t n = 1; n < 200; ++n) {
        sch_test_create_fail_at = n;
        SchemeInterpreter* sc = sch_create();
        if (sc) {
            sch_destroy(sc);
            break;
        }
        ++failures;
    }
    sch_test_create_fail_at = 0;
    // Record, pool and segment at least; every one of them gave null.
    EXPECT_GE(failures, 3);
    SchemeInterpreter* sc = sch_create();
    ASSERT_NE(sc, nullptr);
    sch_destroy(sc);
}

TEST_F(SchemeTest, LoadFileFailures) {
    EXPECT_EQ(sch_safe_load_file(sc, u"/nonexistent/dir/file.scm"), 1);
    EXPECT_EQ(to_utf8(sc->msg), "fatal error: file cannot open /nonexistent/dir/file.scm");
    std::string path = temp_file("ok.scm", "(display 'hi)");
    EXPECT_EQ(sch_safe_load_file(sc, to_u16(path).c_str()), 0);
    EXPECT_EQ(to_utf8(out), "hi");
}

TEST_F(SchemeTest, LoadPathRequireAndUse) {
    std::string dir = scheme_temp_dir();
    if (!dir.empty() && dir.back() == '/') dir.pop_back();
    temp_file("lib.scm", "(define lib-loaded 'lib)");
    temp_file("mod.scm.scm", "(define mod-loaded 'mod)");
    run("(define *load-path* (list \"/nonexistent\" \"" + dir + "\"))");
    EXPECT_EQ(eval("(load \"lib.scm\") lib-loaded"), "lib");
    EXPECT_EQ(eval("(require \"mod.scm\") mod-loaded"), "mod");
    EXPECT_EQ(eval("(load \"scheme_none\")"), "");
    EXPECT_EQ(error(), "Error: load: can not find file \"scheme_none\"\n");
    EXPECT_EQ(eval("(use scheme_nothing)"), "");
    EXPECT_EQ(error(), "Error: load: can not find file \"scheme_nothing.scm\"\n");
    EXPECT_EQ(eval("(use \"x\")"), "");
    EXPECT_EQ(error(), "Error: : symbol required: \"x\"\n");
    EXPECT_EQ(eval("(load \"./nonexistent.scm\")"), "");
    EXPECT_EQ(error(), "Error: load: can not find file \"./nonexistent.scm\"\n");
    // A directory is found by the existence test but loads as no file.
    EXPECT_EQ(eval("(load \".\")"), "");
    EXPECT_EQ(error(), "Error: load: can not find file \".\"\n");
    temp_file("sub.scm", "");
    std::string sub = scheme_temp_dir() + "sub.scm";
    EXPECT_EQ(eval("(load \"" + sub + "\")"), "#t");
    EXPECT_EQ(std::remove(sub.c_str()), 0);
    std::filesystem::create_directory(sub);
    EXPECT_EQ(eval("(require \"sub\")"), "");
    EXPECT_EQ(error(), "Error: load: can not find file \"sub.scm\"\n");
    std::filesystem::remove(sub);
    // An error inside a loaded file ends the whole run.
    std::string bad = temp_file("bad.scm", "(display 1) (car '()) (display 2)");
    EXPECT_EQ(run("(load \"" + bad + "\") (display 3)"), "1");
    EXPECT_EQ(error(), "Error: car: pair required: ()\n");
    // exit inside a loaded file stops the whole run.
    std::string ex = temp_file("exit.scm", "(display 1) (exit) (display 2)");
    EXPECT_EQ(run("(load \"" + ex + "\") (display 3)"), "1");
}

TEST_F(SchemeTest, SelfLoadIsNestingTooDeep) {
    std::string path = scheme_temp_dir() + "self.scm";
    temp_file("self.scm", "(load \"" + path + "\")");
    EXPECT_EQ(run("(load \"" + path + "\")"), "");
    EXPECT_EQ(error(), "Error: nesting too deep\n");
    EXPECT_EQ(sc->runDepth, 0);
    EXPECT_EQ(eval("(+ 1 2)"), "3");
}

TEST_F(SchemeTest, HostFunctions) {
    EXPECT_EQ(sch_register_host_function(sc, u"sum", host_sum, 1, 3, u"NNN"), 0);
    EXPECT_EQ(eval("(sum 1 2 3 4)"), "6");
    EXPECT_EQ(eval("(sum)"), "");
    EXPECT_EQ(error(), "Error: wrong number of arguments: sum requires 1, but got 0\n");
    EXPECT_EQ(eval("(sum 1 'a)"), "");
    EXPECT_EQ(error(), "Error: sum: number required: a\n");
    EXPECT_EQ(eval("sum"), "#<callback function sum>");
    // Any number of arguments, few or many, each checked and passed in order.
    EXPECT_EQ(sch_register_host_function(sc, u"sum-all", host_sum, 0, -1, u"NNNNNNNNNNNNNNNN"), 0);
    EXPECT_EQ(eval("(list (sum-all) (sum-all 1 2 3 4 5 6 7) (sum-all 1 2 3 4 5 6 7 8) "
                   "(sum-all 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16))"),
              "(0 28 36 136)");
    EXPECT_EQ(eval("(sum-all 1 2 3 4 5 6 7 8 9 'x)"), "");
    EXPECT_EQ(error(), "Error: sum-all: number required: x\n");
    clear();
    sch_register_host_function(sc, u"raise", host_raise, 0, 1, u"S");
    EXPECT_EQ(run("(display 1) (raise \"boom\") (display 2)"), "1");
    EXPECT_EQ(error(), "Error: boom\n");
    EXPECT_EQ(eval("(+ 1 1)"), "2");
    // A nested call's exit frame ends only the nested run, also inside a load.
    sch_register_host_function(sc, u"call-it", host_call, 1, 1, u"p");
    std::string path = temp_file("nested.scm", "(display (call-it (lambda () 1))) (display 2)");
    EXPECT_EQ(run("(load \"" + path + "\") (display 3)"), "123");
    EXPECT_EQ(error(), "");
}

TEST_F(SchemeTest, SafeCallAndProtect) {
    run("(define (f) (+ 40 2)) (define (bad) (car 1))");
    SchemeCell* f = sch_safe_load_string(sc, u"f");
    SchemeCell* r = sch_safe_call(sc, f);
    ASSERT_TRUE(is_int(r));
    EXPECT_EQ(r->a.ival, 42);
    EXPECT_EQ(sch_safe_protect(sc, f), 0);
    sch_collect(sc, sc->NIL, sc->NIL, true);
    EXPECT_EQ(eval("(car (_debug_info))"), "#<closure>");
    sch_unprotect(sc, f);
    EXPECT_EQ(eval("(_debug_info)"), "()");
    sch_safe_call(sc, sch_safe_load_string(sc, u"bad"));
    EXPECT_EQ(error(), "Error: car: pair required: 1\n");
    EXPECT_EQ(to_utf8(sch_safe_to_text(sc, sch_safe_load_string(sc, u"'(1 \"a\" #\\b)"))), "(1 a b)");
}

TEST_F(SchemeTest, FatalInNestedEntryLeavesTheRunIntact) {
    sch_register_host_function(sc, u"failing-text", host_failing_text, 1, 1, u"A");
    EXPECT_EQ(run("(define x (list 1 2)) (display (list (failing-text x) x (+ 1 2)))"), "(#t (1 2) 3)");
    EXPECT_EQ(error(), "");
    ASSERT_EQ(HostRecorder::boxes.size(), 1u);
    EXPECT_EQ(to_utf8(HostRecorder::boxes[0]), "fatal error: no memory");
    // A fatal error while output goes to another port: afterwards output goes
    // where it went before.
    SchemeCell* before = sc->outport;
    sc->payloadCap = sc->payloadBytes + 200000;
    EXPECT_EQ(
        sch_safe_load_string(sc, u"(define p (open-output-string)) (display (make-vector 20000 123456) p)"),
        sc->F);
    sc->payloadCap = 1ull << 30;
    EXPECT_EQ(sc->outport, before);
    EXPECT_EQ(sc->dumpCount, 0);
    EXPECT_EQ(sc->gcDisabled, 0);
    EXPECT_EQ(run("(display 5)"), "5");
}

TEST_F(SchemeTest, NoMemoryFaults) {
    EXPECT_EQ(sch_safe_load_string(sc, u"(make-vector (* 1073741824 1073741824 2))"), sc->F);
    ASSERT_FALSE(HostRecorder::boxes.empty());
    EXPECT_EQ(to_utf8(HostRecorder::boxes.back()), "fatal error: no memory");
    HostRecorder::boxes.clear();
    sc->payloadCap = sc->payloadBytes + (1 << 20);
    EXPECT_EQ(sch_safe_load_string(sc, u"(define (f n) (+ 1 (f n))) (f 1)"), sc->F);
    sc->payloadCap = 1ull << 30;
    ASSERT_FALSE(HostRecorder::boxes.empty());
    EXPECT_EQ(to_utf8(HostRecorder::boxes.back()), "fatal error: no memory");
    EXPECT_EQ(eval("(+ 2 2)"), "4");
}

TEST_F(SchemeTest, CancelKey) {
    HostRecorder::keys[VK_CANCEL] = true;
    EXPECT_EQ(eval("(define n 0) (let loop () (set! n (+ n 1)) (loop))"), "");
    EXPECT_EQ(error(), "Error: canceled\n");
    EXPECT_EQ(sc->cancelFlag, 1);
    HostRecorder::keys[VK_CANCEL] = false;
    EXPECT_EQ(eval("(< n 502)"), "#t");
    EXPECT_EQ(sc->cancelFlag, 0);
    // With a Ctrl requirement the key alone does not cancel.
    sc->cancelModifiers = 0x08;
    HostRecorder::keys[VK_CANCEL] = true;
    sch_register_host_function(sc, u"tick", host_tick, 0, 0, u"");
    ticks = 0;
    run("(let loop () (tick) (loop))");
    EXPECT_EQ(error(), "Error: canceled\n");
    EXPECT_GE(ticks, 2000);
    EXPECT_LE(ticks, 2000 + 501);
}
