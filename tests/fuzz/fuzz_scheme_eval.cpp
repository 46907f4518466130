// Scheme scripts of any kind evaluated with the library loaded, under a
// budget: the heap is bounded by its segments and the payload cap, and the
// cancel key reads as held once the script has run a fixed number of
// applications. The interpreter answers afterwards and its heap is sound.
#include <fstream>
#include <sstream>

#include "fuzz_scheme.h"

namespace {

const std::u16string& library() {
    static const std::u16string text = [] {
        std::ifstream in(TAVRELIX_SOURCE_DIR "/scmlib/init.scm", std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        std::string bytes = s.str();
        return fuzz_scheme::text_of(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }();
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 20000) return 0;
    fuzz_scheme::input() = fuzz_scheme::text_of(data, size);
    fuzz_scheme::Interpreter in(1 << 20, false);
    fuzz_check(library().size() > 1000, "library text");
    sch_safe_load_string(in.sc, library().c_str());
    fuzz_scheme::set_budget(fuzz_scheme::kPolls);
    sch_safe_load_string(in.sc, fuzz_scheme::input().c_str());
    in.check_heap();
    in.check_usable();
    return 0;
}

std::string fuzz_generate(std::mt19937_64& rng) {
    static const char* const pieces[] = {"(define (f x) (if (< x 1) 0 (+ 1 (f (- x 1)))))",
                                         "(f 50)",
                                         "(call-with-current-continuation (lambda (k) ",
                                         "(k 1)",
                                         ")",
                                         "(",
                                         "(let loop ((i 0)) (if (< i 100) (loop (+ i 1)) i))",
                                         "(make-vector 10 'a)",
                                         "(vector-ref (make-vector 2 0) 5)",
                                         "(string-append \"a\" \"b\")",
                                         "(car '())",
                                         "(list 1 2 3)",
                                         "(map (lambda (x) (* x x)) '(1 2 3))",
                                         "(apply + '(1 2))",
                                         "(error \"x\")",
                                         "(define x ",
                                         "x",
                                         "'sym",
                                         "(set! x 3)",
                                         "(begin)",
                                         "(lambda args args)",
                                         "(dynamic-wind (lambda () 1) (lambda () 2) (lambda () 3))",
                                         "(rxmatch #/a+/ \"caab\")",
                                         "(string->symbol \"a b\")",
                                         "(exit)",
                                         "(quasiquote (1 (unquote (+ 1 1))))",
                                         "(values 1 2)",
                                         "(call-with-values (lambda () (values 1 2)) +)",
                                         "#t",
                                         "1.5",
                                         "\"\xE3\x81\x82\"",
                                         " "};
    std::string s;
    size_t n = rng() % 20;
    for (size_t i = 0; i < n; i++) s += pieces[rng() % (sizeof(pieces) / sizeof(pieces[0]))];
    return s;
}
const uint64_t fuzz_default_count = 300;
