#include "base/width.h"

#include "base/utf16.h"

namespace {

// Half-width katakana U+FF61..U+FF9F and their full-width partners, in order.
const char16_t kFullKana[] =
    u"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホ"
    u"マミムメモヤユヨラリルレロワン゛゜";
constexpr int kKanaCount = 63;
static_assert(sizeof(kFullKana) / sizeof(kFullKana[0]) == kKanaCount + 1, "63 kana");

const char16_t kVoicedBase[] = u"ｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾊﾋﾌﾍﾎ";
const char16_t kVoicedFull[] = u"ガギグゲゴザジズゼゾダヂヅデドバビブベボ";
constexpr int kVoicedCount = 20;
static_assert(sizeof(kVoicedBase) / sizeof(char16_t) == kVoicedCount + 1, "20 voiced bases");
static_assert(sizeof(kVoicedFull) / sizeof(char16_t) == kVoicedCount + 1, "20 voiced kana");

const char16_t kSemiBase[] = u"ﾊﾋﾌﾍﾎ";
const char16_t kSemiFull[] = u"パピプペポ";
constexpr int kSemiCount = 5;

const char16_t kSymbolFull[] = u"　￥￣”’‘";
const char16_t kSymbolHalf[] = u" \\~\"'`";
constexpr int kSymbolCount = 6;

constexpr char16_t kVoicedMark = 0xFF9E;
constexpr char16_t kSemiVoicedMark = 0xFF9F;

int find(const char16_t* table, int count, uint32_t c) {
    for (int i = 0; i < count; i++)
        if (table[i] == c) return i;
    return -1;
}

} // namespace

int width_to_zenkaku(const char16_t* src, char16_t* dst, int ascii, int kana) {
    int changed = 0;
    int units;
    const char16_t* p = src;
    char16_t* out = dst;
    while (*p) {
        uint32_t c = utf16_decode(p, &units);
        if (ascii && c >= 0x20 && c <= 0x7E) {
            if (c == u' ')
                *out++ = 0x3000;
            else if (c == u'\\')
                *out++ = 0xFFE5;
            else if (c == u'~')
                *out++ = 0xFFE3;
            else
                *out++ = static_cast<char16_t>(c + 0xFEE0);
            changed = 1;
            p++;
            continue;
        }
        if (kana && c >= 0xFF61 && c <= 0xFF9F) {
            int i;
            if (p[1] == kVoicedMark && (i = find(kVoicedBase, kVoicedCount, c)) >= 0) {
                *out++ = kVoicedFull[i];
                p += 2;
            } else if (p[1] == kSemiVoicedMark && (i = find(kSemiBase, kSemiCount, c)) >= 0) {
                *out++ = kSemiFull[i];
                p += 2;
            } else {
                *out++ = kFullKana[c - 0xFF61];
                p++;
            }
            changed = 1;
            continue;
        }
        for (int i = 0; i < units; i++) *out++ = p[i];
        p += units;
    }
    *out = 0;
    return changed;
}

int width_to_hankaku(const char16_t* src, char16_t* dst, int ascii, int kana) {
    int changed = 0;
    int units;
    const char16_t* p = src;
    char16_t* out = dst;
    while (*p) {
        uint32_t c = utf16_decode(p, &units);
        int i;
        if (ascii) {
            if (c >= 0xFF01 && c <= 0xFF5D) {
                *out++ = static_cast<char16_t>(c - 0xFEE0);
                changed = 1;
                p++;
                continue;
            }
            if ((i = find(kSymbolFull, kSymbolCount, c)) >= 0) {
                *out++ = kSymbolHalf[i];
                changed = 1;
                p++;
                continue;
            }
        }
        if (kana) {
            if ((i = find(kFullKana, kKanaCount, c)) >= 0) {
                *out++ = static_cast<char16_t>(0xFF61 + i);
                changed = 1;
                p++;
                continue;
            }
            if ((i = find(kVoicedFull, kVoicedCount, c)) >= 0) {
                *out++ = kVoicedBase[i];
                *out++ = kVoicedMark;
                changed = 1;
                p++;
                continue;
            }
            if ((i = find(kSemiFull, kSemiCount, c)) >= 0) {
                *out++ = kSemiBase[i];
                *out++ = kSemiVoicedMark;
                changed = 1;
                p++;
                continue;
            }
        }
        for (int k = 0; k < units; k++) *out++ = p[k];
        p += units;
    }
    *out = 0;
    return changed;
}
