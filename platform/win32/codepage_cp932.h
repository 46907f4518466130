// CP932 (Microsoft's Shift_JIS) tables shared by the Japanese converters.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cp932 {

// Lead bytes 81-9F and E0-FC; trail bytes 40-FC.
constexpr int kLeadCount = 60;
constexpr int kTrailCount = 0xFD - 0x40;

inline bool isLead(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
inline bool isTrail(uint8_t b) {
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}
inline int leadIndex(uint8_t b) {
    return b <= 0x9F ? b - 0x81 : b - 0xE0 + 0x1F;
}

// Character of a two-byte code, 0 when undefined.
extern const uint16_t kDoubleByte[kLeadCount][kTrailCount];

// Characters not encoded as the lowest code that decodes to them: best-fit
// mappings (U+301C -> 81 60) and Windows' choice among duplicates
// (U+7E8A -> FA 5C rather than ED 40).
struct EncodeException {
    uint16_t ch;
    uint16_t code; // one byte below 0x100
};
extern const EncodeException kEncodeExceptions[];
extern const size_t kEncodeExceptionCount;

// Code for a character: a byte below 0x100, a lead/trail pair above, or 0
// when the character has none (U+0000 is handled by the caller).
uint16_t encode(uint16_t ch);
// True when encode(ch) is a best-fit mapping (it does not decode back to ch).
bool isBestFit(uint16_t ch);
// Character of a byte outside the two-byte range; -1 for a lead byte or an
// undefined byte.
int decodeSingle(uint8_t b);
// The NEC-selected code (ED40-EEFC) of the character of an IBM extension
// code (FA40-FC4B); 0 for any other code, or when the character has none.
uint16_t necSelected(uint16_t code);
inline uint16_t decodePair(uint8_t lead, uint8_t trail) {
    return isTrail(trail) ? kDoubleByte[leadIndex(lead)][trail - 0x40] : 0;
}

} // namespace cp932
