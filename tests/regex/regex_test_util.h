// Helpers of the regular-expression tests: owned compiled patterns, one-shot
// searches, and test hooks into the engine's internals (tree dump, strategy).
#pragma once

#include "regex/regex.h"
#include "regex/regex_internal.h"

#include <string>
#include <vector>

struct RegexHolder {
    Regex* re = nullptr;
    RegexHolder(const char16_t* pattern, int flags = 0) : re(regex_compile(pattern, flags)) {}
    explicit RegexHolder(Regex* r) : re(r) {}
    ~RegexHolder() { regex_free(&re); }
    RegexHolder(const RegexHolder&) = delete;
    RegexHolder& operator=(const RegexHolder&) = delete;
    Regex* get() const { return re; }
    explicit operator bool() const { return re != nullptr; }
};

struct Found {
    int result = 0;
    int start = -1;
    int length = -1;
    bool operator==(const Found& o) const {
        return result == o.result && start == o.start && length == o.length;
    }
};

inline Found find_in(Regex* re, const char16_t* text, int from = 0) {
    Found f;
    f.result = regex_search_str(re, text, from, &f.start, &f.length);
    if (f.result != 1) f.start = f.length = -1;
    return f;
}

inline Found find(const char16_t* pattern, const char16_t* text, int flags = 0, int from = 0) {
    RegexHolder h(pattern, flags);
    if (!h) return Found{-99, -1, -1};
    return find_in(h.get(), text, from);
}

// The matched text of a search (empty optional-like: "<none>").
inline std::u16string match_text(const char16_t* pattern, const char16_t* text, int flags = 0) {
    Found f = find(pattern, text, flags);
    if (f.result != 1) return u"<none>";
    return std::u16string(text + f.start, text + f.start + f.length);
}

inline bool valid(const char16_t* pattern, int flags = 0) {
    RegexHolder h(pattern, flags);
    return static_cast<bool>(h);
}

// Every node reachable from the root (explicit walk).
inline std::vector<const RegexNode*> regex_tree_nodes(const Regex* re) {
    std::vector<const RegexNode*> out, todo;
    std::vector<const RegexNode*> seen;
    if (re->root) todo.push_back(re->root);
    while (!todo.empty()) {
        const RegexNode* n = todo.back();
        todo.pop_back();
        while (n) {
            bool met = false;
            for (const RegexNode* s : seen)
                if (s == n) met = true;
            if (met) break;
            seen.push_back(n);
            out.push_back(n);
            int k = n->kind;
            if ((k >= RN_LOOKAHEAD && k <= RN_NEG_LOOKBEHIND) || k == RN_POSSESSIVE || k == RN_COND) {
                if (n->payload) todo.push_back(static_cast<const RegexNode*>(n->payload));
            }
            if (n->alt) todo.push_back(n->alt);
            n = n->next;
        }
    }
    return out;
}

// A compact dump of the tree: "kind:value" per node in walk order.
inline std::string regex_tree_dump(const Regex* re) {
    std::string s;
    for (const RegexNode* n : regex_tree_nodes(re)) {
        if (!s.empty()) s += ' ';
        s += std::to_string(n->kind) + ":" + std::to_string(n->value);
    }
    return s;
}

inline std::string narrow(const std::u16string& s) {
    std::string o;
    for (char16_t c : s) {
        if (c < 128 && c >= 32)
            o += static_cast<char>(c);
        else {
            char buf[16];
            snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
            o += buf;
        }
    }
    return o;
}
