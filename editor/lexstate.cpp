// Lexical line states (code, block comment, line comment, quoted literal) and
// bracket matching over them.
#include <cstdlib>
#include <cstring>

#include "base/utf16.h"
#include "editor/editdata.h"

namespace {

bool starts_with(const char16_t* p, const char16_t* mark, int length) {
    if (!mark || length <= 0) return false;
    for (int i = 0; i < length; i++)
        if (p[i] != mark[i]) return false;
    return true;
}

int line_comment_at(const CStrToken* t, const char16_t* p) {
    for (int i = 0; i < t->m_lineCommentCount; i++)
        if (starts_with(p, t->m_lineComment[i], t->m_lineCommentLength[i])) return 1;
    return 0;
}

// Makes room in the cache for states up to index need - 1; false on no memory.
bool grow_cache(LexLineCache* cache, int need) {
    if (need <= cache->capacity) return true;
    int cap = cache->states == cache->inlineStates ? 1024 : cache->capacity * 2;
    while (cap < need) cap *= 2;
    auto* fresh = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(cap)));
    if (!fresh) return false;
    std::memcpy(fresh, cache->states, static_cast<size_t>(cache->classified));
    if (cache->states != cache->inlineStates) std::free(cache->states);
    cache->states = fresh;
    cache->capacity = cap;
    return true;
}

// The closer of a q-quoted literal that the tokenizer sees at p, else 0 (a
// tokenizer whose quote table holds the letter reads it its own way).
char16_t q_literal_at(const CStrToken* t, const char16_t* p) {
    if (p[0] < 256 && t->m_quoteStart[p[0]]) return 0;
    return t->isQuoteStart(p) ? q_quote_closer(p) : 0;
}

// A quoted literal opens at p: a quote-start character, or a letter that
// begins a word there (the q of "seq'" opens nothing).
bool quote_opens_at(const CStrToken* t, const char16_t* text, const char16_t* p) {
    if (!t->isQuoteStart(p)) return false;
    if (p == text || (p[0] < 256 && t->m_delimiter[p[0]])) return true;
    return t->isWordBreak(p[-1]);
}

} // namespace

int CEditData::TokenLength(const char16_t* p) const {
    if (!*p) return 0;
    if (m_token->isQuoteStart(p)) return m_token->getQuotedLength(p, 1);
    int n = 0;
    for (;;) {
        int units;
        uint32_t c = utf16_decode(p + n, &units);
        if (c == 0 || m_token->isWordBreak(c)) break;
        n += units;
    }
    return n ? n : utf16_char_units(p);
}

uint8_t CEditData::LexStateAt(int line, int column, LexLineCache* cache) {
    const EditLine* l = m_lines.At(line);
    const char16_t* text = l->text;
    int length = l->length - 1;
    if (column < 0) column = 0;
    int offset;
    uint8_t s;
    if (cache && cache->line == line && cache->resumeText == text + cache->classified) {
        if (cache->classified > column) return cache->states[column];
        offset = cache->classified;
        s = cache->resumeState;
    } else {
        if (cache) {
            cache->line = line;
            cache->classified = 0;
        }
        offset = 0;
        s = (l->lexFlags & LEXF_IN_COMMENT) ? LEX_BLOCK_COMMENT : LEX_CODE;
    }
    const CStrToken* tok = m_token;
    uint8_t result = 0;
    bool found = false;
    // A q-quoted literal from an earlier line runs on to its closer.
    char16_t continued = offset == 0 ? lexf_closer(l->lexFlags) : 0;
    while (offset < length && offset <= column) {
        const char16_t* p = text + offset;
        uint8_t r = s == LEX_QUOTED ? LEX_CODE : s;
        uint8_t tokenState = r;
        int t;
        if (continued) {
            t = q_quote_rest(p, continued, 1, nullptr);
            tokenState = r = LEX_QUOTED;
            continued = 0;
        } else if (r == LEX_BLOCK_COMMENT) {
            if (starts_with(p, tok->m_blockEnd, tok->m_blockEndLength)) {
                t = tok->m_blockEndLength;
                r = LEX_CODE;
            } else {
                t = utf16_char_units(p);
            }
        } else if (tok->isQuoteStart(p)) {
            t = tok->getQuotedLength(p, 1);
            tokenState = r = LEX_QUOTED;
        } else if (line_comment_at(tok, p)) {
            t = length - offset;
            tokenState = r = LEX_LINE_COMMENT;
            if (!cache) return LEX_LINE_COMMENT;
        } else if (starts_with(p, tok->m_blockStart, tok->m_blockStartLength)) {
            t = tok->m_blockStartLength;
            tokenState = r = LEX_BLOCK_COMMENT;
        } else {
            t = TokenLength(p);
        }
        if (t <= 0) t = 1;
        if (offset + t > length) t = length - offset;
        if (cache) {
            if (!grow_cache(cache, offset + t)) {
                cache->line = -1;
                cache = nullptr;
            } else {
                std::memset(cache->states + offset, tokenState, static_cast<size_t>(t));
            }
        }
        if (column < offset + t) {
            result = tokenState;
            found = true;
        }
        offset += t;
        s = r;
        if (cache) {
            cache->classified = offset;
            cache->resumeText = text + offset;
            cache->resumeState = s == LEX_QUOTED ? LEX_CODE : s;
        }
        if (found && !cache) return result;
        if (found) break;
    }
    if (found) return result;
    // At or past the end of the line.
    if (cache && cache->line == line && offset >= length) {
        cache->classified = length;
        cache->resumeText = text + length;
    }
    return s == LEX_QUOTED ? LEX_CODE : s;
}

void CEditData::UpdateLexStates(int firstLine, int lastLine, uint64_t options, int* changed) {
    if (changed) *changed = 0;
    if (options & EDIT_OPT_NO_LEXICAL) return;
    const bool tagRule = (options & EDIT_OPT_TAG_RULE) != 0;
    const bool depths = (options & EDIT_OPT_BRACKET_DEPTH) != 0;
    const CStrToken* tok = m_token;
    int count = m_lines.count;
    if (lastLine < 0 || lastLine >= count) lastLine = count - 1;
    int line = firstLine > 0 ? firstLine - 1 : 0;
    if (line >= count) return;
    // The first line starts in code whatever it holds (a join may have carried
    // another line's flags into it).
    const EditLine* start = m_lines.At(line);
    bool inComment = line > 0 && (start->lexFlags & LEXF_IN_COMMENT) != 0;
    bool inTag = line > 0 && (start->lexFlags & LEXF_IN_TAG) != 0;
    // The closer of a q-quoted literal left open at a line end, else 0.
    char16_t inQuote = line > 0 ? lexf_closer(start->lexFlags) : 0;
    int depth = line > 0 ? start->depth : 0;
    for (; line < count; line++) {
        EditLine* l = m_lines.At(line);
        bool storedComment = (l->lexFlags & LEXF_IN_COMMENT) != 0;
        bool storedTag = (l->lexFlags & LEXF_IN_TAG) != 0;
        bool agree = storedComment == inComment && (!tagRule || storedTag == inTag) &&
                     lexf_closer(l->lexFlags) == inQuote && (!depths || l->depth == depth);
        if (line > lastLine && agree) break;
        if (!agree) {
            if (changed) *changed = 1;
            l->lexFlags = (l->lexFlags & ~LEXF_IN_COMMENT) | (inComment ? LEXF_IN_COMMENT : 0);
            if (tagRule) l->lexFlags = (l->lexFlags & ~LEXF_IN_TAG) | (inTag ? LEXF_IN_TAG : 0);
            l->lexFlags = (l->lexFlags & ~(LEXF_IN_QUOTE | 0xFFFF0000u)) | lexf_quote(inQuote);
            if (depths) l->depth = depth;
        }
        const char16_t* p = l->text;
        if (inQuote) {
            bool closed;
            p += q_quote_rest(p, inQuote, 1, &closed);
            if (!closed) continue;
            inQuote = 0;
        }
        while (*p) {
            if (inComment) {
                const char16_t* q = p;
                while (*q && !starts_with(q, tok->m_blockEnd, tok->m_blockEndLength)) q++;
                if (!*q) break;
                p = q + tok->m_blockEndLength;
                inComment = false;
                continue;
            }
            char16_t c = *p;
            if (tagRule && c == u'<' && !starts_with(p, tok->m_blockStart, tok->m_blockStartLength)) {
                inTag = true;
                p++;
                continue;
            }
            if (tagRule && c == u'>' && inTag) {
                inTag = false;
                p++;
                continue;
            }
            if (c >= 256 || !tok->m_lexState[c]) {
                if (depths && !inTag) {
                    if (c == u'(')
                        depth++;
                    else if (c == u')' && depth > 0)
                        depth--;
                }
                p++;
                continue;
            }
            if (quote_opens_at(tok, l->text, p)) {
                if (tagRule && !inTag) {
                    p++;
                    continue;
                }
                char16_t close = q_literal_at(tok, p);
                int n = tok->getQuotedLength(p, 1);
                if (close && !p[n]) {
                    // Open at the line's end unless it closed right there.
                    int prefix = 0;
                    q_quote_closer(p, &prefix);
                    bool closed;
                    q_quote_rest(p + prefix, close, 1, &closed);
                    if (!closed) inQuote = close;
                }
                p += n;
                continue;
            }
            if (line_comment_at(tok, p)) break;
            if (starts_with(p, tok->m_blockStart, tok->m_blockStartLength)) {
                inComment = true;
                p += tok->m_blockStartLength;
                continue;
            }
            p++;
        }
    }
}

int CEditData::FindMatchingBracket(uint32_t open, uint32_t close, int depth, const EditPos* limit,
                                   int direction, EditPos* out) {
    EditPos lim;
    if (limit && limit->line >= 0 && limit->line < m_lines.count)
        lim = ClampPosition(*limit);
    else
        lim = direction <= 0 ? EditPos{0, 0} : GetEndPosition();
    EditPos p = ClampPosition(GetCaret());
    LexLineCache cache;
    if (direction <= 0) {
        while (lim < p) {
            StepPosition(&p, -1);
            uint32_t c = GetCharAt(p.line, p.col);
            if (c != open && c != close) continue;
            if (LexStateAt(p.line, p.col, &cache) != LEX_CODE) continue;
            depth += c == close ? 1 : -1;
            if (depth == 0) {
                *out = p;
                return 1;
            }
        }
        return 0;
    }
    for (;;) {
        EditPos next = p;
        const EditLine* l = m_lines.At(p.line);
        if (p.col < l->length - 1)
            next.col += utf16_char_units(l->text + p.col);
        else if (p.line < m_lines.count - 1)
            next = EditPos{0, p.line + 1};
        else
            return 0;
        p = next;
        if (!(p < lim)) return 0;
        uint32_t c = GetCharAt(p.line, p.col);
        if (c != open && c != close) continue;
        if (LexStateAt(p.line, p.col, &cache) != LEX_CODE) continue;
        depth += c == close ? 1 : -1;
        if (depth == 0) {
            *out = p;
            return 1;
        }
    }
}
