// Whole texts and expanded templates handed out as strings.
#include <new>

#include "editor/editdata.h"
#include "editor/nodepool.h"
#include "mfc/memexception.h"

namespace {

CString make_string(const char16_t* text, int64_t length) {
    try {
        return CString(text, static_cast<int>(length));
    } catch (const std::bad_alloc&) {
        AfxThrowMemoryException();
    }
}

} // namespace

CString CEditData::GetAllText() const {
    EditPos start{0, 0};
    EditPos end = GetEndPosition();
    int size = GetRangeTextSize(start, end);
    if (size < 2) AfxThrowInvalidArgException();
    auto* buffer = static_cast<char16_t*>(edit_heap_alloc(static_cast<size_t>(size)));
    if (!buffer) AfxThrowMemoryException();
    CopyRange(start, end, buffer);
    CString text;
    try {
        text = make_string(buffer, size / 2 - 1);
    } catch (...) {
        edit_heap_free(buffer);
        throw;
    }
    edit_heap_free(buffer);
    return text;
}

CString CEditData::ExpandTemplate(EditPos matchStart, int64_t matchLength, const char16_t* tmpl,
                                  const Regex* regex) {
    EditPos end = matchStart;
    AdvancePosition(&end, matchLength);
    RegexPos from{matchStart.line, matchStart.col};
    RegexPos to{end.line, end.col};
    int64_t units = regex_expand_template(&m_regexOps, from, to, tmpl, regex, nullptr);
    if (units < 1 || units > 0x3FFFFFFF) AfxThrowInvalidArgException();
    auto* buffer = static_cast<char16_t*>(edit_heap_alloc(static_cast<size_t>(units) * 2));
    if (!buffer) AfxThrowMemoryException();
    regex_expand_template(&m_regexOps, from, to, tmpl, regex, buffer);
    CString text;
    try {
        text = make_string(buffer, units - 1);
    } catch (...) {
        edit_heap_free(buffer);
        throw;
    }
    edit_heap_free(buffer);
    return text;
}
