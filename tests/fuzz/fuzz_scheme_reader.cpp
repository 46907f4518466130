// Scheme text of any kind through the reader: every datum read is written
// and read again and must be equal? to the first (for a datum that equal?
// does not compare, a regular expression among its parts, the second
// reading is written as the first was); a reader error leaves the
// interpreter usable.
#include "fuzz_scheme.h"

namespace {

const char16_t kCheck[] =
    u"(define (fuzz-check-all p n)"
    u"  (let ((d (read p)))"
    u"    (if (eof-object? d) n"
    u"        (begin"
    u"          (let* ((o (open-output-string)) (t (begin (write d o) (get-output-string o)))"
    u"                 (again (read (open-input-string t))) (o2 (open-output-string)))"
    u"            (write again o2)"
    u"            (if (not (or (equal? d again) (string=? t (get-output-string o2)))) (fuzz-fail t)))"
    u"          (if (< n 300) (fuzz-check-all p (+ n 1)) n)))))"
    u"(fuzz-check-all (open-input-string (fuzz-input)) 0)";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 20000) return 0;
    fuzz_scheme::input() = fuzz_scheme::text_of(data, size);
    // The check reads at most 300 data, about 20 applications each.
    fuzz_scheme::Interpreter in(fuzz_scheme::kPolls);
    sch_safe_load_string(in.sc, kCheck);
    in.check_heap();
    in.check_usable();
    // The text read straight by the loader, as a script.
    fuzz_scheme::set_budget(fuzz_scheme::kPolls);
    sch_safe_load_string(in.sc, fuzz_scheme::input().c_str());
    in.check_heap();
    in.check_usable();
    return 0;
}

std::string fuzz_generate(std::mt19937_64& rng) {
    static const char* const pieces[] = {"(",
                                         ")",
                                         "'",
                                         "`",
                                         ",",
                                         ",@",
                                         "#(",
                                         "\"",
                                         "\\",
                                         "\"a\\\"b\"",
                                         "#\\a",
                                         "#\\space",
                                         "#\\x41",
                                         "#t",
                                         "#f",
                                         "1",
                                         "-2",
                                         "3.5",
                                         "1e10",
                                         "#x1F",
                                         "1/2",
                                         ".",
                                         " . ",
                                         "abc",
                                         "|a b|",
                                         "; c\n",
                                         "#|",
                                         "|#",
                                         " ",
                                         "\n",
                                         "\xE3\x81\x82",
                                         "#[a]",
                                         "#/a+/",
                                         "#/[/",
                                         "12345678901234567890",
                                         "-0.0",
                                         "#\\",
                                         "#;",
                                         "#!",
                                         "()"};
    std::string s;
    size_t n = rng() % 60;
    for (size_t i = 0; i < n; i++) {
        if (rng() % 10 == 0)
            s += static_cast<char>(rng() % 256);
        else
            s += pieces[rng() % (sizeof(pieces) / sizeof(pieces[0]))];
    }
    return s;
}
const uint64_t fuzz_default_count = 600;
