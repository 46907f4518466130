// Shared helpers for the interpreter suites: an interpreter whose output and
// error ports write into strings, a recorder for message boxes and key states.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

#include "scheme/sch_impl.h"

std::string to_utf8(const std::u16string& s);
// A directory of this test process's own, ending with a slash.
std::string scheme_temp_dir();
std::u16string to_u16(const std::string& s);

// Records message boxes and answers key states for the duration of a test.
struct HostRecorder {
    static std::vector<std::u16string> boxes;
    static std::vector<std::u16string> captions;
    static bool keys[256];
    Win32HostHooks saved;
    HostRecorder();
    ~HostRecorder();
};

class SchemeTest : public ::testing::Test {
protected:
    SchemeInterpreter* sc = nullptr;
    std::u16string out, err;
    HostRecorder recorder;

    void SetUp() override;
    void TearDown() override;

    // Runs script text; returns what it printed on the output port.
    std::string run(const std::string& text);
    // Runs text and returns the printed (write form) value of its last expression.
    std::string eval(const std::string& text);
    std::string error() const { return to_utf8(err); }
    void clear() {
        out.clear();
        err.clear();
    }
    static void outSink(SchemeInterpreter* sc, const char16_t* text, uint32_t flags);
    static void errSink(SchemeInterpreter* sc, const char16_t* text, uint32_t flags);
};
