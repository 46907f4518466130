#include <iconv.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

namespace {

std::u16string toWide(UINT cp, const std::string& bytes, DWORD flags = 0) {
    int n = MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::u16string out(static_cast<size_t>(n), u'\0');
    if (n > 0) {
        int got = MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
        EXPECT_EQ(got, n);
    }
    return out;
}

std::string toBytes(UINT cp, const std::u16string& text, BOOL* used = nullptr, const char* def = nullptr,
                    DWORD flags = 0) {
    int n = WideCharToMultiByte(cp, flags, text.data(), static_cast<int>(text.size()), nullptr, 0, def, used);
    std::string out(static_cast<size_t>(n), '\0');
    if (n > 0) {
        int got = WideCharToMultiByte(cp, flags, text.data(), static_cast<int>(text.size()), out.data(), n,
                                      def, used);
        EXPECT_EQ(got, n);
    }
    return out;
}

std::string hex(const std::string& s) {
    std::string out;
    char buf[4];
    for (unsigned char c : s) {
        snprintf(buf, sizeof buf, "%02X", c);
        if (!out.empty()) out += ' ';
        out += buf;
    }
    return out;
}

// glibc iconv with one reused descriptor; an empty result means "no conversion".
class Iconv {
public:
    Iconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Iconv() { iconv_close(m_cd); }
    bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    std::string run(const std::string& in) {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char out[16];
        char* ip = const_cast<char*>(in.data());
        size_t il = in.size();
        char* op = out;
        size_t ol = sizeof out;
        if (iconv(m_cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0) return {};
        return std::string(out, sizeof out - ol);
    }

private:
    iconv_t m_cd;
};

std::string utf16le(char16_t c) {
    return std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
}

bool isLead(int b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

} // namespace

TEST(Cp932, TableAgreesWithGlibc) {
    Iconv dec("UTF-16LE", "CP932");
    Iconv enc("CP932", "UTF-16LE");
    ASSERT_TRUE(dec.ok() && enc.ok());
    int pairs = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!isLead(lead)) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
            std::string ref = dec.run(bytes);
            char16_t out[4];
            int n = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), 2, out, 4);
            if (ref.empty()) {
                EXPECT_EQ(n, 0) << hex(bytes);
            } else {
                ASSERT_EQ(n, 1) << hex(bytes);
                EXPECT_EQ(utf16le(out[0]), ref) << hex(bytes);
                ++pairs;
            }
        }
    }
    EXPECT_GT(pairs, 9000);
    // Encoding, over the whole BMP. The single bytes 80, A0 and FD-FF are
    // Windows' own and unknown to glibc; glibc also maps four characters that
    // Windows writes as the default character.
    for (uint32_t c = 1; c < 0x10000; ++c) {
        if ((c >= 0xD800 && c <= 0xDFFF) || c == 0x80 || (c >= 0xF8F0 && c <= 0xF8F3)) continue;
        std::string ref = enc.run(utf16le(static_cast<char16_t>(c)));
        if (c == 0x2014 || c == 0x2016 || c == 0x203E || c == 0x2212) ref.clear();
        char16_t in = static_cast<char16_t>(c);
        char out[4];
        BOOL used = FALSE;
        int n = WideCharToMultiByte(932, 0, &in, 1, out, 4, nullptr, &used);
        ASSERT_GT(n, 0);
        if (ref.empty()) {
            EXPECT_TRUE(used) << std::hex << c;
            EXPECT_EQ(std::string(out, static_cast<size_t>(n)), "?");
        } else {
            EXPECT_FALSE(used) << std::hex << c;
            EXPECT_EQ(hex(std::string(out, static_cast<size_t>(n))), hex(ref)) << std::hex << c;
        }
    }
}

TEST(Cp932, EveryCodeRoundTripsExceptDuplicates) {
    int duplicates = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!isLead(lead)) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
            std::u16string w = toWide(932, bytes, MB_ERR_INVALID_CHARS);
            if (w.empty()) continue;
            std::string back = toBytes(932, w);
            if (back == bytes) continue;
            // A duplicate: the character's chosen code decodes to it too.
            ++duplicates;
            EXPECT_EQ(toWide(932, back), w) << hex(bytes);
            EXPECT_TRUE(lead == 0x81 || lead == 0x87 || lead == 0xED || lead == 0xEE || lead >= 0xFA)
                << hex(bytes);
        }
    }
    EXPECT_GT(duplicates, 300);
    for (int b = 0; b < 0x100; ++b) {
        if (isLead(b)) continue;
        std::string one(1, static_cast<char>(b));
        EXPECT_EQ(toBytes(932, toWide(932, one, MB_ERR_INVALID_CHARS)), one) << b;
    }
}

TEST(Cp932, WindowsPoints) {
    struct {
        std::string bytes;
        char16_t ch;
    } both[] = {
        {"\x81\x60", 0xFF5E}, {"\x81\x61", 0x2225}, {"\x81\x5F", 0xFF3C}, {"\x81\x7C", 0xFF0D},
        {"\x5C", 0x5C},       {"\x7E", 0x7E},       {"\xF0\x40", 0xE000}, {"\xF9\xFC", 0xE757},
        {"\x87\x54", 0x2160}, {"\xFA\x40", 0x2170}, {"\xFA\x5C", 0x7E8A}, {"\xB1", 0xFF71},
    };
    for (const auto& p : both) {
        EXPECT_EQ(toWide(932, p.bytes), std::u16string(1, p.ch)) << hex(p.bytes);
        EXPECT_EQ(hex(toBytes(932, std::u16string(1, p.ch))), hex(p.bytes)) << std::hex << int(p.ch);
    }
    struct {
        char16_t ch;
        std::string bytes;
    } oneWay[] = {
        {0x301C, "\x81\x60"}, {0x00A5, "\x5C"},     {0x00A2, "\x81\x91"}, {0x00A3, "\x81\x92"},
        {0x00AC, "\x81\xCA"}, {0x2252, "\x81\xE0"}, {0x2235, "\x81\xE6"}, {0xFFE2, "\x81\xCA"},
    };
    for (const auto& p : oneWay) {
        BOOL used = TRUE;
        EXPECT_EQ(hex(toBytes(932, std::u16string(1, p.ch), &used)), hex(p.bytes)) << std::hex << int(p.ch);
        EXPECT_FALSE(used) << "a best-fit mapping is not a default character";
    }
    // Windows has no code for these (glibc maps them to 81 5C, 81 61, 7E and
    // 81 7C, which read back as other characters).
    for (char16_t ch : {u'\u2014', u'\u2016', u'\u203E', u'\u2212'}) {
        BOOL used = FALSE;
        EXPECT_EQ(toBytes(932, std::u16string(1, ch), &used), "?") << std::hex << int(ch);
        EXPECT_TRUE(used) << std::hex << int(ch);
        used = FALSE;
        const char16_t text[] = {u'a', ch, u'b', 0};
        EXPECT_EQ(toBytes(932, text, &used, "*"), "a*b") << std::hex << int(ch);
        EXPECT_TRUE(used);
    }
    // Duplicates decode to one character.
    EXPECT_EQ(toWide(932, "\x87\x90"), u"\u2252");
    EXPECT_EQ(toWide(932, "\xED\x40"), u"\u7E8A");
    EXPECT_EQ(toWide(932, "\xEE\xEF"), u"\u2170");
    EXPECT_EQ(toWide(932, "\xFA\x4A"), u"\u2160");
    // Without best fit, the one-way mappings become default characters.
    BOOL used = FALSE;
    EXPECT_EQ(toBytes(932, u"\u301C\uFF5E", &used, nullptr, WC_NO_BEST_FIT_CHARS), "?\x81\x60");
    EXPECT_TRUE(used);
    used = FALSE;
    EXPECT_EQ(toBytes(932, u"\u00A2\u00A5\uFFE0\\", &used, nullptr, WC_NO_BEST_FIT_CHARS), "??\x81\x91\\");
    EXPECT_TRUE(used);
}

TEST(Cp932, DefaultCharacters) {
    BOOL used = FALSE;
    EXPECT_EQ(toBytes(932, u"a\U0001F600b", &used), "a?b");
    EXPECT_TRUE(used);
    used = TRUE;
    EXPECT_EQ(toBytes(932, u"\u301C", &used), "\x81\x60");
    EXPECT_FALSE(used);
    // One default character per character: hangul, a pair outside the BMP, a
    // lone surrogate of either kind.
    std::u16string text = u"\uAC00\U00020BB7";
    text += char16_t(0xD800);
    text += u'x';
    text += char16_t(0xDC00);
    EXPECT_EQ(toBytes(932, text, &used), "???x?");
    EXPECT_TRUE(used);
    EXPECT_EQ(toBytes(932, u"\uAC00", nullptr, "*"), "*");
    EXPECT_EQ(toBytes(932, u"\uAC00", nullptr, "\x81\x45"), "\x81\x45");
    EXPECT_EQ(toBytes(CP_ACP, u"\u3042\uFF71"), "\x82\xA0\xB1");
}

TEST(Cp932, MalformedInput) {
    // Non-strict: U+30FB for the bad lead byte, and the next byte is kept.
    EXPECT_EQ(toWide(932, std::string("\x81\x20", 2)), u"\u30FB ");
    EXPECT_EQ(toWide(932, std::string("a\x81", 2)), u"a\u30FB");
    EXPECT_EQ(toWide(932, std::string("\x85\x40", 2)), u"\u30FB@");
    EXPECT_EQ(toWide(932, std::string("\x81\x0A\x22", 3)), u"\u30FB\n\"");
    char16_t buf[8];
    EXPECT_EQ(MultiByteToWideChar(932, 0, "\x81", -1, buf, 8), 2); // the terminator survives
    EXPECT_EQ(buf[0], 0x30FB);
    EXPECT_EQ(buf[1], 0);
    EXPECT_EQ(toWide(932, "\x80\xA0\xFD\xFE\xFF"), u"\u0080\uF8F0\uF8F1\uF8F2\uF8F3");
    // Strict: the call fails.
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, "\x81\x20", 2, buf, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, "\x81", 1, nullptr, 0), 0);
    EXPECT_EQ(MultiByteToWideChar(932, MB_ERR_INVALID_CHARS | MB_PRECOMPOSED, "\x82\xA0", 2, buf, 8), 1);
}

TEST(Converters, CallContract) {
    char16_t w[8];
    char b[8];
    // Size queries and -1 lengths, which count the terminator.
    EXPECT_EQ(MultiByteToWideChar(932, 0, "\x82\xA0z", -1, nullptr, 0), 3);
    EXPECT_EQ(MultiByteToWideChar(932, 0, "\x82\xA0z", -1, w, 8), 3);
    EXPECT_EQ(std::u16string(w), u"\u3042z");
    EXPECT_EQ(WideCharToMultiByte(932, 0, u"\u3042z", -1, nullptr, 0, nullptr, nullptr), 4);
    EXPECT_EQ(WideCharToMultiByte(932, 0, u"\u3042z", -1, b, 8, nullptr, nullptr), 4);
    EXPECT_STREQ(b, "\x82\xA0z");
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u3042", -1, nullptr, 0, nullptr, nullptr), 4);
    // A buffer one unit short.
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(932, 0, "\x82\xA0z", -1, w, 2), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(932, 0, u"\u3042z", -1, b, 3, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u3042", 1, b, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    // Bad parameters, code pages and flags.
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "a", 1, w, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(MultiByteToWideChar(932, 0, "a", 0, w, 8), 0);
    EXPECT_EQ(MultiByteToWideChar(932, 0, nullptr, 1, w, 8), 0);
    EXPECT_EQ(MultiByteToWideChar(932, 0, "a", 1, nullptr, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(932, 0x4, "a", 1, w, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_NO_BEST_FIT_CHARS, u"a", 1, b, 8, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
    SetLastError(0);
    BOOL used;
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, b, 8, nullptr, &used), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, b, 8, "?", nullptr), 0);
    EXPECT_EQ(GetACP(), 932u);
    EXPECT_TRUE(IsDBCSLeadByte(0x81));
    EXPECT_TRUE(IsDBCSLeadByte(0xFC));
    EXPECT_FALSE(IsDBCSLeadByte(0xA0));
    EXPECT_FALSE(IsDBCSLeadByte(0xFD));
}

TEST(Utf8, InvalidSequencesAndSurrogates) {
    EXPECT_EQ(toWide(CP_UTF8, "\xC0\xAF"), u"\uFFFD\uFFFD");
    EXPECT_EQ(toWide(CP_UTF8, "\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(toWide(CP_UTF8, "\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(toWide(CP_UTF8, "a\xE3\x81"), u"a\uFFFD"); // truncated: one maximal subsequence
    EXPECT_EQ(toWide(CP_UTF8, "\xE3\x81z"), u"\uFFFDz");
    EXPECT_EQ(toWide(CP_UTF8, "\xF0\x9F\x98\x80"), u"\U0001F600");
    char16_t w[8];
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xC0\xAF", 2, w, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));

    std::u16string lone(1, char16_t(0xD800));
    EXPECT_EQ(toBytes(CP_UTF8, lone), "\xEF\xBF\xBD");
    EXPECT_EQ(toBytes(CP_UTF8, lone + u"a"), "\xEF\xBF\xBD"
                                             "a");
    char b[8];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone.data(), 1, b, 8, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
}

TEST(Utf8, AgreesWithGlibc) {
    Iconv enc("UTF-8", "UTF-16LE");
    ASSERT_TRUE(enc.ok());
    std::vector<uint32_t> points;
    for (uint32_t c = 1; c < 0x10000; ++c)
        if (c < 0xD800 || c > 0xDFFF) points.push_back(c);
    for (uint32_t c = 0x10000; c <= 0x10FFFF; c += 0x3FF) points.push_back(c);
    points.push_back(0x10FFFF);
    for (uint32_t c : points) {
        std::u16string w;
        if (c < 0x10000) {
            w = std::u16string(1, static_cast<char16_t>(c));
        } else {
            w += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            w += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
        std::string in;
        for (char16_t u : w) in += utf16le(u);
        std::string ref = enc.run(in);
        std::string got = toBytes(CP_UTF8, w);
        ASSERT_EQ(got, ref) << std::hex << c;
        ASSERT_EQ(toWide(CP_UTF8, got, MB_ERR_INVALID_CHARS), w) << std::hex << c;
    }
}

TEST(EucJp, RowsKanaAndDefaults) {
    EXPECT_EQ(hex(toBytes(20932, u"a\u3042\uFF71\u2460\u4E9C")), "61 A4 A2 8E B1 AD A1 B0 A1");
    EXPECT_EQ(toWide(51932, "a\xA4\xA2\x8E\xB1\xAD\xA1\xB0\xA1"), u"a\u3042\uFF71\u2460\u4E9C");
    BOOL used = FALSE;
    // JIS X 0212, the user-defined area and rows 85-88 and 93-94 are not carried.
    EXPECT_EQ(toWide(20932, "\x8F\xB0\xA1x"), u"\u30FBx");
    EXPECT_EQ(toWide(51932, "\xF5\xA1\xF8\xFE\xFD\xA1\xFE\xFE"), u"\u30FB\u30FB\u30FB\u30FB");
    EXPECT_EQ(toBytes(20932, u"\uE000\uE757", &used), "??");
    EXPECT_TRUE(used);
    // Every code of rows 1-84 of the table, and of the NEC-selected and IBM
    // extension rows, round-trips through EUC-JP.
    for (int lead : {0x81, 0x82, 0x87, 0x88, 0x9F, 0xE0, 0xEA, 0xED, 0xEE, 0xFA, 0xFB, 0xFC}) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            std::string sj{static_cast<char>(lead), static_cast<char>(trail)};
            std::u16string w = toWide(932, sj, MB_ERR_INVALID_CHARS);
            if (w.empty() || toBytes(932, w) != sj) continue;
            EXPECT_EQ(toWide(20932, toBytes(20932, w), MB_ERR_INVALID_CHARS), w) << hex(sj);
        }
    }
}

TEST(EucJp, IbmExtensionsGoByTheirNecSelectedCodes) {
    // Rows 89-92 hold the NEC-selected IBM extensions; the IBM extension
    // characters are written there, in either code page and with or without
    // best fit, and read back unchanged.
    const std::u16string text = u"\u2170\u2179\u7E8A\u9ED1\uFFE4\uFF07\uFF02\u9AD9\uFA11";
    const std::string euc = "\xFC\xF1\xFC\xFA\xF9\xA1\xFC\xEE\xFC\xFC\xFC\xFD\xFC\xFE\xFC\xE2\xF9\xF5";
    for (UINT cp : {20932u, 51932u}) {
        for (DWORD flags : {0ul, static_cast<unsigned long>(WC_NO_BEST_FIT_CHARS)}) {
            BOOL used = TRUE;
            EXPECT_EQ(hex(toBytes(cp, text, &used, nullptr, flags)), hex(euc)) << cp;
            EXPECT_FALSE(used);
        }
        EXPECT_EQ(toWide(cp, euc, MB_ERR_INVALID_CHARS), text) << cp;
        // The same characters by their 932 codes: IBM and NEC-selected.
        EXPECT_EQ(toWide(cp, toBytes(cp, toWide(932, "\xFA\x40\xEE\xEF\xFA\x5C\xED\x40"))),
                  u"\u2170\u2170\u7E8A\u7E8A");
    }
    // IBM extensions that also have an NEC row 13 or a JIS X 0208 code go
    // by that code.
    EXPECT_EQ(hex(toBytes(51932, toWide(932, "\xFA\x4A\xFA\x54\xFA\x58\xFA\x5B"))),
              "AD B5 A2 CC AD EA A2 E8");
}

TEST(Iso2022Jp, EscapesAndKatakana) {
    EXPECT_EQ(toBytes(50220, u"\uFF21\uFF22"), "\x1B$B#A#B\x1B(B");
    EXPECT_EQ(toBytes(50220, u"\uFF21a"), "\x1B$B#A\x1B(Ba");
    EXPECT_EQ(toBytes(50220, u"\uFF71"), "\x1B$B%\"\x1B(B");
    EXPECT_EQ(toBytes(50221, u"\uFF71a"), "\x1B(I1\x1B(Ba");
    EXPECT_EQ(toBytes(50222, u"\uFF71a"), "\x0E"
                                          "1\x0F"
                                          "a");
    EXPECT_EQ(toBytes(50222, u"\u3042\uFF71"), "\x1B$B$\"\x1B(B\x0E"
                                               "1\x0F");
    EXPECT_EQ(toBytes(50220, u"\uAC00"), "?");
    EXPECT_EQ(toWide(50220, "\x1B$B#A#B\x1B(Ba"), u"\uFF21\uFF22a");
    EXPECT_EQ(toWide(50221, "\x1B(I1\x1B(Ba"), u"\uFF71a");
    EXPECT_EQ(toWide(50222, "\x0E"
                            "1\x0F"
                            "a"),
              u"\uFF71a");
    EXPECT_EQ(toWide(50222, "\x1B$@$\"\x1B(J\\"), u"\u3042\\");
    EXPECT_EQ(toWide(50220, "\x1B$B#\n"), u"\u30FB\n");
    char16_t w[4];
    EXPECT_EQ(MultiByteToWideChar(50220, MB_ERR_INVALID_CHARS, "a", 1, w, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
}
