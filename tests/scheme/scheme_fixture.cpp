#include "scheme_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

std::string scheme_temp_dir() {
    static std::string dir = [] {
        std::string d = ::testing::TempDir() + "scheme_test_" + std::to_string(getpid()) + "/";
        mkdir(d.c_str(), 0700);
        return d;
    }();
    return dir;
}

std::vector<std::u16string> HostRecorder::boxes;
std::vector<std::u16string> HostRecorder::captions;
bool HostRecorder::keys[256];

namespace {
int recordBox(HWND, LPCWSTR text, LPCWSTR caption, UINT) {
    HostRecorder::boxes.push_back(text ? text : u"");
    HostRecorder::captions.push_back(caption ? caption : u"");
    return IDOK;
}
short keyState(int vk) {
    return vk >= 0 && vk < 256 && HostRecorder::keys[vk] ? static_cast<short>(0x8000) : 0;
}
} // namespace

HostRecorder::HostRecorder() : saved(Win32GetHostHooks()) {
    boxes.clear();
    captions.clear();
    for (bool& k : keys) k = false;
    Win32SetHostHooks({recordBox, keyState});
}

HostRecorder::~HostRecorder() {
    Win32SetHostHooks(saved);
}

std::string to_utf8(const std::u16string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c & 0x3FF) << 10) + (s[i + 1] & 0x3FF);
            ++i;
        }
        Utf8AppendCodePoint(out, c);
    }
    return out;
}

std::u16string to_u16(const std::string& s) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char b = s[i];
        uint32_t c;
        int n;
        if (b < 0x80) {
            c = b;
            n = 1;
        } else if (b < 0xE0) {
            c = b & 0x1F;
            n = 2;
        } else if (b < 0xF0) {
            c = b & 0x0F;
            n = 3;
        } else {
            c = b & 0x07;
            n = 4;
        }
        for (int k = 1; k < n; ++k) c = (c << 6) | (s[i + k] & 0x3F);
        i += n;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 | (c >> 10));
            out += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

void SchemeTest::outSink(SchemeInterpreter* sc, const char16_t* text, uint32_t) {
    static_cast<SchemeTest*>(sc->host)->out += text;
}

void SchemeTest::errSink(SchemeInterpreter* sc, const char16_t* text, uint32_t) {
    static_cast<SchemeTest*>(sc->host)->err += text;
}

void SchemeTest::SetUp() {
    sc = sch_create();
    ASSERT_NE(sc, nullptr);
    sc->host = this;
    port_of(sc->outport)->output = outSink;
    port_of(sc->errport)->output = errSink;
    // The library scripts define list; the suites need it without them.
    sch_safe_load_string(sc, u"(define (list . x) x)");
}

void SchemeTest::TearDown() {
    sch_destroy(sc);
}

std::string SchemeTest::run(const std::string& text) {
    out.clear();
    err.clear();
    sch_safe_load_string(sc, to_u16(text).c_str());
    return to_utf8(out);
}

std::string SchemeTest::eval(const std::string& text) {
    return run("(write (begin " + text + "))");
}
