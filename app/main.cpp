// Console demo of the text foundation; the editor application replaces it.
#include <cstdio>
#include <string>
#include <vector>

#include <afx.h>

#include "base/utf16.h"
#include "base/width.h"

namespace {

// Kana, half-width katakana with a voiced mark, a full-width letter, a wave
// dash and a character outside the BMP (a surrogate pair).
const char16_t kSample[] = u"ひらがなとカタカナ、ﾊﾝｶｸｶﾞﾅ、Ａ〜𠮷";

void printLine(const CString& label, const CString& value) {
    CString line;
    line.Format(u"%-12s %s", label, value);
    std::printf("%s\n", WideToUtf8(line).c_str());
}

int countCodePoints(const char16_t* s) {
    int count = 0;
    for (int units = 0; *s; s += units, ++count) utf16_decode(s, &units);
    return count;
}

CString hexBytes(const std::string& bytes) {
    CString out;
    for (unsigned char b : bytes) out.AppendFormat(out.IsEmpty() ? u"%02X" : u" %02X", static_cast<int>(b));
    return out;
}

} // namespace

int main() {
    std::vector<char16_t> buf(2 * wcslen(kSample) + 1);

    std::printf("tavrelix: text foundation demo\n");
    printLine(u"text", kSample);
    CString count;
    count.Format(u"%d (%d UTF-16 units)", countCodePoints(kSample), static_cast<int>(wcslen(kSample)));
    printLine(u"code points", count);
    width_to_hankaku(kSample, buf.data(), 1, 1);
    printLine(u"half-width", buf.data());
    width_to_zenkaku(kSample, buf.data(), 1, 1);
    printLine(u"full-width", buf.data());

    BOOL usedDefault = FALSE;
    int n = WideCharToMultiByte(CP_ACP, 0, kSample, -1, nullptr, 0, nullptr, &usedDefault);
    std::string sjis(static_cast<size_t>(n > 0 ? n : 0), '\0');
    WideCharToMultiByte(CP_ACP, 0, kSample, -1, sjis.data(), n, nullptr, &usedDefault);
    if (!sjis.empty()) sjis.pop_back(); // the terminator
    printLine(u"CP932", hexBytes(sjis));

    CString back;
    int m = MultiByteToWideChar(CP_ACP, 0, sjis.data(), static_cast<int>(sjis.size()), nullptr, 0);
    if (m > 0) {
        MultiByteToWideChar(CP_ACP, 0, sjis.data(), static_cast<int>(sjis.size()), back.GetBuffer(m), m);
        back.ReleaseBuffer(m);
    }
    printLine(u"round trip", back);
    CString verdict;
    if (back == kSample)
        verdict = u"identical";
    else
        verdict.Format(u"differs%s", usedDefault ? u" (characters outside CP932 became \"?\")" : u"");
    printLine(u"", verdict);
    return 0;
}
