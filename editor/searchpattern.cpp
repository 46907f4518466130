#include "editor/searchpattern.h"

#include "regex/regex.h"

SearchPatternCache::~SearchPatternCache() {
    Clear();
    delete[] work;
}

void SearchPatternCache::Clear() {
    if (compiled) regex_free(&compiled);
    compiled = nullptr;
    pattern.Empty();
}

Regex* SearchPatternCache::Get(const char16_t* text, int caseFlag, int widthFlag, int regexFlag) {
    if (!text) text = u"";
    if (compiled && pattern == text && matchCase == caseFlag && matchWidth == widthFlag && regex == regexFlag)
        return compiled;
    Clear();
    int flags = (caseFlag ? 0 : REGEX_IGNORE_CASE) | (widthFlag ? 0 : REGEX_IGNORE_WIDTH);
    ++compileCount;
    compiled = regexFlag ? regex_compile(text, flags) : regex_compile_literal(text, flags);
    if (!compiled) return nullptr;
    pattern = text;
    matchCase = caseFlag;
    matchWidth = widthFlag;
    regex = regexFlag;
    return compiled;
}
