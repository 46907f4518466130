// Headless script runner: loads each file named on the command line with
// sch_safe_load_file, output on the standard output and script errors on the
// standard error. Exits 1 after a script error or a fatal error, 2 on usage.
#include <cstdio>
#include <string>

#include "scheme/sch_impl.h"

namespace {

bool g_failed = false;

std::u16string from_utf8(const char* s) {
    std::u16string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s); *p;) {
        uint32_t c = *p;
        int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        if (n > 1) c &= 0x3F >> (n - 1);
        for (int k = 1; k < n && p[k]; ++k) c = (c << 6) | (p[k] & 0x3F);
        p += n;
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

void error_sink(SchemeInterpreter* sc, const char16_t* text, uint32_t) {
    g_failed = true;
    std::string bytes;
    for (const char16_t* p = text; *p; ++p) bytes += *p < 0x80 ? static_cast<char>(*p) : '?';
    fputs(bytes.c_str(), stderr);
    (void)sc;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: scheme_run FILE...\n");
        return 2;
    }
    SchemeInterpreter* sc = sch_create();
    if (!sc) return 1;
    port_of(sc->errport)->output = error_sink;
    int status = 0;
    for (int i = 1; i < argc && status == 0; ++i) {
        if (sch_safe_load_file(sc, from_utf8(argv[i]).c_str()) != 0) status = 1;
        if (g_failed) status = 1;
    }
    fflush(stdout);
    sch_destroy(sc);
    return status;
}
