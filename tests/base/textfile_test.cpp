#include "base/textfile.h"

#include "base/cp932.h"
#include "base/utf16.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iconv.h>
#include <iterator>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>
#include <windows.h>

namespace {

using Bytes = std::string;

class TextFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tavrelix-textfile-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        std::string cmd = "rm -rf '" + dir_ + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }

    std::string path(const char* name = "t.txt") const { return dir_ + "/" + name; }
    static std::u16string wide(const std::string& s) { return Utf8ToWide(s.c_str()); }

    static void put(const std::string& file, const Bytes& bytes) {
        std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    static Bytes get(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    // The code that opening the bytes detects.
    CharCode detect(const Bytes& bytes) {
        put(path(), bytes);
        TextFile rec;
        EXPECT_EQ(textfile_open(&rec, wide(path()).c_str(), u"r"), 1);
        return rec.code;
    }

    LineEndCode line_end(const Bytes& bytes, CharCode code) {
        put(path(), bytes);
        TextFile rec;
        EXPECT_EQ(textfile_open(&rec, wide(path()).c_str(), u"r"), 1);
        textfile_init(&rec, rec.archive, code, LINE_END_NONE);
        LineEndCode le = textfile_detect_line_end(&rec);
        EXPECT_EQ(rec.line_end, le);
        // Detection rewinds: the whole text is read afterwards.
        std::u16string all;
        while (const char16_t* b = textfile_read_block(&rec)) all += b;
        EXPECT_EQ(all.size() >= 1 || bytes.empty(), true);
        return le;
    }

    // The whole file read block by block in the given code.
    std::u16string read(const Bytes& bytes, CharCode code) {
        put(path(), bytes);
        TextFile rec;
        EXPECT_EQ(textfile_open(&rec, wide(path()).c_str(), u"r"), 1);
        textfile_init(&rec, rec.archive, code, LINE_END_NONE);
        std::u16string all;
        while (const char16_t* b = textfile_read_block(&rec)) all += b;
        textfile_destroy(&rec);
        return all;
    }

    // The bytes written for the segments, and the replacement count.
    Bytes write(CharCode code, std::initializer_list<const char16_t*> segments, int* replaced = nullptr,
                LineEndCode le = LINE_END_CRLF) {
        TextFile rec;
        EXPECT_EQ(textfile_open(&rec, wide(path("w.txt")).c_str(), u"w"), 1);
        textfile_init(&rec, rec.archive, code, le);
        for (const char16_t* p : segments) textfile_write(&rec, p);
        if (replaced) *replaced = textfile_replaced_count(&rec);
        textfile_close(&rec);
        return get(path("w.txt"));
    }

    std::string dir_;
};

Bytes cp932(const std::u16string& s) {
    int n = WideCharToMultiByte(932, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    Bytes b(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(932, 0, s.c_str(), static_cast<int>(s.size()), b.data(), n, nullptr, nullptr);
    return b;
}

Bytes utf8(const std::u16string& s) {
    return WideToUtf8(s.c_str());
}

Bytes utf16(const std::u16string& s, bool big_endian) {
    Bytes b;
    for (char16_t u : s) {
        char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
        b += big_endian ? hi : lo;
        b += big_endian ? lo : hi;
    }
    return b;
}

// glibc iconv of bytes to UTF-8 text, or "<error>".
std::string iconv_to_utf8(const char* from, const Bytes& in) {
    iconv_t cd = iconv_open("UTF-8", from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return "<no converter>";
    std::string out(in.size() * 4 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    size_t src_left = in.size();
    char* dst = out.data();
    size_t dst_left = out.size();
    size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1)) return "<error>";
    out.resize(out.size() - dst_left);
    return out;
}

// Equality of long texts, reporting only where they first differ.
::testing::AssertionResult same(const std::u16string& got, const std::u16string& want) {
    if (got == want) return ::testing::AssertionSuccess();
    size_t i = 0;
    while (i < got.size() && i < want.size() && got[i] == want[i]) i++;
    auto unit = [](const std::u16string& s, size_t i) { return i < s.size() ? int(s[i]) : -1; };
    return ::testing::AssertionFailure()
           << "sizes " << got.size() << " and " << want.size() << ", first difference at " << i << ": "
           << unit(got, i) << " instead of " << unit(want, i);
}

const std::u16string kSentence = u"日本語の文章です。カタカナとひらがなを含みます。";

} // namespace

TEST_F(TextFileTest, DetectsTheCode) {
    EXPECT_EQ(detect(""), CHARCODE_SJIS);
    EXPECT_EQ(detect("plain ascii text\r\n"), CHARCODE_SJIS);
    EXPECT_EQ(detect("\xFF\xFE\x01\x02\x80\x81\x82"), CHARCODE_UNICODE);
    EXPECT_EQ(detect("\xFE\xFF\x30\x42"), CHARCODE_UTF16BE);
    EXPECT_EQ(detect("\xEF\xBB\xBF"
                     "abc"),
              CHARCODE_UTF8);
    EXPECT_EQ(detect(Bytes("a\0b\0", 4)), CHARCODE_UNICODE_NOSIG);
    EXPECT_EQ(detect(Bytes("\0a\0b", 4)), CHARCODE_UTF16BE_NOSIG);
    // あい日本: 42 30 44 30 are ASCII pairs, so this is not taken for UTF-16.
    Bytes le = utf16(u"あい日本語", false);
    CharCode c = detect(le);
    EXPECT_NE(c, CHARCODE_UNICODE_NOSIG);
    int scored =
        ScoreJapaneseCode(reinterpret_cast<const unsigned char*>(le.data()), static_cast<int>(le.size()));
    EXPECT_EQ(c, scored == CHARCODE_AUTO ? CHARCODE_EUC : scored);

    EXPECT_EQ(detect("abc\x1b$B0!\x1b(Bdef"), CHARCODE_JIS);
    EXPECT_NE(detect("\xB1\xB2 abc\x1b$B0!\x1b(B"), CHARCODE_JIS);

    EXPECT_EQ(detect(cp932(kSentence)), CHARCODE_SJIS);
    EXPECT_EQ(detect(utf8(kSentence)), CHARCODE_UTF8_NOSIG);
    EXPECT_EQ(detect(write(CHARCODE_EUC, {kSentence.c_str()})), CHARCODE_EUC);
    EXPECT_EQ(detect("\x80\x80\x80\x80\x80\x80\x80\x80"), CHARCODE_EUC); // no scorer accepts it

    // E0 A1 scores 3 as a Shift_JIS and as an EUC kanji: the earlier code wins.
    const unsigned char tie[] = {0xE0, 0xA1, 'a', 'a', 'a', 'a'};
    EXPECT_EQ(ScoreJapaneseCode(tie, 6), CHARCODE_SJIS);
    const unsigned char nothing[] = {'a', 'b', 'c', 'd', 'e', 'f'};
    EXPECT_EQ(ScoreJapaneseCode(nothing, 6), CHARCODE_AUTO);
}

TEST_F(TextFileTest, DetectsTheLineEnd) {
    EXPECT_EQ(line_end("ab\r\ncd\n", CHARCODE_SJIS), LINE_END_CRLF);
    EXPECT_EQ(line_end("ab\ncd\r\n", CHARCODE_SJIS), LINE_END_LF);
    EXPECT_EQ(line_end("ab\rcd\r\n", CHARCODE_UTF8_NOSIG), LINE_END_CR);
    EXPECT_EQ(line_end("abc\r", CHARCODE_SJIS), LINE_END_CR);
    EXPECT_EQ(line_end("abc", CHARCODE_SJIS), LINE_END_CRLF);
    EXPECT_EQ(line_end("abc", CHARCODE_UTF8), LINE_END_CRLF);
    EXPECT_EQ(line_end("abc", CHARCODE_EUC), LINE_END_LF);
    EXPECT_EQ(line_end("abc", CHARCODE_JIS), LINE_END_LF);
    EXPECT_EQ(line_end(Bytes(4095, 'a') + "\r\nb", CHARCODE_SJIS), LINE_END_CRLF);
    EXPECT_EQ(line_end(utf16(std::u16string(4095, u'a') + u"\r\nb", true), CHARCODE_UTF16BE_NOSIG),
              LINE_END_CRLF);
    EXPECT_EQ(line_end(utf16(u"\uFEFFab\ncd", false), CHARCODE_UNICODE), LINE_END_LF);
    EXPECT_EQ(line_end(utf16(u"ab", false), CHARCODE_UNICODE_NOSIG), LINE_END_CRLF);

    EXPECT_EQ(textfile_str_line_end(u"no break"), LINE_END_NONE);
    EXPECT_EQ(textfile_str_line_end(u"a\r\nb\n"), LINE_END_CRLF);
    EXPECT_EQ(textfile_str_line_end(u"a\nb\r\n"), LINE_END_LF);
    EXPECT_EQ(textfile_str_line_end(u"a\rb"), LINE_END_CR);
}

TEST_F(TextFileTest, ReadsEveryCodeAcrossBlockBoundaries) {
    struct Case {
        CharCode code;
        Bytes head; // written before the padding
        Bytes sample;
        std::u16string text;
        int unit; // bytes per padding character
    };
    const std::u16string uni = u"é\uFF71あ\U0001F600\r\nz";
    const Case cases[] = {
        {CHARCODE_SJIS, "", "\x88\x9f\x82\xa0\xb1\r\nz", u"亜あｱ\r\nz", 1},
        {CHARCODE_EUC, "", "\xb0\xa1\xa4\xa2\x8e\xb1\r\nz", u"亜あｱ\r\nz", 1},
        {CHARCODE_JIS, "", "\x1b$B0!$\"\x1b(I1\x1b(Bx\r\nz", u"亜あｱx\r\nz", 1},
        {CHARCODE_UTF8_NOSIG, "", utf8(uni), uni, 1},
        {CHARCODE_UTF8, "\xEF\xBB\xBF", utf8(uni), uni, 1},
        {CHARCODE_UNICODE, "\xFF\xFE", utf16(uni, false), uni, 2},
        {CHARCODE_UNICODE_NOSIG, "", utf16(uni, false), uni, 2},
        {CHARCODE_UTF16BE, "\xFE\xFF", utf16(uni, true), uni, 2},
        {CHARCODE_UTF16BE_NOSIG, "", utf16(uni, true), uni, 2},
    };
    for (const Case& c : cases) {
        // Every split of the sample across the first block boundary (4096
        // bytes, 4090 after the signature for UTF-16) and the next ones.
        for (int pad = 4060; pad <= 4100; pad++) {
            int chars = pad / c.unit;
            std::u16string pad_text(static_cast<size_t>(chars), u'a');
            Bytes pad_bytes = c.unit == 2 ? utf16(pad_text, c.code >= CHARCODE_UTF16BE) : Bytes(pad, 'a');
            Bytes file = c.head + pad_bytes + c.sample + pad_bytes + c.sample;
            std::u16string expected = pad_text + c.text + pad_text + c.text;
            ASSERT_TRUE(same(read(file, c.code), expected)) << "code " << c.code << " pad " << pad;
        }
    }
}

TEST_F(TextFileTest, ReadsMalformedInputVisibly) {
    EXPECT_EQ(read("\xF0\x41", CHARCODE_UTF8_NOSIG), u"?A");
    EXPECT_EQ(read("\xF5\x41", CHARCODE_UTF8_NOSIG), u"?A");
    EXPECT_EQ(read("\xF0\x9F\x98\x80", CHARCODE_UTF8_NOSIG), u"\U0001F600");
    EXPECT_EQ(read("\xF4\x90\x80\x80x", CHARCODE_UTF8_NOSIG), u"????x");
    EXPECT_EQ(read("\xC0\xAF\n", CHARCODE_UTF8_NOSIG), u"??\n");
    EXPECT_EQ(read("\xE3\x81\n", CHARCODE_UTF8_NOSIG), u"??\n"); // a letter or break is never swallowed
    EXPECT_EQ(read("a\xE3\x81", CHARCODE_UTF8_NOSIG), u"a??");
    EXPECT_EQ(read("\x8F\xA2\xAF\x41", CHARCODE_EUC), u"?A");
    EXPECT_EQ(read("\x85\x41", CHARCODE_EUC), u"?A");
    EXPECT_EQ(read("\x88\x9F", CHARCODE_EUC), u"??");
    EXPECT_EQ(read("\x8E\xB1", CHARCODE_EUC), u"ｱ");
    EXPECT_EQ(read("\xA9\xA1z", CHARCODE_EUC), u"?z"); // a pair without a character
    EXPECT_EQ(read("\x1b$B)!\x1b(Bz", CHARCODE_JIS), u"?z");
    EXPECT_EQ(read("\xA4", CHARCODE_EUC), u"?");
    EXPECT_EQ(read("\x1b(I1", CHARCODE_JIS), u"ｱ");
    EXPECT_EQ(read("\x0e\x31\x0f", CHARCODE_JIS), u"ｱ");
    EXPECT_EQ(read("\x85\x40", CHARCODE_SJIS), u"@");
    EXPECT_EQ(read("ab\x82", CHARCODE_SJIS), u"ab");
    EXPECT_EQ(read(Bytes("a\0b\0c", 5), CHARCODE_UNICODE_NOSIG), u"ab?");
    EXPECT_EQ(read(Bytes("\0a\0b", 4), CHARCODE_UTF16BE_NOSIG), u"ab");
    EXPECT_EQ(read(Bytes("a\0", 2), CHARCODE_UNICODE_NOSIG), u"a");
    EXPECT_EQ(read(Bytes("\x00\xD8", 2), CHARCODE_UNICODE_NOSIG), u"\xD800");
}

TEST_F(TextFileTest, NulBytesAreCountedReplacementsInEveryCode) {
    // A NUL byte no longer ends the block's text: it reads as a counted '?',
    // wherever it falls against the block edges.
    const CharCode codes[] = {1, 2, 3, 5, 6, 7, 8, 10, 11};
    for (CharCode code : codes) {
        bool wide16 = code == CHARCODE_UNICODE || code == CHARCODE_UNICODE_NOSIG ||
                      code == CHARCODE_UTF16BE || code == CHARCODE_UTF16BE_NOSIG;
        bool be = code == CHARCODE_UTF16BE || code == CHARCODE_UTF16BE_NOSIG;
        Bytes head = code == CHARCODE_UNICODE   ? "\xFF\xFE"
                     : code == CHARCODE_UTF16BE ? "\xFE\xFF"
                     : code == CHARCODE_UTF8    ? "\xEF\xBB\xBF"
                                                : "";
        for (int pad : {0, 4093, 4094, 4095, 4096, 4097, 8190, 8191}) {
            std::u16string text =
                std::u16string(static_cast<size_t>(pad), u'x') + u"ab" + u'\0' + u"cd\nef\n";
            Bytes body = wide16 ? utf16(text, be) : Bytes(text.begin(), text.end());
            put(path(), head + body);
            TextFile rec;
            ASSERT_EQ(textfile_open(&rec, wide(path()).c_str(), u"r"), 1);
            textfile_init(&rec, rec.archive, code, LINE_END_NONE);
            std::vector<std::u16string> lines;
            std::vector<char16_t> buf(10000);
            while (textfile_gets(&rec, buf.data(), 10000)) lines.push_back(buf.data());
            std::vector<std::u16string> want = {std::u16string(static_cast<size_t>(pad), u'x') + u"ab?cd\n",
                                                u"ef\n"};
            EXPECT_EQ(lines, want) << "code " << code << " pad " << pad;
            EXPECT_EQ(textfile_replaced_count(&rec), 1) << "code " << code << " pad " << pad;
            textfile_destroy(&rec);
        }
    }
    int replaced = 0;
    TextFile rec;
    put(path(), Bytes("\0\0a\xA9\xA1", 5));
    ASSERT_EQ(textfile_open(&rec, wide(path()).c_str(), u"r"), 1);
    textfile_init(&rec, rec.archive, CHARCODE_EUC, LINE_END_NONE);
    char16_t buf[16];
    ASSERT_NE(textfile_gets(&rec, buf, 16), nullptr);
    EXPECT_EQ(std::u16string(buf), u"??a?");
    replaced = textfile_replaced_count(&rec);
    EXPECT_EQ(replaced, 3);
}

TEST_F(TextFileTest, CrBeforeAnEscapeAndLfStaysOneLineBreakAtEveryBlockEdge) {
    // In JIS the CR may come before an escape sequence or a shift and the LF
    // after it: when the raw block ends between them, the decoded block ends
    // in the CR and the LF comes with the next one.
    const struct {
        Bytes middle;
        std::u16string text;
    } cases[] = {{"\x1b$B0!\r\x1b(B\n", u"亜\r\n"}, {"\x0e\x31\r\x0f\n", u"ｱ\r\n"}, {"\r\x1b(J\n", u"\r\n"}};
    for (const auto& c : cases) {
        for (int edge : {4096, 8192, 65536}) {
            for (int pad = edge - 8; pad <= edge + 1; pad++) {
                put(path(), Bytes(static_cast<size_t>(pad), 'a') + c.middle + "z\r");
                TextFile rec;
                ASSERT_EQ(textfile_open(&rec, wide(path()).c_str(), u"r"), 1);
                textfile_init(&rec, rec.archive, CHARCODE_JIS, LINE_END_NONE);
                std::vector<std::u16string> lines;
                std::vector<char16_t> buf(70000);
                while (textfile_gets(&rec, buf.data(), 70000)) lines.push_back(buf.data());
                std::vector<std::u16string> want = {std::u16string(static_cast<size_t>(pad), u'a') + c.text,
                                                    u"z\r"};
                ASSERT_EQ(lines, want) << "pad " << pad;
                textfile_destroy(&rec);
            }
        }
    }
}

TEST_F(TextFileTest, EucAndJisWriteBackEveryCharacterTheirReadersDecode) {
    // Every pair of the 94 x 94 EUC area read, then each character it gives
    // written in EUC and JIS and read again: nothing comes back as '?'.
    Bytes pairs;
    for (int a = 0xA1; a <= 0xFE; a++)
        for (int b = 0xA1; b <= 0xFE; b++) pairs += {static_cast<char>(a), static_cast<char>(b)};
    std::u16string decoded = read(pairs, CHARCODE_EUC);
    ASSERT_EQ(decoded.size(), 94u * 94u);
    std::u16string chars;
    for (char16_t c : decoded)
        if (c != u'?') chars += c;
    EXPECT_GT(chars.size(), 7000u);
    for (CharCode code : {CHARCODE_EUC, CHARCODE_JIS}) {
        int replaced = -1;
        Bytes bytes = write(code, {chars.c_str()}, &replaced);
        EXPECT_EQ(replaced, 0) << "code " << code;
        EXPECT_TRUE(same(read(bytes, code), chars)) << "code " << code;
    }
    // Characters of common names among the IBM extensions.
    const std::u16string names = u"＂引用＂ ＇x＇ ⅰⅱ ￤ 髙 﨑";
    for (CharCode code : {CHARCODE_EUC, CHARCODE_JIS}) {
        int replaced = -1;
        Bytes bytes = write(code, {names.c_str()}, &replaced);
        EXPECT_EQ(replaced, 0) << "code " << code;
        EXPECT_EQ(read(bytes, code), names) << "code " << code;
    }
}

TEST_F(TextFileTest, EucIsWrittenAndReadAsTheEucCodePagesConvert) {
    // One rule for EUC-JP in the text files and in code pages 20932 and 51932:
    // every BMP character is written to the same bytes (a character either
    // refuses is '?' in both), and every pair reads as the same character.
    std::u16string all;
    for (unsigned u = 1; u < 0x10000; u++)
        if (u < 0xD800 || u > 0xDFFF) all += static_cast<char16_t>(u);
    int replaced = 0;
    Bytes ours = write(CHARCODE_EUC, {all.c_str()}, &replaced);
    EXPECT_GT(replaced, 0);
    for (UINT cp : {20932u, 51932u}) {
        size_t at = 0;
        for (char16_t u : all) {
            // Best fit is off, but for the two characters the text files keep.
            DWORD flags = cp932_kept_best_fit(u) ? 0 : WC_NO_BEST_FIT_CHARS;
            char bytes[4];
            BOOL used = FALSE;
            int n = WideCharToMultiByte(cp, flags, &u, 1, bytes, sizeof bytes, "?", &used);
            ASSERT_GT(n, 0);
            ASSERT_EQ(ours.compare(at, static_cast<size_t>(n), bytes, static_cast<size_t>(n)), 0)
                << "code page " << cp << " U+" << std::hex << static_cast<unsigned>(u);
            at += static_cast<size_t>(n);
        }
        EXPECT_EQ(at, ours.size());
    }

    Bytes pairs;
    for (int a = 0xA1; a <= 0xFE; a++)
        for (int b = 0xA1; b <= 0xFE; b++) pairs += {static_cast<char>(a), static_cast<char>(b)};
    for (int b = 0xA1; b <= 0xDF; b++) pairs += {'\x8E', static_cast<char>(b)};
    std::u16string decoded = read(pairs, CHARCODE_EUC);
    ASSERT_EQ(decoded.size() * 2, pairs.size());
    for (UINT cp : {20932u, 51932u}) {
        for (size_t i = 0; i < decoded.size(); i++) {
            char16_t w = 0;
            int n = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, pairs.data() + 2 * i, 2, &w, 1);
            ASSERT_EQ(n == 1 ? w : u'?', decoded[i]) << "code page " << cp << " bytes " << std::hex
                                                     << (static_cast<unsigned char>(pairs[2 * i]) << 8 |
                                                         static_cast<unsigned char>(pairs[2 * i + 1]));
        }
    }
    // The IBM extensions among them, by their NEC-selected codes.
    EXPECT_EQ(write(CHARCODE_EUC, {u"\u2170\u7E8A\u9AD9\uFA11"}), "\xFC\xF1\xF9\xA1\xFC\xE2\xF9\xF5");
    EXPECT_EQ(read("\xFC\xF1\xF9\xA1\xFC\xE2\xF9\xF5", CHARCODE_EUC), u"\u2170\u7E8A\u9AD9\uFA11");
}

TEST_F(TextFileTest, JisRowsOfTheIbmExtensionsAreWrittenAndReadAsTheJisCodePagesConvert) {
    // One rule for the NEC-selected IBM extensions (rows 89-92) in the JIS
    // text files and in code pages 50220-50222: every pair of those rows
    // reads as the same character, and every character they hold, or that
    // an IBM extension code of 932 holds, is written to the same bytes.
    const Bytes kanji = "\x1b$B", ascii = "\x1b(B";
    Bytes pairs;
    for (int a = 0x79; a <= 0x7C; a++)
        for (int b = 0x21; b <= 0x7E; b++) pairs += {static_cast<char>(a), static_cast<char>(b)};
    std::u16string decoded = read(kanji + pairs + ascii, CHARCODE_JIS);
    ASSERT_EQ(decoded.size() * 2, pairs.size());
    std::u16string chars;
    for (size_t i = 0; i < decoded.size(); i++) {
        Bytes one = kanji + pairs.substr(2 * i, 2) + ascii;
        for (UINT cp : {50220u, 50221u, 50222u}) {
            // These code pages take no flags; an undefined pair is U+30FB.
            char16_t w[4] = {};
            ASSERT_EQ(MultiByteToWideChar(cp, 0, one.data(), static_cast<int>(one.size()), w, 4), 1);
            ASSERT_EQ(w[0] == u'\u30FB' ? u'?' : w[0], decoded[i])
                << "code page " << cp << " bytes " << std::hex
                << (static_cast<unsigned char>(pairs[2 * i]) << 8 |
                    static_cast<unsigned char>(pairs[2 * i + 1]));
        }
        if (decoded[i] != u'?') chars += decoded[i];
    }
    EXPECT_EQ(chars.size(), 374u);
    for (int lead = 0xFA; lead <= 0xFC; lead++)
        for (int trail = 0x40; trail <= 0xFC; trail++) {
            const char sj[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            char16_t w = 0;
            if (MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, sj, 2, &w, 1) == 1) chars += w;
        }
    for (char16_t u : chars) {
        int replaced = -1;
        Bytes ours = write(CHARCODE_JIS, {std::u16string(1, u).c_str()}, &replaced);
        ASSERT_EQ(replaced, 0) << "U+" << std::hex << static_cast<unsigned>(u);
        ASSERT_EQ(read(ours, CHARCODE_JIS), std::u16string(1, u));
        for (UINT cp : {50220u, 50221u, 50222u}) {
            // The code pages end in ASCII; the text files only switch before ASCII.
            char bytes[16];
            int n = WideCharToMultiByte(cp, 0, &u, 1, bytes, sizeof bytes, nullptr, nullptr);
            ASSERT_EQ(Bytes(bytes, static_cast<size_t>(std::max(n, 0))), ours + ascii)
                << "code page " << cp << " U+" << std::hex << static_cast<unsigned>(u);
            char16_t back[4] = {};
            ASSERT_EQ(MultiByteToWideChar(cp, 0, ours.data(), static_cast<int>(ours.size()), back, 4), 1);
            ASSERT_EQ(back[0], u);
            ASSERT_EQ(read(Bytes(bytes, static_cast<size_t>(n)), CHARCODE_JIS), std::u16string(1, u));
        }
    }
    EXPECT_EQ(write(CHARCODE_JIS, {u"\u2170x"}), "\x1b$B|q\x1b(Jx");
}

TEST_F(TextFileTest, JisSavesReadBackUnchangedThroughDetection) {
    for (const char16_t* text : {u"plain ascii\r\n", u"ｱｲｳｴｵ", u"abcｱｲ\n", u"漢字", u"a亜b\r\nｶﾅ\r\nend"}) {
        Bytes bytes = write(CHARCODE_JIS, {text});
        put(path(), bytes);
        TextFile rec;
        ASSERT_EQ(textfile_open(&rec, wide(path()).c_str(), u"r"), 1);
        std::u16string all;
        while (const char16_t* b = textfile_read_block(&rec)) all += b;
        EXPECT_EQ(all, std::u16string(text));
        textfile_destroy(&rec);
    }
}

TEST_F(TextFileTest, ReadsLines) {
    put(path(), "one\r\ntwo\rthree\nlast");
    TextFile rec;
    ASSERT_EQ(textfile_open(&rec, wide(path()).c_str(), u"r"), 1);
    char16_t buf[64];
    std::vector<std::u16string> lines;
    while (textfile_gets(&rec, buf, 64)) lines.push_back(buf);
    EXPECT_EQ(lines, (std::vector<std::u16string>{u"one\r\n", u"two\r", u"three\n", u"last"}));
    EXPECT_EQ(textfile_gets(&rec, buf, 64), nullptr);
    textfile_destroy(&rec);

    // A 10,000-unit line through a 4096-unit buffer, with a pair at the cut.
    std::u16string line(4094, u'x');
    line += u"\U0001F600";
    line += std::u16string(10000 - line.size() - 2, u'y');
    line += u"\r\n";
    put(path(), utf8(line) + "next\r\n");
    ASSERT_EQ(textfile_open(&rec, wide(path()).c_str(), u"r"), 1);
    textfile_init(&rec, rec.archive, CHARCODE_UTF8_NOSIG, LINE_END_NONE);
    std::vector<char16_t> big(4096);
    std::vector<std::u16string> segments;
    while (textfile_gets(&rec, big.data(), 4096)) segments.push_back(big.data());
    ASSERT_EQ(segments.size(), 4u);
    EXPECT_TRUE(same(segments[0], std::u16string(4094, u'x'))); // the pair did not fit: it moves on whole
    EXPECT_EQ(segments[0].size() + segments[1].size() + segments[2].size(), line.size());
    EXPECT_TRUE(same(segments[0] + segments[1] + segments[2], line));
    EXPECT_EQ(segments[3], u"next\r\n");

    // CR LF is never split between segments.
    put(path(), "abcd\r\n");
    ASSERT_EQ(textfile_open(&rec, wide(path()).c_str(), u"r"), 1);
    char16_t small[6];
    ASSERT_NE(textfile_gets(&rec, small, 6), nullptr);
    EXPECT_EQ(std::u16string(small), u"abcd");
    ASSERT_NE(textfile_gets(&rec, small, 6), nullptr);
    EXPECT_EQ(std::u16string(small), u"\r\n");
    EXPECT_EQ(textfile_gets(&rec, small, 2), nullptr);
}

TEST_F(TextFileTest, WritesByteForByte) {
    int replaced = -1;
    EXPECT_EQ(write(CHARCODE_JIS, {u"ＡＢ"}), "\x1b$B#A#B");
    EXPECT_EQ(write(CHARCODE_JIS, {u"ＡＢ", u"C"}), "\x1b$B#A#B\x1b(JC");
    EXPECT_EQ(write(CHARCODE_JIS, {u"ｱ", u"A"}), "\x0e\x31\x0f\x41");
    EXPECT_EQ(write(CHARCODE_JIS, {u"亜ｱ"}), "\x1b$B0!\x1b(J\x0e\x31");
    EXPECT_EQ(write(CHARCODE_EUC, {u"あ"}), "\xA4\xA2");
    EXPECT_EQ(write(CHARCODE_EUC, {u"ｱ"}), "\x8E\xB1");
    EXPECT_EQ(write(CHARCODE_EUC, {u"\u2460"}), "\xAD\xA1");
    EXPECT_EQ(write(CHARCODE_JIS, {u"\u2460"}), "\x1b$B-!");
    // IBM extensions go by their NEC-selected codes; user-defined ones have none.
    EXPECT_EQ(write(CHARCODE_EUC, {u"髙ⅰ\uE000"}, &replaced), "\xFC\xE2\xFC\xF1?");
    EXPECT_EQ(replaced, 1);
    EXPECT_EQ(write(CHARCODE_JIS, {u"髙ⅰ\uE000"}, &replaced), "\x1b$B|b|q\x1b(J?");
    EXPECT_EQ(replaced, 1);
    // JIS starts in ASCII: an escape only where the set changes.
    EXPECT_EQ(write(CHARCODE_JIS, {u"abc"}), "abc");
    EXPECT_EQ(write(CHARCODE_JIS, {u"ｱｲ"}), "\x0e\x31\x32");
    EXPECT_EQ(write(CHARCODE_JIS, {u"a亜b"}), "a\x1b$B0!\x1b(Jb");
    EXPECT_EQ(write(CHARCODE_SJIS, {u"髙ⅰ\uE000"}, &replaced), "\xFB\xFC\xFA\x40\xF0\x40");
    EXPECT_EQ(replaced, 0);
    EXPECT_EQ(write(CHARCODE_SJIS, {u"a\U0001F600b"}, &replaced), "a?b");
    EXPECT_EQ(replaced, 1);
    EXPECT_EQ(write(CHARCODE_SJIS, {u"\u301C"}, &replaced), "\x81\x60");
    EXPECT_EQ(replaced, 0);
    EXPECT_EQ(write(CHARCODE_EUC, {u"한\U00020BB7"}, &replaced), "??");
    EXPECT_EQ(replaced, 2);

    EXPECT_EQ(write(CHARCODE_UNICODE, {u"a", u"b"}), Bytes("\xFF\xFE"
                                                           "a\0b\0",
                                                           6));
    EXPECT_EQ(write(CHARCODE_UTF16BE, {u"a", u"b"}), Bytes("\xFE\xFF\0a\0b", 6));
    EXPECT_EQ(write(CHARCODE_UNICODE_NOSIG, {u"a"}), Bytes("a\0", 2));
    EXPECT_EQ(write(CHARCODE_UTF8, {u"a", u"\U0001F600"}), "\xEF\xBB\xBF"
                                                           "a\xF0\x9F\x98\x80");
    EXPECT_EQ(write(CHARCODE_UTF8_NOSIG, {u"\xD800x"}, &replaced), "?x");
    EXPECT_EQ(replaced, 1);
    // The readers take a leading signature as one in the codes without it too,
    // so a text that begins with U+FEFF is written after a signature there
    // and reads back whole; elsewhere a U+FEFF is a character like another.
    EXPECT_EQ(write(CHARCODE_UNICODE_NOSIG, {u"", u"\uFEFFa"}), Bytes("\xFF\xFE\xFF\xFE"
                                                                      "a\0",
                                                                      6));
    EXPECT_EQ(write(CHARCODE_UTF16BE_NOSIG, {u"\uFEFF"}), Bytes("\xFE\xFF\xFE\xFF", 4));
    EXPECT_EQ(write(CHARCODE_UTF8_NOSIG, {u"\uFEFF"}), "\xEF\xBB\xBF\xEF\xBB\xBF");
    EXPECT_EQ(write(CHARCODE_UTF8_NOSIG, {u"a", u"\uFEFF"}), "a\xEF\xBB\xBF");
    EXPECT_EQ(write(CHARCODE_UNICODE, {u"\uFEFF"}), Bytes("\xFF\xFE\xFF\xFE", 4));
    for (CharCode code : {CHARCODE_UNICODE_NOSIG, CHARCODE_UTF16BE_NOSIG, CHARCODE_UTF8_NOSIG})
        EXPECT_EQ(read(write(code, {u"\uFEFF先頭"}), code), u"\uFEFF先頭") << "code " << code;

    TextFile rec;
    ASSERT_EQ(textfile_open(&rec, wide(path("w.txt")).c_str(), u"w"), 1);
    textfile_init(&rec, rec.archive, CHARCODE_SJIS, LINE_END_CRLF);
    textfile_write_csv_field(&rec, u"a\"b", 1);
    textfile_write(&rec, u",");
    textfile_write_csv_field(&rec, u"\"", 1);
    textfile_write(&rec, u",");
    textfile_write_csv_field(&rec, u"a\"b", 0);
    textfile_close(&rec);
    EXPECT_EQ(get(path("w.txt")), "\"a\"\"b\",\"\"\"\",a\"b");
}

TEST_F(TextFileTest, RoundTripsEveryCodeAndLineEnd) {
    const std::vector<std::u16string> lines = {u"ASCII \\ and ~ 123", u"かなカナ漢字ｱｲｳｶﾞ", u"①Ⅰ㈱～", u"",
                                               u"end"};
    const CharCode codes[] = {1, 2, 3, 5, 6, 7, 8, 10, 11};
    for (CharCode code : codes) {
        bool unicode = code >= CHARCODE_UNICODE;
        for (LineEndCode le : {LINE_END_CRLF, LINE_END_LF, LINE_END_CR}) {
            TextFile w;
            ASSERT_EQ(textfile_open(&w, wide(path()).c_str(), u"w"), 1);
            textfile_init(&w, w.archive, code, le);
            std::u16string expected;
            for (const std::u16string& l : lines) {
                std::u16string line = l;
                if (unicode && &l == &lines.back()) line += u"\U00020BB7";
                textfile_write(&w, line.c_str());
                textfile_write(&w, w.line_end_text);
                expected += line + w.line_end_text;
            }
            EXPECT_EQ(textfile_replaced_count(&w), 0);
            textfile_close(&w);

            TextFile r;
            ASSERT_EQ(textfile_open(&r, wide(path()).c_str(), u"r"), 1);
            textfile_init(&r, r.archive, code, LINE_END_NONE);
            EXPECT_EQ(textfile_detect_line_end(&r), le) << "code " << code;
            std::u16string got;
            char16_t buf[256];
            while (textfile_gets(&r, buf, 256)) got += buf;
            EXPECT_TRUE(same(got, expected)) << "code " << code << " line end " << le;
        }
    }
}

TEST_F(TextFileTest, GlibcReadsOurEucAndJis) {
    const std::u16string text = u"日本語のテキスト、ＡＢＣ。\r\nplain ASCII 123\r\n漢字かな交じり文\r\n";
    Bytes euc = write(CHARCODE_EUC, {text.c_str()});
    Bytes jis = write(CHARCODE_JIS, {text.c_str()});
    EXPECT_EQ(iconv_to_utf8("EUC-JP-MS", euc), utf8(text));
    EXPECT_EQ(iconv_to_utf8("ISO-2022-JP", jis), utf8(text));
}

TEST_F(TextFileTest, FileErrors) {
    TextFile rec;
    EXPECT_EQ(textfile_open(&rec, wide(path("missing.txt")).c_str(), u"r"), 0);
    EXPECT_EQ(textfile_read_block(&rec), nullptr);

    // A full disk comes out of the archive as an exception.
    CFile full;
    ASSERT_TRUE(full.Open(u"/dev/full", CFile::modeWrite));
    bool thrown = false;
    {
        CArchive ar(&full, CArchive::store);
        TextFile w;
        textfile_init(&w, &ar, CHARCODE_UTF8_NOSIG, LINE_END_CRLF);
        try {
            textfile_write(&w, u"some text");
            ar.Close();
        } catch (CException* e) {
            auto* fe = dynamic_cast<CFileException*>(e);
            ASSERT_NE(fe, nullptr);
            EXPECT_EQ(fe->m_cause, CFileException::diskFull);
            EXPECT_EQ(fe->m_lOsError, ENOSPC);
            EXPECT_EQ(fe->m_strFileName, CString(u"/dev/full"));
            thrown = true;
            e->Delete();
            ar.Abort();
        }
    }
    EXPECT_TRUE(thrown);

    // The same through textfile_open's own archive: the close reports it.
    TextFile own;
    ASSERT_EQ(textfile_open(&own, u"/dev/full", u"w"), 1);
    textfile_init(&own, own.archive, CHARCODE_SJIS, LINE_END_CRLF);
    textfile_write(&own, u"abc");
    thrown = false;
    try {
        textfile_close(&own);
    } catch (CException* e) {
        thrown = true;
        e->Delete();
    }
    EXPECT_TRUE(thrown);
    EXPECT_EQ(own.own_archive, nullptr);
}

TEST_F(TextFileTest, FileAndArchive) {
    put(path(), "0123456789");
    CFile f;
    CFileException error;
    EXPECT_FALSE(f.Open(wide(path("nope")).c_str(), CFile::modeRead, &error));
    EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
    EXPECT_FALSE(f.Open(wide(dir_).c_str(), CFile::modeRead, &error));
    EXPECT_EQ(error.m_cause, CFileException::accessDenied);

    // Backslashes separate like slashes.
    std::u16string back = wide(path());
    for (char16_t& c : back)
        if (c == u'/') c = u'\\';
    ASSERT_TRUE(f.Open(back.c_str(), CFile::modeRead | CFile::shareDenyNone));
    EXPECT_EQ(f.GetLength(), 10u);
    EXPECT_EQ(f.GetFilePath(), CString(back.c_str()));
    EXPECT_EQ(f.GetFileName(), CString(u"t.txt"));

    CArchive ar(&f, CArchive::load, 4);
    EXPECT_TRUE(ar.IsLoading());
    char buf[16] = {};
    EXPECT_EQ(ar.Read(buf, 3), 3u);
    EXPECT_EQ(std::string(buf, 3), "012");
    ar.Flush();
    EXPECT_EQ(f.GetPosition(), 3u); // the read-ahead is given back
    ar.GetFile()->SeekToBegin();
    EXPECT_EQ(ar.Read(buf, 16), 10u);
    EXPECT_EQ(std::string(buf, 10), "0123456789");
    EXPECT_EQ(ar.Read(buf, 16), 0u);
    ar.Close();
    f.Close();

    try {
        f.Read(buf, 1);
        ADD_FAILURE() << "reading a closed file";
    } catch (CException* e) {
        e->Delete();
    }

    CFile w;
    ASSERT_TRUE(w.Open(wide(path("new.bin")).c_str(), CFile::modeCreate | CFile::modeWrite));
    {
        CArchive store(&w, CArchive::store, 4);
        EXPECT_TRUE(store.IsStoring());
        store.Write("abcdefghij", 10);
        store.Write("k", 1);
        store.Close();
    }
    w.Close();
    EXPECT_EQ(get(path("new.bin")), "abcdefghijk");
    ASSERT_TRUE(
        w.Open(wide(path("new.bin")).c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite));
    EXPECT_EQ(w.SeekToEnd(), 11u);
    w.Write("!", 1);
    w.Close();
    EXPECT_EQ(get(path("new.bin")), "abcdefghijk!");
}

// A best-fit code would save another character than the text holds (U+00A2
// as 81 91, which reads back as U+FFE0): written as a counted "?", like a
// character without a code, in each Japanese code. The yen sign (5C) and the
// wave dash (81 60) keep their codes; the four Windows has no code for are
// replaced.
TEST_F(TextFileTest, BestFitCodesAreReplacementsButTheYenSignAndWaveDash) {
    for (CharCode code : {CHARCODE_SJIS, CHARCODE_EUC, CHARCODE_JIS}) {
        int replaced = -1;
        EXPECT_EQ(write(code, {u"caf\u00E9 \u00A2\u00A3\u00AC"}, &replaced), "caf? ???") << code;
        EXPECT_EQ(replaced, 4) << code;
        EXPECT_EQ(write(code, {u"\u2014\u2016\u203E\u2212"}, &replaced), "????") << code;
        EXPECT_EQ(replaced, 4) << code;
        EXPECT_EQ(write(code,
                        {u"\u00A5"
                         u"100"},
                        &replaced),
                  "\\100")
            << code;
        EXPECT_EQ(replaced, 0) << code;
    }
    int replaced = -1;
    EXPECT_EQ(write(CHARCODE_SJIS, {u"\uFFE0\u301C\uFF5E\u2015"}, &replaced),
              "\x81\x91\x81\x60\x81\x60\x81\x5C");
    EXPECT_EQ(replaced, 0);
    EXPECT_EQ(write(CHARCODE_EUC, {u"\uFFE0\u301C"}, &replaced), "\xA1\xF1\xA1\xC1");
    EXPECT_EQ(replaced, 0);
    EXPECT_EQ(write(CHARCODE_JIS, {u"\uFFE0\u301C"}, &replaced), "\x1b$B!q!A");
    EXPECT_EQ(replaced, 0);
}

TEST(Cp932Table, SingleCharacterConversions) {
    const Cp932Table& t = cp932_table();
    char16_t u = 0;
    const unsigned char a[] = {0x82, 0xA0}, undefined[] = {0x85, 0x40}, lone[] = {0x82}, kana[] = {0xB1};
    EXPECT_EQ(t.to_unit(a, 2, &u), 2);
    EXPECT_EQ(u, u'あ');
    EXPECT_EQ(t.to_unit(undefined, 2, &u), -1);
    EXPECT_EQ(t.to_unit(lone, 1, &u), -1);
    EXPECT_EQ(t.to_unit(kana, 1, &u), 1);
    EXPECT_EQ(u, u'ｱ');

    unsigned char out[2];
    EXPECT_EQ(t.from_unit(u'\u301C', out), 2); // the wave dash keeps its code
    EXPECT_EQ(out[0], 0x81);
    EXPECT_EQ(out[1], 0x60);
    EXPECT_EQ(t.from_unit(u'\u00A5', out), 1);
    EXPECT_EQ(out[0], 0x5C);
    EXPECT_EQ(t.from_unit(u'\u00A2', out), -1); // 81 91 reads back as U+FFE0
    EXPECT_EQ(t.from_unit(u'\u2212', out), -1);
    EXPECT_EQ(t.from_unit(u'A', out), 1);
    EXPECT_EQ(out[0], 'A');
    EXPECT_EQ(t.from_unit(0xD800, out), -1);
    EXPECT_EQ(t.from_unit(u'한', out), -1);
}

// Long texts, written whole and in pieces of every size: runs of ASCII of
// every length against the output buffer's edge, pairs and lone surrogates,
// characters without a code. Each code's bytes are those of the text
// converted as a whole, and the same as writing it a character at a time.
TEST_F(TextFileTest, WritesLongTextsAsCharacterByCharacter) {
    std::mt19937 rng(2718);
    const char16_t* mappable[] = {u"a",    u"Z", u"0", u" ", u"~",  u"\\",  u"あ",
                                  u"漢字", u"ｱ", u"ﾞ", u"①", u"～", u"\r\n"};
    const char16_t* other[] = {u"\U0001F600", u"\xD800", u"\xDC00", u"\uE000", u"한", u"\u00E9", u"\u0080"};
    for (int round = 0; round < 6; ++round) {
        std::u16string plain, mixed, unicode; // unicode: plain with characters beyond CP932
        while (plain.size() < 40000) {
            std::u16string piece;
            if (rng() % 3 == 0) {
                piece.assign(rng() % 70, u'a' + static_cast<char16_t>(rng() % 26)); // an ASCII run
            } else {
                piece = mappable[rng() % std::size(mappable)];
            }
            plain += piece;
            mixed += piece;
            unicode += piece;
            if (rng() % 7 == 0) unicode += rng() % 2 ? u"\u00E9\u0080" : u"\U0001F600\u07FF\u0800";
            if (rng() % 5 == 0) mixed += other[rng() % std::size(other)];
        }
        if (round % 2) plain.insert(0, 16383, u'x'); // the first run ends at the buffer's edge
        EXPECT_EQ(write(CHARCODE_SJIS, {plain.c_str()}), cp932(plain)) << round;
        EXPECT_EQ(write(CHARCODE_UTF8_NOSIG, {unicode.c_str()}), utf8(unicode)) << round;
        EXPECT_EQ(write(CHARCODE_UNICODE_NOSIG, {mixed.c_str()}), utf16(mixed, false)) << round;
        EXPECT_EQ(write(CHARCODE_UTF16BE_NOSIG, {mixed.c_str()}), utf16(mixed, true)) << round;
        // the characters one by one (a pair as one), and pieces of any size
        std::vector<std::u16string> chars, pieces;
        for (size_t i = 0; i < mixed.size();) {
            size_t n = utf16_is_high_surrogate(mixed[i]) && i + 1 < mixed.size() &&
                               utf16_is_low_surrogate(mixed[i + 1])
                           ? 2
                           : 1;
            chars.push_back(mixed.substr(i, n));
            i += n;
        }
        for (size_t i = 0; i < chars.size();) {
            std::u16string p;
            for (size_t k = rng() % 300; k > 0 && i < chars.size(); --k) p += chars[i++];
            if (!p.empty()) pieces.push_back(p);
        }
        for (CharCode code : {CHARCODE_SJIS, CHARCODE_EUC, CHARCODE_JIS, CHARCODE_UTF8_NOSIG,
                              CHARCODE_UNICODE_NOSIG, CHARCODE_UTF16BE_NOSIG}) {
            auto write_all = [&](const std::vector<std::u16string>& parts, int* replaced) {
                TextFile rec;
                EXPECT_EQ(textfile_open(&rec, wide(path("w.txt")).c_str(), u"w"), 1);
                textfile_init(&rec, rec.archive, code, LINE_END_CRLF);
                for (const std::u16string& p : parts) textfile_write(&rec, p.c_str());
                *replaced = textfile_replaced_count(&rec);
                textfile_close(&rec);
                return get(path("w.txt"));
            };
            int whole_replaced = -1, one_replaced = -2, piece_replaced = -3;
            Bytes whole = write_all({mixed}, &whole_replaced);
            Bytes one = write_all(chars, &one_replaced);
            Bytes piece = write_all(pieces, &piece_replaced);
            EXPECT_TRUE(whole == one) << "code " << code << " round " << round;
            EXPECT_TRUE(whole == piece) << "code " << code << " round " << round;
            EXPECT_EQ(whole_replaced, one_replaced) << "code " << code;
            EXPECT_EQ(whole_replaced, piece_replaced) << "code " << code;
            if (code != CHARCODE_UNICODE_NOSIG && code != CHARCODE_UTF16BE_NOSIG) {
                EXPECT_GT(whole_replaced, 0) << "code " << code;
            }
        }
    }
}

// UTF-8 read block by block: runs of ASCII of every length with NUL bytes
// and CR LF among them, three-byte characters whole, cut by a block's end,
// or malformed (a surrogate's form, an overlong form, a missing
// continuation), each bad byte read as one replacement.
TEST_F(TextFileTest, ReadsUtf8RunsAndMalformedSequences) {
    std::mt19937 rng(1414);
    struct Piece {
        Bytes bytes;
        std::u16string text;
    };
    const Piece pieces[] = {
        {"\xE3\x81\x82", u"あ"},           {"\xEF\xBD\xB1", u"ｱ"},   {"\xC3\xA9", u"é"},
        {"\xF0\x9F\x98\x80", u"😀"},        {Bytes("\0", 1), u"?"},   {"\r\n", u"\r\n"},
        {"\xED\xA0\x80", u"???"},          {"\xE0\x80\x80", u"???"}, {"\xE3\x81z", u"??z"},
        {"\xE3\x81\xE3\x81\x82", u"??あ"}, {"\x80", u"?"},           {"\xEF\xBF\xBF", u"\uFFFF"},
    };
    for (int round = 0; round < 20; ++round) {
        Bytes file;
        std::u16string want;
        while (file.size() < 20000) {
            if (rng() % 2) {
                size_t n = rng() % 40;
                file.append(n, static_cast<char>('a' + rng() % 26));
                want.append(n, static_cast<char16_t>(file.back()));
                if (n) want.back() = static_cast<char16_t>(static_cast<unsigned char>(file.back()));
            } else {
                const Piece& p = pieces[rng() % std::size(pieces)];
                file += p.bytes;
                want += p.text;
            }
        }
        ASSERT_TRUE(same(read(file, CHARCODE_UTF8_NOSIG), want)) << "round " << round;
    }
}
