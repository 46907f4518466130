// Replacement templates of any units against a fixed match: the measured
// size is the text written, and replacing into a short buffer gives the
// same text as a large one.
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz.h"
#include "regex/regex.h"

namespace {

const char16_t kSubject[] = u"xx\U0001F600ab-cd あい\r\nend";

// Two fixed patterns, chosen by the input's first byte: the second has named
// groups and more than nine, for "$+{name}" and two-digit references.
Regex* fixed_regex(bool named) {
    static Regex* plain = regex_compile(u"(a)(b)?(z)?-(c)(d)\\s*(あ)", 0);
    static Regex* many =
        regex_compile(u"(?<first>a)(b)?(z)?-(c)(d)\\s*(あ)(い)?()()(x)?(?<tail>\\r)?(\\n)", 0);
    return named ? many : plain;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    std::u16string tmpl;
    for (size_t i = 1; i + 1 < size; i += 2) {
        char16_t c = static_cast<char16_t>(data[i] | data[i + 1] << 8);
        tmpl += c ? c : u'$';
    }
    if (tmpl.size() > 4000) return 0;
    int refs = regex_template_has_refs(tmpl.c_str());
    fuzz_check(refs == 0 || refs == 1, "has refs");
    bool backslash = tmpl.find(u'\\') != std::u16string::npos;
    if (backslash) fuzz_check(refs == 1, "a backslash is a reference");

    Regex* re = fixed_regex((data[0] & 1) != 0);
    fuzz_check(re != nullptr, "fixed pattern");
    RegexStrSubject subject{};
    RegexPositionOps ops{};
    regex_init_str_ops(&ops, &subject, kSubject);
    int start = -1, length = -1;
    fuzz_check(regex_search_str(re, kSubject, 0, &start, &length) == 1, "fixed match");
    RegexPos ms{0, start}, me{0, start + length};

    int64_t need = regex_expand_template(&ops, ms, me, tmpl.c_str(), re, nullptr);
    fuzz_check(need >= 1 && need < (int64_t(1) << 30), "measured size");
    std::vector<char16_t> out(static_cast<size_t>(need));
    int64_t wrote = regex_expand_template(&ops, ms, me, tmpl.c_str(), re, out.data());
    fuzz_check(wrote == need, "written size differs from the measured one");
    fuzz_check(out[static_cast<size_t>(need - 1)] == 0, "terminator");
    fuzz_check(std::char_traits<char16_t>::length(out.data()) == static_cast<size_t>(need - 1),
               "text length");
    std::u16string expanded(out.data());

    // Replace through buffers of every size up to the result: a buffer that
    // cannot hold it is left for a heap copy; the text is always the same.
    char16_t* big = regex_replace_str(re, kSubject, tmpl.c_str(), 0, nullptr, 0, nullptr, nullptr);
    fuzz_check(big != nullptr, "replace");
    std::u16string whole(big);
    if (big != kSubject) std::free(big);
    if (refs) {
        std::u16string want = std::u16string(kSubject, static_cast<size_t>(start)) + expanded +
                              std::u16string(kSubject + start + length);
        fuzz_check(whole == want, "replace and expand differ");
    } else {
        std::u16string want = std::u16string(kSubject, static_cast<size_t>(start)) + tmpl +
                              std::u16string(kSubject + start + length);
        fuzz_check(whole == want, "a template without references is not the text itself");
    }
    int step = whole.size() > 64 ? static_cast<int>(whole.size() / 16) : 1;
    for (int cap = 1; cap <= static_cast<int>(whole.size()) + 1; cap += step) {
        std::vector<char16_t> buf(static_cast<size_t>(cap));
        char16_t* r = regex_replace_str(re, kSubject, tmpl.c_str(), 1, buf.data(), cap, nullptr, nullptr);
        fuzz_check(r != nullptr, "replace into a buffer");
        std::u16string got(r);
        if (r == buf.data()) {
            fuzz_check(static_cast<int>(got.size()) < cap, "capacity exceeded");
        } else if (r != kSubject) {
            std::free(r);
        }
        fuzz_check(got == whole, "a short buffer changes the text");
    }
    return 0;
}

std::string fuzz_generate(std::mt19937_64& rng) {
    static const char16_t* const pieces[] = {
        u"$&",        u"$'",       u"$`",         u"$+",       u"$1",  u"$2",  u"$3",   u"$9",
        u"$0",        u"$",        u"\\",         u"\\1",      u"\\n", u"\\t", u"\\\\", u"\\$",
        u"x",         u"あ",       u"\U0001F600", u"\xD800",   u"$$",  u"\\0", u"\\9",  u"\\u3042",
        u"$+{first}", u"$+{tail}", u"$+{}",       u"$+{nope}", u"$+{", u"$12", u"$13",  u"$10"};
    std::u16string t;
    size_t n = rng() % 20;
    for (size_t i = 0; i < n; i++) t += pieces[rng() % (sizeof(pieces) / sizeof(pieces[0]))];
    std::string s(1, rng() % 2 ? 'U' : 'T');
    for (char16_t c : t) {
        s += static_cast<char>(c & 0xFF);
        s += static_cast<char>(c >> 8);
    }
    return s;
}
const uint64_t fuzz_default_count = 3000;
