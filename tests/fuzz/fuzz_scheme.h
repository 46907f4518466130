// Shared by the interpreter's fuzz entry points: one interpreter per input,
// message boxes answered, the input text handed to scripts by a host
// function, and a walk over the heap after a full collection.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "fuzz.h"
#include "scheme/sch_impl.h"

namespace fuzz_scheme {

// Interprets the bytes as UTF-8 where they are, each other byte as one unit.
inline std::u16string text_of(const uint8_t* data, size_t size) {
    std::u16string s;
    for (size_t i = 0; i < size; i++) {
        unsigned b = data[i];
        if (b >= 0xE0 && b < 0xF0 && i + 2 < size && (data[i + 1] & 0xC0) == 0x80 &&
            (data[i + 2] & 0xC0) == 0x80) {
            s += static_cast<char16_t>((b & 0x0F) << 12 | (data[i + 1] & 0x3F) << 6 | (data[i + 2] & 0x3F));
            i += 2;
        } else if (b >= 0xC2 && b < 0xE0 && i + 1 < size && (data[i + 1] & 0xC0) == 0x80) {
            s += static_cast<char16_t>((b & 0x1F) << 6 | (data[i + 1] & 0x3F));
            i += 1;
        } else {
            s += static_cast<char16_t>(b ? b : ' ');
        }
    }
    return s;
}

inline std::u16string& input() {
    static std::u16string text;
    return text;
}

// The budget of a run: key polls answered "not pressed" until it is spent,
// then the cancel key reads as held, so a run that never ends is cancelled
// the same way for a given input every time. The interpreter polls after
// every 500 applications; 128 polls keep plain unbounded recursion (whose
// heap and dump grow with every level, each collection marking them all)
// well under a second under the sanitizers. Applications that each do much
// work (a large string made in a loop) are stopped by the clock instead,
// at the first poll after a quarter of a second; the payload cap bounds the
// work of each to a few megabytes, so 500 of them stay well under a second
// too. A call that outlasts the fuzzer's time-out therefore never polled: a
// hang.
constexpr long kPolls = 128;
constexpr uint64_t kPayloadCap = 4u << 20;
inline long& polls_left() {
    static long n = 0;
    return n;
}
inline std::chrono::steady_clock::time_point& deadline() {
    static std::chrono::steady_clock::time_point t;
    return t;
}
// The input's runs have the clock too; the harness's own (the library, the
// checks afterwards) only polls.
inline void set_budget(long polls, bool clock = true) {
    polls_left() = polls;
    deadline() = clock ? std::chrono::steady_clock::now() + std::chrono::milliseconds(250)
                       : std::chrono::steady_clock::time_point::max();
}

inline int answer_box(HWND, LPCWSTR, LPCWSTR, UINT) {
    return IDOK;
}
inline short key_state(int) {
    const bool spent = --polls_left() < 0 || std::chrono::steady_clock::now() > deadline();
    return spent ? static_cast<short>(0x8000) : 0;
}

inline SchemeCell* host_input(SchemeInterpreter* sc, SchemeCell**, int) {
    return sch_safe_make_string(sc, input().c_str());
}
inline SchemeCell* host_fail(SchemeInterpreter*, SchemeCell** args, int count) {
    if (count > 0) {
        std::string text;
        for (const char16_t* p = sch_string_text(args[0]); p && *p; ++p) text += *p < 0x80 ? char(*p) : '?';
        std::fprintf(stderr, "datum written as: %s\n", text.c_str());
    }
    fuzz_check(false, "the script found a difference");
    return nullptr;
}

inline void discard(SchemeInterpreter*, const char16_t*, uint32_t) {}

struct Interpreter {
    SchemeInterpreter* sc = nullptr;
    SchemeCell* plus = nullptr; // the primitive bound to + at creation
    Win32HostHooks saved;
    explicit Interpreter(long polls, bool clock = true) : saved(Win32GetHostHooks()) {
        Win32SetHostHooks({answer_box, key_state});
        set_budget(polls, clock);
        sc = sch_create();
        fuzz_check(sc != nullptr, "create");
        sc->payloadCap = kPayloadCap;
        port_of(sc->outport)->output = discard;
        port_of(sc->errport)->output = discard;
        sch_register_host_function(sc, u"fuzz-input", host_input, 0, 0, u"");
        sch_register_host_function(sc, u"fuzz-fail", host_fail, 0, 1, u"S");
        plus = sch_safe_load_string(sc, u"+");
        fuzz_check(plus && sch_safe_protect(sc, plus) == 0, "the primitive +");
    }
    ~Interpreter() {
        sch_destroy(sc);
        Win32SetHostHooks(saved);
    }

    bool in_heap(const SchemeCell* c) const {
        if (c == sc->NIL || c == sc->T || c == sc->F || c == sc->UNDEF) return true;
        for (int s = 0; s <= sc->lastSegment; s++)
            if (c >= sc->segments[s] && c < sc->segments[s] + sc->segmentCells[s]) return c->flags != 0;
        return false;
    }

    // After a full collection every pair and closure points at live cells.
    void check_heap() const {
        sch_collect(sc, sc->NIL, sc->NIL, true);
        for (int s = 0; s <= sc->lastSegment; s++) {
            for (const SchemeCell* c = sc->segments[s]; c < sc->segments[s] + sc->segmentCells[s]; ++c) {
                if (c->flags == 0 || (c->flags & SCH_ATOM)) continue;
                fuzz_check(in_heap(c->a.car) && in_heap(c->b.cdr), "a live cell points at a free one");
            }
        }
        fuzz_check(sc->dumpCount == 0 && sc->runDepth == 0, "the interpreter is left inside a run");
    }

    // The interpreter still answers after whatever the input did. A script
    // may bind + to something else (its own right): then the answer asked
    // for is a constant's.
    void check_usable() const {
        set_budget(1 << 20, false);
        SchemeCell* v = sch_safe_load_string(sc, u"3");
        fuzz_check(v && is_int(v) && v->a.ival == 3, "3 is not 3 afterwards");
        if (sch_safe_load_string(sc, u"+") != plus) return;
        v = sch_safe_load_string(sc, u"(+ 1 2)");
        fuzz_check(v && is_int(v) && v->a.ival == 3, "(+ 1 2) is not 3 afterwards");
    }
};

} // namespace fuzz_scheme
