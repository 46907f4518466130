// Helpers shared by the tokenizer and splitter tests.
#pragma once

#include <windows.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "editor/strtoken.h"

namespace tok_test {

inline std::string encode(const std::u16string& s, UINT codePage) {
    std::string out(s.size() * 4 + 1, '\0');
    int n = WideCharToMultiByte(codePage, 0, reinterpret_cast<LPCWSTR>(s.c_str()), static_cast<int>(s.size()),
                                out.data(), static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(static_cast<size_t>(n));
    return out;
}

inline std::string utf8(const std::u16string& s) {
    return encode(s, CP_UTF8);
}

inline std::u16string decode_utf8(const std::string& s) {
    std::u16string out(s.size() + 1, u'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(),
                                static_cast<int>(out.size()));
    out.resize(static_cast<size_t>(n));
    return out;
}

inline std::string utf16_bytes(const std::u16string& s, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t c : s) {
        char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

// A scratch file that removes itself.
struct TempFile {
    std::filesystem::path path;
    explicit TempFile(const std::string& bytes, const char* name = "kw") {
        static int serial = 0;
        path = std::filesystem::temp_directory_path() / ("tavrelix_tok_" + std::to_string(::getpid()) + "_" +
                                                         std::to_string(serial++) + "_" + name + ".txt");
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    ~TempFile() { std::filesystem::remove(path); }
    std::u16string wpath() const { return decode_utf8(path.string()); }
};

// Loads keyword-file bytes into tok; the result of initDefaultKeyword.
inline int load_keywords(CStrToken* tok, const std::string& bytes, CString* msg = nullptr) {
    TempFile f(bytes);
    tok->free_keywords();
    CString local;
    return tok->initDefaultKeyword(f.wpath().c_str(), msg ? msg : &local);
}

// A candidate list that copies its texts.
class TestList : public CCompletionList {
public:
    int columns = 0, setupRows = 0;
    uint32_t widths[8] = {};
    std::vector<std::vector<std::u16string>> rows;
    void Setup(int c, int r) override {
        columns = c;
        setupRows = r;
        rows.clear();
    }
    uint32_t* ColumnWidths() override { return widths; }
    int AddRow() override {
        rows.emplace_back(static_cast<size_t>(columns));
        return 0;
    }
    int GetRowCount() const override { return static_cast<int>(rows.size()); }
    void SetLastRowCell(int column, const char16_t* text) override {
        rows.back()[static_cast<size_t>(column)] = text ? text : u"";
    }
};

} // namespace tok_test
