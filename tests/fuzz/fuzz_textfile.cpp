// Text files of any bytes in each character code (or detected), read in lines
// through buffers of several capacities, then written back in the same code.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/textfile.h"
#include "base/utf16.h"
#include "fuzz.h"

namespace {

const CharCode kCodes[] = {
    CHARCODE_SJIS,          CHARCODE_EUC,        CHARCODE_JIS,     CHARCODE_UNICODE,       CHARCODE_UTF8,
    CHARCODE_UNICODE_NOSIG, CHARCODE_UTF8_NOSIG, CHARCODE_UTF16BE, CHARCODE_UTF16BE_NOSIG, CHARCODE_AUTO};

bool utf16_code(CharCode c) {
    return c == CHARCODE_UNICODE || c == CHARCODE_UNICODE_NOSIG || c == CHARCODE_UTF16BE ||
           c == CHARCODE_UTF16BE_NOSIG;
}

const std::string& scratch(const char* what) {
    static std::string paths[2] = {"/tmp/tavrelix_fuzz_tf_" + std::to_string(getpid()) + ".in",
                                   "/tmp/tavrelix_fuzz_tf_" + std::to_string(getpid()) + ".out"};
    return paths[what[0] == 'o'];
}

void put(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    fuzz_check(f != nullptr, "scratch file");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::u16string wide(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

// Reads the file in code (CHARCODE_AUTO: detected) in segments of capacity
// units; checks each segment; returns the text and the replacement count.
std::u16string read_all(const std::string& path, CharCode code, int capacity, int* replaced, CharCode* used) {
    TextFile rec;
    fuzz_check(textfile_open(&rec, wide(path).c_str(), u"r") == 1, "open");
    if (code != CHARCODE_AUTO) textfile_init(&rec, rec.archive, code, LINE_END_NONE);
    *used = rec.code;
    std::vector<char16_t> buf(static_cast<size_t>(capacity));
    std::u16string all;
    std::u16string last;
    while (char16_t* s = textfile_gets(&rec, buf.data(), capacity)) {
        std::u16string seg(s);
        fuzz_check(!seg.empty() && static_cast<int>(seg.size()) <= capacity - 1, "segment size");
        // A line break only ends a segment; a pair and CR LF are never split.
        for (size_t i = 0; i + 1 < seg.size(); i++)
            fuzz_check(seg[i] != u'\n' && (seg[i] != u'\r' || (seg[i + 1] == u'\n' && i + 2 == seg.size())),
                       "line break inside a segment");
        if (!last.empty()) {
            fuzz_check(!(utf16_is_high_surrogate(last.back()) && utf16_is_low_surrogate(seg[0])),
                       "pair split between segments");
            fuzz_check(!(last.back() == u'\r' && seg[0] == u'\n'), "CR LF split between segments");
        }
        all += seg;
        last = seg;
    }
    *replaced = textfile_replaced_count(&rec);
    textfile_destroy(&rec);
    return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    CharCode code = kCodes[data[0] % (sizeof(kCodes) / sizeof(kCodes[0]))];
    int capacity = 3 + data[1] % 64;
    if (data[1] & 0x80) capacity = 3 + (data[1] & 0x7F) * 97;
    std::string bytes(reinterpret_cast<const char*>(data + 2), size - 2);
    put(scratch("in"), bytes);

    int replaced = 0;
    CharCode used = code;
    std::u16string text = read_all(scratch("in"), code, capacity, &replaced, &used);
    // Line by line and in one large buffer the text is the same.
    int replaced2 = 0;
    CharCode used2 = code;
    std::u16string whole = read_all(scratch("in"), code, 1 << 16, &replaced2, &used2);
    fuzz_check(whole == text && replaced2 == replaced && used2 == used, "capacity changes the text");

    int marks = 0;
    for (size_t i = 0; i < text.size(); i++) {
        char16_t c = text[i];
        fuzz_check(c != 0, "NUL in the text");
        if (c == u'?') marks++;
        if (!utf16_code(used) && utf16_is_surrogate(c)) {
            bool pair =
                utf16_is_high_surrogate(c) && i + 1 < text.size() && utf16_is_low_surrogate(text[i + 1]);
            fuzz_check(pair, "lone surrogate decoded");
            i++;
        }
    }
    fuzz_check(replaced >= 0 && replaced <= marks, "replacement count");
    if (used == CHARCODE_UTF8 || used == CHARCODE_UTF8_NOSIG) {
        int question = 0; // in UTF-8 a '?' byte is always the character '?'
        for (char b : bytes) question += b == '?';
        fuzz_check(marks == replaced + question, "UTF-8 replacement count");
    }

    // Written back in the same code with the record's writer, the text reads
    // back unchanged. An ESC character has no unambiguous JIS form.
    if (used == CHARCODE_JIS && text.find(u'\x1b') != std::u16string::npos) return 0;
    TextFile w;
    fuzz_check(textfile_open(&w, wide(scratch("out")).c_str(), u"w") == 1, "open for writing");
    textfile_init(&w, w.archive, used, LINE_END_CRLF);
    textfile_write(&w, text.c_str());
    int written_replaced = textfile_replaced_count(&w);
    textfile_close(&w);
    if (written_replaced) return 0;
    int back_replaced = 0;
    CharCode back_used = used;
    std::u16string back = read_all(scratch("out"), used, 1 << 16, &back_replaced, &back_used);
    fuzz_check(back == text, "round trip");
    return 0;
}

std::string fuzz_generate(std::mt19937_64& rng) {
    static const char* const pieces[] = {
        "abc",          "\r\n",     "\n",       "\r",       "\x1b$B",       "\x1b(B",
        "\x1b(J",       "\x1b(I",   "\x0e",     "\x0f",     "0!",           "$\"",
        "\x88\x9f",     "\x82\xa0", "\xb1",     "\xb0\xa1", "\xa4\xa2",     "\x8e\xb1",
        "\x8f\xa2\xaf", "\xfc\xe2", "\xfb\xfc", "\xed\x40", "\xe3\x81\x82", "\xf0\x9f\x98\x80",
        "\xef\xbb\xbf", "\xff\xfe", "\xfe\xff", "?",        "\x80",         "\xff",
        "\xed\xa0\x80"};
    std::string s;
    s += static_cast<char>(rng() % 10);
    s += static_cast<char>(rng() % 256);
    size_t n = rng() % 80;
    for (size_t i = 0; i < n; i++) {
        switch (rng() % 8) {
        case 0: s += std::string(1 + rng() % 600, static_cast<char>('a' + rng() % 26)); break;
        case 1: s += static_cast<char>(rng() % 256); break;
        case 2: s += '\0'; break;
        default: s += pieces[rng() % (sizeof(pieces) / sizeof(pieces[0]))]; break;
        }
    }
    if (rng() % 8 == 0) s += std::string(4090 + rng() % 12, 'x') + "\r\x1b(B\n";
    return s;
}
const uint64_t fuzz_default_count = 300;
