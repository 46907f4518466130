#include "mfc/cstring.h"

#include <algorithm>

#include <windows.h>

namespace {

std::u16string fromNarrow(const char* s, int length) {
    std::u16string out;
    if (!s || length == 0) return out;
    int need = MultiByteToWideChar(CP_ACP, 0, s, length, nullptr, 0);
    if (need <= 0) return out;
    out.resize(static_cast<size_t>(need));
    int got = MultiByteToWideChar(CP_ACP, 0, s, length, out.data(), need);
    out.resize(static_cast<size_t>(got > 0 ? got : 0));
    // A length of -1 counts the terminator; the string does not keep it.
    if (length < 0 && !out.empty() && out.back() == 0) out.pop_back();
    return out;
}

size_t clampIndex(int i, size_t size) {
    if (i < 0) return 0;
    return std::min(static_cast<size_t>(i), size);
}

bool inSet(char16_t c, const char16_t* set) {
    for (const char16_t* p = set; *p; ++p)
        if (*p == c) return true;
    return false;
}

bool isTrimSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

char16_t upper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 0x20) : c;
}
char16_t lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 0x20) : c;
}

} // namespace

CString::CString(const char16_t* s, int length) {
    if (s && length > 0) m_s.assign(s, static_cast<size_t>(length));
}

CString::CString(char16_t ch, int repeat) {
    if (repeat > 0) m_s.assign(static_cast<size_t>(repeat), ch);
}

CString::CString(const char* s) : m_s(fromNarrow(s, -1)) {}

CString::CString(const char* s, int length) : m_s(fromNarrow(s, length < 0 ? 0 : length)) {}

CString& CString::operator=(char16_t ch) {
    m_s.assign(1, ch);
    return *this;
}

CString& CString::operator=(const char* s) {
    m_s = fromNarrow(s, -1);
    return *this;
}

CString& CString::operator+=(const char16_t* s) {
    if (s) m_s += s;
    return *this;
}

CString& CString::operator+=(const char* s) {
    m_s += fromNarrow(s, -1);
    return *this;
}

void CString::Append(const char16_t* s, int length) {
    if (s && length > 0) m_s.append(s, static_cast<size_t>(length));
}

CString operator+(const CString& a, const CString& b) {
    CString r(a);
    r.m_s += b.m_s;
    return r;
}

CString operator+(const CString& a, const char16_t* b) {
    CString r(a);
    r += b;
    return r;
}

CString operator+(const char16_t* a, const CString& b) {
    CString r(a);
    r.m_s += b.m_s;
    return r;
}

CString operator+(const CString& a, char16_t b) {
    CString r(a);
    r.m_s += b;
    return r;
}

CString operator+(char16_t a, const CString& b) {
    CString r(a);
    r.m_s += b.m_s;
    return r;
}

int CString::Compare(const char16_t* s) const {
    if (!s) s = u"";
    const char16_t* p = m_s.c_str();
    // Units compare as unsigned values; an embedded NUL ends the text, as the
    // C runtime's comparison does.
    while (*p && *p == *s) {
        ++p;
        ++s;
    }
    return *p < *s ? -1 : *p > *s ? 1 : 0;
}

int CString::CompareNoCase(const char16_t* s) const {
    if (!s) s = u"";
    const char16_t* p = m_s.c_str();
    while (*p && lower(*p) == lower(*s)) {
        ++p;
        ++s;
    }
    char16_t a = lower(*p), b = lower(*s);
    return a < b ? -1 : a > b ? 1 : 0;
}

CString CString::Left(int count) const {
    return CString(m_s.substr(0, clampIndex(count, m_s.size())));
}

CString CString::Mid(int first) const {
    return CString(m_s.substr(clampIndex(first, m_s.size())));
}

CString CString::Mid(int first, int count) const {
    size_t start = clampIndex(first, m_s.size());
    return CString(m_s.substr(start, clampIndex(count, m_s.size() - start)));
}

CString CString::Right(int count) const {
    size_t n = clampIndex(count, m_s.size());
    return CString(m_s.substr(m_s.size() - n));
}

CString CString::SpanIncluding(const char16_t* set) const {
    size_t n = 0;
    while (n < m_s.size() && m_s[n] && inSet(m_s[n], set)) ++n;
    return CString(m_s.substr(0, n));
}

CString CString::SpanExcluding(const char16_t* set) const {
    size_t n = 0;
    while (n < m_s.size() && !inSet(m_s[n], set)) ++n;
    return CString(m_s.substr(0, n));
}

CString CString::Tokenize(const char16_t* tokens, int& start) const {
    if (start < 0 || static_cast<size_t>(start) >= m_s.size()) {
        start = -1;
        return CString();
    }
    size_t i = static_cast<size_t>(start);
    if (!tokens || !*tokens) {
        start = static_cast<int>(m_s.size());
        return Mid(static_cast<int>(i));
    }
    while (i < m_s.size() && inSet(m_s[i], tokens)) ++i;
    if (i >= m_s.size()) {
        start = -1;
        return CString();
    }
    size_t j = i;
    while (j < m_s.size() && !inSet(m_s[j], tokens)) ++j;
    start = static_cast<int>(j < m_s.size() ? j + 1 : j);
    return CString(m_s.substr(i, j - i));
}

int CString::Find(char16_t ch, int start) const {
    if (start < 0 || static_cast<size_t>(start) >= m_s.size()) return -1;
    size_t at = m_s.find(ch, static_cast<size_t>(start));
    return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

int CString::Find(const char16_t* sub, int start) const {
    if (!sub || start < 0 || static_cast<size_t>(start) > m_s.size()) return -1;
    size_t at = m_s.find(sub, static_cast<size_t>(start));
    return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

int CString::ReverseFind(char16_t ch) const {
    size_t at = m_s.rfind(ch);
    return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

int CString::FindOneOf(const char16_t* set) const {
    if (!set) return -1;
    size_t at = m_s.find_first_of(set);
    return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

int CString::Replace(char16_t from, char16_t to) {
    int n = 0;
    if (from == to) return static_cast<int>(std::count(m_s.begin(), m_s.end(), from));
    for (char16_t& c : m_s)
        if (c == from) {
            c = to;
            ++n;
        }
    return n;
}

int CString::Replace(const char16_t* from, const char16_t* to) {
    if (!from || !*from) return 0;
    std::u16string_view f(from);
    std::u16string_view t(to ? to : u"");
    size_t at = m_s.find(f);
    if (at == std::u16string::npos) return 0;
    std::u16string out;
    out.reserve(m_s.size());
    size_t pos = 0;
    int n = 0;
    while (at != std::u16string::npos) {
        out.append(m_s, pos, at - pos);
        out.append(t);
        pos = at + f.size();
        ++n;
        at = m_s.find(f, pos);
    }
    out.append(m_s, pos, std::u16string::npos);
    m_s.swap(out);
    return n;
}

int CString::Remove(char16_t ch) {
    size_t before = m_s.size();
    m_s.erase(std::remove(m_s.begin(), m_s.end(), ch), m_s.end());
    return static_cast<int>(before - m_s.size());
}

int CString::Insert(int index, char16_t ch) {
    m_s.insert(clampIndex(index, m_s.size()), 1, ch);
    return GetLength();
}

int CString::Insert(int index, const char16_t* s) {
    if (s) m_s.insert(clampIndex(index, m_s.size()), s);
    return GetLength();
}

int CString::Delete(int index, int count) {
    size_t start = clampIndex(index, m_s.size());
    if (count > 0) m_s.erase(start, clampIndex(count, m_s.size() - start));
    return GetLength();
}

CString& CString::Trim() {
    return TrimRight().TrimLeft();
}
CString& CString::Trim(char16_t ch) {
    return TrimRight(ch).TrimLeft(ch);
}
CString& CString::Trim(const char16_t* set) {
    return TrimRight(set).TrimLeft(set);
}

CString& CString::TrimLeft() {
    size_t n = 0;
    while (n < m_s.size() && isTrimSpace(m_s[n])) ++n;
    m_s.erase(0, n);
    return *this;
}
CString& CString::TrimLeft(char16_t ch) {
    size_t n = 0;
    while (n < m_s.size() && m_s[n] == ch) ++n;
    m_s.erase(0, n);
    return *this;
}
CString& CString::TrimLeft(const char16_t* set) {
    if (!set) return *this;
    size_t n = 0;
    while (n < m_s.size() && inSet(m_s[n], set)) ++n;
    m_s.erase(0, n);
    return *this;
}

CString& CString::TrimRight() {
    size_t n = m_s.size();
    while (n > 0 && isTrimSpace(m_s[n - 1])) --n;
    m_s.resize(n);
    return *this;
}
CString& CString::TrimRight(char16_t ch) {
    size_t n = m_s.size();
    while (n > 0 && m_s[n - 1] == ch) --n;
    m_s.resize(n);
    return *this;
}
CString& CString::TrimRight(const char16_t* set) {
    if (!set) return *this;
    size_t n = m_s.size();
    while (n > 0 && inSet(m_s[n - 1], set)) --n;
    m_s.resize(n);
    return *this;
}

CString& CString::MakeUpper() {
    for (char16_t& c : m_s) c = upper(c);
    return *this;
}

CString& CString::MakeLower() {
    for (char16_t& c : m_s) c = lower(c);
    return *this;
}

CString& CString::MakeReverse() {
    std::reverse(m_s.begin(), m_s.end());
    return *this;
}

LPWSTR CString::GetBuffer() {
    return m_s.data();
}

LPWSTR CString::GetBuffer(int minLength) {
    if (minLength > 0 && static_cast<size_t>(minLength) > m_s.size()) {
        // The caller may write up to minLength units; the length is settled
        // by ReleaseBuffer.
        m_s.resize(static_cast<size_t>(minLength));
    }
    return m_s.data();
}

LPWSTR CString::GetBufferSetLength(int length) {
    m_s.resize(static_cast<size_t>(length < 0 ? 0 : length));
    return m_s.data();
}

void CString::ReleaseBuffer(int newLength) {
    size_t n;
    if (newLength < 0) {
        n = 0;
        while (n < m_s.size() && m_s[n]) ++n;
    } else {
        n = std::min(static_cast<size_t>(newLength), m_s.size());
    }
    m_s.resize(n);
}

void CString::Truncate(int length) {
    if (length >= 0 && static_cast<size_t>(length) < m_s.size()) m_s.resize(static_cast<size_t>(length));
}

void CString::FormatArgs(const char16_t* fmt, const fmt16::Arg* args, size_t count) {
    // Formats in place, reusing the buffer, unless the format or a string
    // argument lies inside it.
    const char16_t* begin = m_s.data();
    const char16_t* end = begin + m_s.capacity() + 1;
    auto inside = [&](const void* p) {
        auto* q = static_cast<const char16_t*>(p);
        return q >= begin && q < end;
    };
    bool aliased = inside(fmt);
    for (size_t i = 0; i < count && !aliased; ++i)
        if (args[i].type == fmt16::ArgType::WideStr) aliased = inside(args[i].p);
    if (!aliased) {
        m_s.clear();
        fmt16::AppendArgs(m_s, fmt, args, count);
        return;
    }
    std::u16string out;
    fmt16::AppendArgs(out, fmt, args, count);
    m_s.swap(out);
}

void CString::FormatV(const char16_t* fmt, va_list ap) {
    std::u16string out;
    fmt16::AppendVa(out, fmt, ap);
    m_s.swap(out);
}

void CString::AppendFormatV(const char16_t* fmt, va_list ap) {
    fmt16::AppendVa(m_s, fmt, ap);
}

namespace mfc_internal {
bool RegisterFrameworkStrings();
}

BOOL CString::LoadString(UINT id) {
    mfc_internal::RegisterFrameworkStrings();
    LPCWSTR text = nullptr;
    int n = LoadStringW(nullptr, id, reinterpret_cast<LPWSTR>(&text), 0);
    if (n <= 0 || !text) return FALSE;
    m_s.assign(text, size_t(n));
    return TRUE;
}
