#include "editor/searchpattern.h"

#include "regex/regex.h"

SearchPatternCache::~SearchPatternCache() {
    Clear();
    delete[] work;
}

void SearchPatternCache::Clear() {
    if (regex) regex_free(&regex);
    regex = nullptr;
    pattern.Empty();
}

Regex* SearchPatternCache::Get(const char16_t* text, int caseFlag, int widthFlag, int regexFlag) {
    if (!text) text = u"";
    if (regex && pattern == text && matchCase == caseFlag && matchWidth == widthFlag && isRegex == regexFlag)
        return regex;
    Clear();
    int flags = (caseFlag ? 0 : REGEX_IGNORE_CASE) | (widthFlag ? 0 : REGEX_IGNORE_WIDTH);
    regex = regexFlag ? regex_compile(text, flags) : regex_compile_literal(text, flags);
    if (!regex) return nullptr;
    pattern = text;
    matchCase = caseFlag;
    matchWidth = widthFlag;
    isRegex = regexFlag;
    return regex;
}
