// Keyword files of any bytes, then lookups, completions and word lengths.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "editor/sqltoken.h"
#include "fuzz.h"

namespace {

std::u16string as_units(const uint8_t* data, size_t size) {
    std::u16string s;
    for (size_t i = 0; i + 1 < size; i += 2) {
        char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        s += c ? c : u' ';
    }
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/tavrelix_fuzz_kw_" + std::to_string(getpid()) + ".txt";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    CSQLStrToken tok;
    CString msg;
    std::u16string wpath(path.begin(), path.end());
    int r = tok.initDefaultKeyword(wpath.c_str(), &msg);
    fuzz_check(r == 0 || r == 1, "result");
    fuzz_check(tok.m_keywordCount >= 0, "count");
    for (int i = 1; i < tok.m_keywordCount; i++) {
        const KeywordEntry& a = tok.m_keywords[i - 1];
        const KeywordEntry& b = tok.m_keywords[i];
        fuzz_check(std::u16string(a.key, static_cast<size_t>(a.keyLength)) <=
                       std::u16string(b.key, static_cast<size_t>(b.keyLength)),
                   "order");
    }

    // Lookups over the input read as text, and over the keywords themselves.
    std::u16string text = as_units(data, size);
    for (int pass = 0; pass < 2; pass++) {
        const char16_t* p = text.c_str();
        const char16_t* end = p + text.size();
        while (p < end) {
            int n = tok.getWordLength(p, pass);
            fuzz_check(n >= 0 && n <= end - p, "word length");
            if (n == 0) break;
            int row = tok.findKeyword(p, n);
            fuzz_check(row >= -1 && row < tok.m_keywordCount, "row");
            // The hash index and the binary searches agree.
            CStrToken::HashSlot* hash = tok.m_hash;
            tok.m_hash = nullptr;
            fuzz_check(tok.findKeyword(p, n) == row, "hash index");
            tok.m_hash = hash;
            if (row >= 0) {
                const KeywordEntry& e = tok.m_keywords[row];
                for (int k = 0; k < e.keyLength; k++) {
                    char16_t t = p[k];
                    if (t >= u'A' && t <= u'Z') t = static_cast<char16_t>(t + 32);
                    fuzz_check(t == e.key[k], "found key");
                }
            }
            p += n;
        }
    }
    char16_t out[64];
    for (int i = 0; i < tok.m_keywordCount && i < 50; i++) {
        std::u16string prefix(tok.m_keywords[i].display,
                              static_cast<size_t>(std::min(tok.m_keywords[i].keyLength, 3)));
        for (int backward = 0; backward < 2; backward++) {
            int ordinal = -1;
            for (int step = 0; step < 8; step++) {
                ordinal = tok.findCompletion(prefix.c_str(), ordinal, out, sizeof(out), backward);
                fuzz_check(ordinal >= -1 && ordinal < tok.m_keywordCount, "ordinal");
                if (ordinal < 0) break;
            }
        }
    }
    return 0;
}

std::string fuzz_generate(std::mt19937_64& rng) {
    static const char* const pieces[] = {
        "select",   "ORDER BY",     "order",    ",2",           ",1", ",",  ",99",          ",-1",
        "//",       "\n",           "\r\n",     "\r",           " ",  "\t", "\xE3\x80\x80", "\x82\xA0",
        "\xA4\xA2", "\xEF\xBB\xBF", "\xFF\xFE", "\xED\xA0\x80", "$",  "9",  "q'[",          "'",
        "\"",       "\x80",         "\xFF"};
    std::string s;
    size_t n = rng() % 60;
    for (size_t i = 0; i < n; i++) {
        switch (rng() % 6) {
        case 0: s += std::string(1 + rng() % 300, static_cast<char>('a' + rng() % 26)); break;
        case 1: s += static_cast<char>(rng() % 256); break;
        default: s += pieces[rng() % (sizeof(pieces) / sizeof(pieces[0]))]; break;
        }
    }
    if (rng() % 20 == 0) s += std::string(5000 + rng() % 6000, 'k');
    if (rng() % 10 == 0) s = (rng() % 2 ? "\xFF\xFE" : "\xFE\xFF") + s;
    return s;
}
const uint64_t fuzz_default_count = 2000;
