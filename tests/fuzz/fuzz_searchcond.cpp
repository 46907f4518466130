// Search-condition files of any bytes, and conditions written and read back.
// A file read gives what the lines it holds say, read by the rules of the
// format (trimmed header lines; the owner after "[OWNER_NAME]", the table
// after "[TABLE_NAME]", an alias, the columns up to "[WHERE]", the rest the
// condition, untrimmed) and stops where a file that is not one ends; the
// condition's pieces are the rest of the file, nothing lost. A condition the
// save accepts (every character one the code page holds) is written as the
// save writes it and reads back the same: owner, table, the columns in their
// order, the condition with its line breaks (the yen sign and the JIS wave
// dash as the characters their codes read as, as in every text file).
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/dialogs/searchcond.h"
#include "base/cp932.h"
#include "base/textfile.h"
#include "fuzz.h"

const uint64_t fuzz_default_count = 600;

namespace {

const std::string& FilePath() {
    static const std::string p = [] {
        struct stat st;
        std::string dir = stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm" : "/tmp";
        return dir + "/tavrelix_fuzz_tvx_" + std::to_string(getpid()) + ".tvx";
    }();
    return p;
}

std::u16string WidePath() {
    return Utf8ToWide(FilePath().c_str());
}

// The pieces the text-file layer gives for the file, as the reader asks.
std::vector<std::u16string> Pieces() {
    std::vector<std::u16string> out;
    TextFile tf;
    fuzz_check(textfile_open(&tf, WidePath().c_str(), u"r") != 0, "the file opens");
    tf.code = CHARCODE_SJIS;
    char16_t line[1024];
    while (textfile_gets(&tf, line, 1024)) out.emplace_back(line);
    textfile_close(&tf);
    return out;
}

std::u16string Trimmed(std::u16string s) {
    while (!s.empty() && (s.back() == u'\r' || s.back() == u'\n')) s.pop_back();
    return s;
}

// The format's rules over the pieces, one line at a time.
SearchConditionFile Model(const std::vector<std::u16string>& pieces) {
    SearchConditionFile m;
    size_t i = 0;
    auto more = [&] { return i < pieces.size(); };
    auto next = [&] { return Trimmed(pieces[i++]); };
    auto stopped = [&](SearchConditionFile::Stop s) {
        m.stop = s;
        return m;
    };
    for (bool header = true; header;) {
        if (!more()) return stopped(SearchConditionFile::kNoTableHeader);
        std::u16string l = next();
        if (l == u"[TABLE_NAME]") break;
        if (l == u"[SWAP_ROW_COL_MODE]") m.swap = true;
        if (l != u"[OWNER_NAME]") continue;
        if (!more()) return stopped(SearchConditionFile::kNoTableHeader);
        m.hasOwner = true;
        m.owner = next().c_str();
        do {
            if (!more()) return stopped(SearchConditionFile::kNoTableHeader);
        } while (next() != u"[TABLE_NAME]");
        header = false;
    }
    if (!more()) return stopped(SearchConditionFile::kNoTable);
    m.table = next().c_str();
    if (!more()) return stopped(SearchConditionFile::kNoColumnHeader);
    std::u16string l = next();
    if (l == u"[ALIAS_NAME]") {
        if (!more()) return stopped(SearchConditionFile::kNoColumnHeader);
        m.hasAlias = true;
        m.alias = next().c_str();
        if (!more()) return stopped(SearchConditionFile::kNoColumnHeader);
        l = next();
    }
    if (l != u"[COLUMN_NAME]") return stopped(SearchConditionFile::kNoColumnHeader);
    for (;;) {
        if (!more()) return stopped(SearchConditionFile::kNoWhere);
        l = next();
        if (l == u"[WHERE]") break;
        m.columns.push_back(l.c_str());
    }
    for (; i < pieces.size(); ++i) m.where.push_back(pieces[i].c_str());
    return stopped(SearchConditionFile::kComplete);
}

void CheckSame(const SearchConditionFile& a, const SearchConditionFile& b) {
    fuzz_check(a.stop == b.stop, "where the reading stopped");
    fuzz_check(a.swap == b.swap, "the swap mode");
    fuzz_check(a.hasOwner == b.hasOwner && a.owner == b.owner, "the owner");
    fuzz_check(a.table == b.table, "the table");
    fuzz_check(a.hasAlias == b.hasAlias && a.alias == b.alias, "the alias");
    fuzz_check(a.columns == b.columns, "the columns");
    fuzz_check(a.where == b.where, "the condition");
}

// text as CP932 keeps it.
CString Kept(const CString& text) {
    std::u16string s = text.GetString();
    for (char16_t& c : s)
        if (char16_t kept = cp932_kept_best_fit(c)) c = kept;
    return s.c_str();
}

std::u16string Joined(const std::vector<CString>& pieces) {
    std::u16string s;
    for (const CString& p : pieces) s += p.GetString();
    return s;
}

bool Plain(const std::u16string& s, bool lineFeeds) {
    for (char16_t c : s)
        if (c == 0 || c == u'\r' || (c == u'\n' && !lineFeeds)) return false;
    return true;
}

// The input as owner, table, columns and condition, split at U+001F: a
// condition the save could be asked to write, or false.
bool AsCondition(const std::u16string& text, CString* owner, CString* table, std::vector<CString>* columns,
                 CString* where) {
    std::vector<std::u16string> fields(1);
    for (char16_t c : text) {
        if (c == u'\x1F')
            fields.emplace_back();
        else
            fields.back() += c;
    }
    if (fields.size() < 3) return false;
    *owner = fields[0].c_str();
    *table = fields[1].c_str();
    for (size_t i = 2; i + 1 < fields.size(); ++i) columns->push_back(fields[i].c_str());
    *where = fields.back().c_str();
    // Names are single lines a line's length long at most; no column is the
    // condition's header; the condition's lines are joined by LF.
    for (size_t i = 0; i + 1 < fields.size(); ++i)
        if (!Plain(fields[i], false) || fields[i].size() > 1023) return false;
    for (const CString& c : *columns)
        if (c == u"[WHERE]") return false;
    return Plain(fields.back(), true);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The bytes as a file.
    std::ofstream(FilePath(), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), std::streamsize(size));
    SearchConditionFile read;
    fuzz_check(ReadSearchConditionFile(WidePath().c_str(), &read), "an existing file is read");
    const std::vector<std::u16string> pieces = Pieces();
    CheckSame(read, Model(pieces));
    for (const CString& c : read.columns) fuzz_check(c != u"[WHERE]", "a column is the condition's header");

    // The bytes as UTF-16 units: a condition written and read back.
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2) text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    CString owner, table, where;
    std::vector<CString> columns;
    if (AsCondition(text, &owner, &table, &columns, &where)) {
        bool fits = SearchConditionFits(owner) && SearchConditionFits(table) && SearchConditionFits(where);
        for (const CString& c : columns) fits = fits && SearchConditionFits(c);
        if (fits) {
            TextFile tf;
            fuzz_check(textfile_open(&tf, WidePath().c_str(), u"w") != 0, "the file is written");
            tf.code = CHARCODE_SJIS;
            textfile_write(&tf, SearchConditionText(owner, table, columns, where).c_str());
            textfile_close(&tf);
            SearchConditionFile back;
            fuzz_check(ReadSearchConditionFile(WidePath().c_str(), &back), "the written file is read");
            fuzz_check(back.stop == SearchConditionFile::kComplete, "a written file is complete");
            fuzz_check(!back.swap && !back.hasAlias && back.hasOwner, "a written file's sections");
            fuzz_check(back.owner == Kept(owner), "the owner read back");
            fuzz_check(back.table == Kept(table), "the table read back");
            fuzz_check(back.columns.size() == columns.size(), "the number of columns read back");
            for (size_t i = 0; i < columns.size(); ++i)
                fuzz_check(back.columns[i] == Kept(columns[i]), "a column read back");
            std::u16string crlf;
            for (char16_t c : std::u16string(Kept(where).GetString())) {
                if (c == u'\n') crlf += u'\r';
                crlf += c;
            }
            fuzz_check(Joined(back.where) == crlf, "the condition read back");
        }
    }
    std::remove(FilePath().c_str());
    return 0;
}

// Files the dialog writes and hand-made ones: the section lines, names in
// Japanese, characters the code page lacks or holds only by a look-alike,
// long lines, CR LF and bare line ends; or a condition's fields split by
// U+001F, as UTF-16.
std::string fuzz_generate(std::mt19937_64& rng) {
    static const char16_t* const pieces[] = {u"Tavrelix 検索条件設定ファイル\r\n",
                                             u"--- DO NOT EDIT THIS FILE ---\r\n",
                                             u"[OWNER_NAME]\r\n",
                                             u"[TABLE_NAME]\r\n",
                                             u"[COLUMN_NAME]\r\n",
                                             u"[WHERE]\r\n",
                                             u"[ALIAS_NAME]\r\n",
                                             u"[SWAP_ROW_COL_MODE]\r\n",
                                             u"DEMO",
                                             u"社員",
                                             u"給与 * 12 /*READONLY*/",
                                             u"部署 = '営業部'",
                                             u"\r\n",
                                             u"\n",
                                             u"\r",
                                             u" ",
                                             u"\x1F",
                                             u"¥",
                                             u"〜",
                                             u"−",
                                             u"‖",
                                             u"¢",
                                             u"𠮷",
                                             u"\xD800",
                                             u"ｶﾅ",
                                             u"①"};
    std::u16string s;
    size_t n = rng() % 40;
    for (size_t i = 0; i < n; i++) {
        if (rng() % 16 == 0)
            s += std::u16string(size_t(rng() % 1100), u'x');
        else
            s += pieces[rng() % (sizeof(pieces) / sizeof(pieces[0]))];
    }
    if (rng() % 2) return fuzz_bytes16(s);
    std::string bytes;
    int need = WideCharToMultiByte(932, 0, s.data(), int(s.size()), nullptr, 0, nullptr, nullptr);
    bytes.assign(size_t(need > 0 ? need : 0), '\0');
    if (need > 0) WideCharToMultiByte(932, 0, s.data(), int(s.size()), bytes.data(), need, nullptr, nullptr);
    if (rng() % 8 == 0 && !bytes.empty()) bytes[rng() % bytes.size()] = static_cast<char>(rng());
    return bytes;
}
