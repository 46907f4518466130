// The column-width text of the "列幅" box, over any UTF-16 text: a width is
// read from blanks, a sign and at least one digit (what follows the digits
// does not count), held to the int range by its magnitude; every width the
// box shows ("%d") reads back as itself, with blanks around it too.
#include <climits>
#include <string>

#include "app/tavexview.h"
#include "fuzz.h"

const uint64_t fuzz_default_count = 3000;

namespace {

// The rule, read plainly.
bool Model(const std::u16string& t, int* width) {
    size_t i = 0;
    while (i < t.size() && (t[i] == u' ' || t[i] == u'\t')) ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) negative = t[i++] == u'-';
    if (i == t.size() || t[i] < u'0' || t[i] > u'9') return false;
    long long v = 0;
    for (; i < t.size() && t[i] >= u'0' && t[i] <= u'9'; ++i)
        v = std::min<long long>(v * 10 + (t[i] - u'0'), INT_MAX);
    *width = static_cast<int>(negative ? -v : v);
    return true;
}

void RoundTrip(int width) {
    CString shown;
    shown.Format(u"%d", width);
    int back = 0;
    fuzz_check(CTavexView::ParseWidth(shown, &back) && back == width, "a width shown reads back");
    fuzz_check(CTavexView::ParseWidth(u" \t" + shown + u" ", &back) && back == width, "a width with blanks");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2) text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    int got = 12345, want = 0;
    const bool parsed = CTavexView::ParseWidth(CString(text), &got);
    fuzz_check(parsed == Model(text, &want), "a width is read");
    if (parsed)
        fuzz_check(got == want, "the width read");
    else
        fuzz_check(got == 12345, "no width leaves the value");

    // The bytes as a width: every one but INT_MIN (whose magnitude the int
    // range lacks) comes back.
    if (size >= 4) {
        int w = static_cast<int>(static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                                 static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24);
        if (w != INT_MIN) RoundTrip(w);
    }
    return 0;
}

std::string fuzz_generate(std::mt19937_64& rng) {
    static const char16_t* const pieces[] = {
        u" ", u"\t", u"-",      u"+", u"0", u"7", u"9", u"2147483647", u"2147483648", u"99999999999999999999",
        u"x", u"１", u"\u3000", u"."};
    return fuzz_pieces16(rng, pieces, 8);
}
