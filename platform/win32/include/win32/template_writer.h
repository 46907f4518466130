// Dialog templates written in Windows' binary layout (DLGTEMPLATE or
// DLGTEMPLATEEX and their items), for the resource compiler and for templates
// made again at run time. Only the standard library: the resource compiler
// builds without the rest of the platform.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tmplwrite {

struct Control {
    uint32_t style = 0, exStyle = 0, helpId = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    uint32_t id = 0;
    std::u16string className;
    unsigned classOrdinal = 0; // nonzero: a predefined class by number
    std::u16string text;
    int textOrdinal = -1; // 0 or more: a resource number instead of text
    std::vector<uint8_t> creationData;
};

struct Dialog {
    bool extended = false;
    uint32_t style = 0, exStyle = 0, helpId = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::u16string menu;
    unsigned menuOrdinal = 0;
    std::u16string className, title;
    bool font = false; // DS_SETFONT: the point size, weight, italic, charset and face follow the title
    unsigned pointSize = 0, weight = 0, italic = 0, charset = 1;
    std::u16string face;
    std::vector<Control> controls;
};

// The template's bytes, little-endian.
inline std::vector<uint8_t> Write(const Dialog& d) {
    std::vector<uint8_t> b;
    auto u8 = [&](unsigned v) { b.push_back(uint8_t(v)); };
    auto u16 = [&](unsigned v) {
        u8(v & 0xFF);
        u8((v >> 8) & 0xFF);
    };
    auto u32 = [&](uint32_t v) {
        u16(v & 0xFFFF);
        u16((v >> 16) & 0xFFFF);
    };
    auto str = [&](const std::u16string& s) {
        for (char16_t c : s) u16(c);
        u16(0);
    };
    auto strOrOrd = [&](const std::u16string& s, bool ordinal, unsigned ord) {
        if (ordinal) {
            u16(0xFFFF);
            u16(ord);
        } else {
            str(s);
        }
    };
    if (d.extended) {
        u16(1);
        u16(0xFFFF);
        u32(d.helpId);
        u32(d.exStyle);
        u32(d.style);
    } else {
        u32(d.style);
        u32(d.exStyle);
    }
    u16(unsigned(d.controls.size()));
    u16(unsigned(d.x));
    u16(unsigned(d.y));
    u16(unsigned(d.cx));
    u16(unsigned(d.cy));
    strOrOrd(d.menu, d.menuOrdinal != 0, d.menuOrdinal);
    str(d.className);
    str(d.title);
    if (d.font) {
        u16(d.pointSize);
        if (d.extended) {
            u16(d.weight);
            u8(d.italic);
            u8(d.charset);
        }
        str(d.face);
    }
    for (const Control& c : d.controls) {
        while (b.size() % 4) u8(0);
        if (d.extended) {
            u32(c.helpId);
            u32(c.exStyle);
            u32(c.style);
        } else {
            u32(c.style);
            u32(c.exStyle);
        }
        u16(unsigned(c.x));
        u16(unsigned(c.y));
        u16(unsigned(c.cx));
        u16(unsigned(c.cy));
        if (d.extended)
            u32(c.id);
        else
            u16(c.id & 0xFFFF);
        strOrOrd(c.className, c.classOrdinal != 0, c.classOrdinal);
        strOrOrd(c.text, c.textOrdinal >= 0, unsigned(c.textOrdinal));
        u16(unsigned(c.creationData.size()));
        b.insert(b.end(), c.creationData.begin(), c.creationData.end());
    }
    return b;
}

} // namespace tmplwrite
