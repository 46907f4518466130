// CString: a UTF-16 value string with the MFC operations this program uses.
// Copies are independent. Narrow text is converted through CP_ACP, as MFC's
// wide string does. Positions and lengths are in UTF-16 units; out-of-range
// positions are clamped as MFC clamps them. Case operations fold ASCII only.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

#include "mfc/format.h"
#include "win32/types.h"

class CString {
public:
    CString() = default;
    CString(const CString&) = default;
    CString(CString&&) noexcept = default;
    CString(const char16_t* s) { assign(s); }
    CString(const char16_t* s, int length);
    CString(char16_t ch, int repeat = 1);
    CString(const char* s);
    CString(const char* s, int length);
    explicit CString(std::u16string_view s) : m_s(s) {}
    explicit CString(std::u16string s) : m_s(std::move(s)) {}
    ~CString() = default;

    CString& operator=(const CString&) = default;
    CString& operator=(CString&&) noexcept = default;
    CString& operator=(const char16_t* s) {
        assign(s);
        return *this;
    }
    CString& operator=(char16_t ch);
    CString& operator=(const char* s);

    // Size and access.
    int GetLength() const { return static_cast<int>(m_s.size()); }
    bool IsEmpty() const { return m_s.empty(); }
    void Empty() { m_s.clear(); }
    char16_t GetAt(int i) const { return m_s[static_cast<size_t>(i)]; }
    char16_t operator[](int i) const { return m_s[static_cast<size_t>(i)]; }
    void SetAt(int i, char16_t ch) { m_s[static_cast<size_t>(i)] = ch; }
    operator LPCWSTR() const { return m_s.c_str(); }
    LPCWSTR GetString() const { return m_s.c_str(); }
    const std::u16string& str() const { return m_s; }
    std::u16string_view view() const { return m_s; }

    // Concatenation.
    CString& operator+=(const CString& s) {
        m_s += s.m_s;
        return *this;
    }
    CString& operator+=(const char16_t* s);
    CString& operator+=(char16_t ch) {
        m_s += ch;
        return *this;
    }
    CString& operator+=(const char* s);
    void Append(const char16_t* s, int length);
    void Append(const CString& s) { m_s += s.m_s; }
    void AppendChar(char16_t ch) { m_s += ch; }

    friend CString operator+(const CString& a, const CString& b);
    friend CString operator+(const CString& a, const char16_t* b);
    friend CString operator+(const char16_t* a, const CString& b);
    friend CString operator+(const CString& a, char16_t b);
    friend CString operator+(char16_t a, const CString& b);

    // Comparison: Compare and the operators compare units; CompareNoCase folds
    // ASCII letters. Results are <0, 0 or >0.
    int Compare(const char16_t* s) const;
    int CompareNoCase(const char16_t* s) const;
    int Collate(const char16_t* s) const { return Compare(s); }
    int CollateNoCase(const char16_t* s) const { return CompareNoCase(s); }

    friend bool operator==(const CString& a, const CString& b) { return a.m_s == b.m_s; }
    friend bool operator==(const CString& a, const char16_t* b) { return a.Compare(b) == 0; }
    friend bool operator==(const char16_t* a, const CString& b) { return b.Compare(a) == 0; }
    friend bool operator!=(const CString& a, const CString& b) { return a.m_s != b.m_s; }
    friend bool operator!=(const CString& a, const char16_t* b) { return a.Compare(b) != 0; }
    friend bool operator!=(const char16_t* a, const CString& b) { return b.Compare(a) != 0; }
    friend bool operator<(const CString& a, const CString& b) { return a.Compare(b) < 0; }
    friend bool operator<(const CString& a, const char16_t* b) { return a.Compare(b) < 0; }
    friend bool operator<(const char16_t* a, const CString& b) { return b.Compare(a) > 0; }
    friend bool operator>(const CString& a, const CString& b) { return a.Compare(b) > 0; }
    friend bool operator>(const CString& a, const char16_t* b) { return a.Compare(b) > 0; }
    friend bool operator>(const char16_t* a, const CString& b) { return b.Compare(a) < 0; }
    friend bool operator<=(const CString& a, const CString& b) { return a.Compare(b) <= 0; }
    friend bool operator<=(const CString& a, const char16_t* b) { return a.Compare(b) <= 0; }
    friend bool operator<=(const char16_t* a, const CString& b) { return b.Compare(a) >= 0; }
    friend bool operator>=(const CString& a, const CString& b) { return a.Compare(b) >= 0; }
    friend bool operator>=(const CString& a, const char16_t* b) { return a.Compare(b) >= 0; }
    friend bool operator>=(const char16_t* a, const CString& b) { return b.Compare(a) <= 0; }

    // Extraction (clamped to the string).
    CString Left(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Right(int count) const;
    CString SpanIncluding(const char16_t* set) const;
    CString SpanExcluding(const char16_t* set) const;
    // Returns the next token delimited by any of tokens, starting at start, and
    // moves start past it; at the end returns empty and sets start to -1.
    CString Tokenize(const char16_t* tokens, int& start) const;

    // Searching: -1 when not found.
    int Find(char16_t ch, int start = 0) const;
    int Find(const char16_t* sub, int start = 0) const;
    int ReverseFind(char16_t ch) const;
    int FindOneOf(const char16_t* set) const;

    // Editing. Replace and Remove return the number of replacements; Insert and
    // Delete the new length.
    int Replace(char16_t from, char16_t to);
    int Replace(const char16_t* from, const char16_t* to);
    int Remove(char16_t ch);
    int Insert(int index, char16_t ch);
    int Insert(int index, const char16_t* s);
    int Delete(int index, int count = 1);
    CString& Trim();
    CString& Trim(char16_t ch);
    CString& Trim(const char16_t* set);
    CString& TrimLeft();
    CString& TrimLeft(char16_t ch);
    CString& TrimLeft(const char16_t* set);
    CString& TrimRight();
    CString& TrimRight(char16_t ch);
    CString& TrimRight(const char16_t* set);
    CString& MakeUpper();
    CString& MakeLower();
    CString& MakeReverse();

    // Direct buffer access. GetBuffer(n) returns room for at least n units
    // plus a terminator; ReleaseBuffer(-1) takes the length up to the first
    // NUL, ReleaseBuffer(n) sets it to n.
    LPWSTR GetBuffer();
    LPWSTR GetBuffer(int minLength);
    LPWSTR GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);
    void ReleaseBufferSetLength(int newLength) { ReleaseBuffer(newLength); }
    void Preallocate(int length) { m_s.reserve(static_cast<size_t>(length < 0 ? 0 : length)); }
    void Truncate(int length);

    // printf-style formatting with the wide printf meanings of mfc/format.h.
    template <class... A> void Format(const char16_t* fmt, const A&... a) {
        if constexpr (sizeof...(A) == 0) {
            FormatArgs(fmt, nullptr, 0);
        } else {
            const fmt16::Arg args[] = {fmt16::MakeArg(a)...};
            FormatArgs(fmt, args, sizeof...(A));
        }
    }
    template <class... A> void AppendFormat(const char16_t* fmt, const A&... a) {
        fmt16::Append(m_s, fmt, a...);
    }
    void FormatV(const char16_t* fmt, va_list ap);

    // Sets the string to string-table entry id; FALSE (string unchanged) when
    // no table holds it.
    BOOL LoadString(UINT id);
    void AppendFormatV(const char16_t* fmt, va_list ap);

    // Format's core; the arguments may point into this string.
    void FormatArgs(const char16_t* fmt, const fmt16::Arg* args, size_t count);

private:
    void assign(const char16_t* s) {
        if (s)
            m_s.assign(s);
        else
            m_s.clear();
    }

    std::u16string m_s;
};
