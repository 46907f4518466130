// The compiled search pattern an editor or a grid window keeps: repeated
// searches for the same pattern and flags reuse it, and painting highlights
// its matches while the highlight flag is set.
#pragma once

#include <afx.h>

struct Regex;

struct SearchPatternCache {
    SearchPatternCache() = default;
    ~SearchPatternCache();
    SearchPatternCache(const SearchPatternCache&) = delete;
    SearchPatternCache& operator=(const SearchPatternCache&) = delete;

    // The compiled pattern for the text and flags: the cached one when all of
    // them are unchanged, else a new one. Null when it does not compile (the
    // cache then holds no pattern).
    Regex* Get(const char16_t* pattern, int matchCase, int matchWidth, int isRegex);
    // Forgets the pattern (the highlight flag is kept).
    void Clear();

    int highlight = 0;
    CString pattern;
    int matchCase = 0;
    int matchWidth = 0;
    int regex = 0;
    char16_t* work = nullptr;
    int workSize = 0;
    Regex* compiled = nullptr;
    // Number of compilations so far (for tests).
    int compileCount = 0;
};
