// Builds dialog templates in memory, in the extended binary layout.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include <windows.h>

class TemplateBuilder {
public:
    TemplateBuilder(DWORD style, short cx, short cy, const std::u16string& title,
                    const std::u16string& face = u"", WORD points = 9) {
        word(1);
        word(0xFFFF);
        dword(0);
        dword(0);
        styleAt_ = bytes_.size();
        dword(style | (face.empty() ? 0 : DS_SETFONT));
        countAt_ = bytes_.size();
        word(0);
        word(0);
        word(0);
        word(WORD(cx));
        word(WORD(cy));
        word(0); // menu
        word(0); // class
        str(title);
        if (!face.empty()) {
            word(points);
            word(FW_NORMAL);
            bytes_.push_back(0);
            bytes_.push_back(1);
            str(face);
        }
    }
    TemplateBuilder& Control(const std::u16string& cls, const std::u16string& text, int id, DWORD style,
                             short x, short y, short cx, short cy) {
        while (bytes_.size() % 4) bytes_.push_back(0);
        dword(0);
        dword(0);
        dword(style | WS_CHILD | WS_VISIBLE);
        word(WORD(x));
        word(WORD(y));
        word(WORD(cx));
        word(WORD(cy));
        dword(DWORD(id));
        str(cls);
        str(text);
        word(0);
        WORD n;
        std::memcpy(&n, bytes_.data() + countAt_, 2);
        ++n;
        std::memcpy(bytes_.data() + countAt_, &n, 2);
        return *this;
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }

private:
    void word(WORD w) {
        bytes_.push_back(BYTE(w));
        bytes_.push_back(BYTE(w >> 8));
    }
    void dword(DWORD d) {
        word(WORD(d));
        word(WORD(d >> 16));
    }
    void str(const std::u16string& s) {
        for (char16_t c : s) word(c);
        word(0);
    }
    std::vector<BYTE> bytes_;
    size_t styleAt_ = 0, countAt_ = 0;
};
