#include <gtest/gtest.h>

#include <afxwin.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "base/textfile.h"
#include "editor/editdata.h"
#include "editor/sqlsplit.h"
#include "editor/sqltoken.h"
#include "../box_recorder.h"
#include "tok_helpers.h"

using namespace tok_test;
namespace fs = std::filesystem;

namespace {

std::string read_file(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void load_text(CEditData& d, const std::u16string& text) {
    ASSERT_EQ(d.InsertTextAtCaret(text.c_str()), 0);
}

// Reads bytes through the text-file reader (code detected), as the start-up
// runner's buffer would hold them.
std::u16string read_as_text_file(const std::string& bytes) {
    TempFile f(bytes, "sql");
    TextFile file;
    EXPECT_EQ(textfile_open(&file, f.wpath().c_str(), u"r"), 1);
    std::u16string text;
    char16_t piece[256];
    while (textfile_gets(&file, piece, 256)) text += piece;
    textfile_close(&file);
    return text;
}

// A tokenizer of another class: the splitter reaches it through its virtual
// calls only, never through the SQL tokenizer's own shortcuts.
struct DerivedSqlToken : CSQLStrToken {};

// Splits the script to its end; one block per call.
std::string split_all(const std::u16string& script, CStrToken* tok = &theSqlStrToken) {
    CEditData d;
    load_text(d, script);
    SqlBuf buf{tok, nullptr, 0, nullptr, 5};
    std::string out;
    int line = 0, calls = 0;
    const int count = d.GetLineCount();
    while (line < count) {
        int next = GetNextSqlStatement(&buf, line, &d);
        calls++;
        EXPECT_GT(next, line);
        EXPECT_LE(next, count);
        EXPECT_LE(calls, count + 1);
        if (next <= line) break;
        out += "call " + std::to_string(calls) + ": next " + std::to_string(next) + " kind " +
               std::to_string(buf.kind) + " token " +
               (buf.firstToken ? std::to_string(buf.firstToken - buf.text) : std::string("none")) + "\n";
        std::u16string text(buf.text);
        size_t start = 0;
        for (;;) {
            size_t lf = text.find(u'\n', start);
            out += "  |" + utf8(text.substr(start, lf == std::u16string::npos ? lf : lf - start)) + "|\n";
            if (lf == std::u16string::npos) break;
            start = lf + 1;
        }
        line = next;
    }
    FreeSqlBuf(&buf);
    EXPECT_EQ(buf.kind, 5);
    return out;
}

} // namespace

TEST(Splitter, Corpus) {
    bool update = std::getenv("TAVRELIX_UPDATE_CORPUS") != nullptr;
    int scripts = 0;
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(TAVRELIX_SPLITTER_CORPUS))
        if (e.path().extension() == ".sql") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& sql : files) {
        SCOPED_TRACE(sql.filename().string());
        std::u16string script = decode_utf8(read_file(sql));
        if (!script.empty() && script.back() == u'\n') script.pop_back();
        std::string actual = split_all(script);
        fs::path expected = sql;
        expected.replace_extension(".expected");
        if (update) {
            std::ofstream(expected, std::ios::binary) << actual;
        } else {
            EXPECT_EQ(actual, read_file(expected));
        }
        DerivedSqlToken derived;
        EXPECT_EQ(split_all(script, &derived), actual) << "through the virtual calls";
        // CR LF and CP932 twins split alike.
        std::u16string crlf;
        for (char16_t c : script) crlf += c == u'\n' ? std::u16string(u"\r\n") : std::u16string(1, c);
        std::string cp932 = encode(crlf, 932);
        std::u16string back(cp932.size() + 1, u'\0');
        back.resize(static_cast<size_t>(
            MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()),
                                reinterpret_cast<LPWSTR>(back.data()), static_cast<int>(back.size()))));
        if (back == crlf) {
            EXPECT_EQ(split_all(read_as_text_file(cp932)), actual);
        }
        EXPECT_EQ(split_all(read_as_text_file("\xEF\xBB\xBF" + utf8(crlf))), actual);
        scripts++;
    }
    EXPECT_GE(scripts, 16);
}

namespace {
void* fail_realloc(void*, size_t) {
    return nullptr;
}
} // namespace

TEST(Splitter, BufferGrowthAndOutOfMemory) {
    BoxRecorder boxes;
    SqlBuf buf{&theSqlStrToken, nullptr, 0, nullptr, 5};
    ASSERT_TRUE(AllocSqlBuf(&buf, 1024));
    EXPECT_EQ(buf.capacity, 2048);
    buf.firstToken = buf.text;
    ASSERT_TRUE(AllocSqlBuf(&buf, 2047));
    EXPECT_EQ(buf.firstToken, buf.text); // below the capacity nothing happens
    ASSERT_TRUE(AllocSqlBuf(&buf, 2048));
    EXPECT_EQ(buf.capacity, 4096);
    EXPECT_EQ(buf.firstToken, nullptr);
    ASSERT_TRUE(AllocSqlBuf(&buf, 10000));
    EXPECT_EQ(buf.capacity, 16384);
    EXPECT_FALSE(AllocSqlBuf(&buf, int64_t{1} << 40)); // cannot be held
    EXPECT_EQ(buf.capacity, 0);

    // A long statement grows the buffer across calls.
    CEditData d;
    std::u16string big = u"select\n" + std::u16string(5000, u'x') + u"\nfrom dual;\nselect 2 from dual;";
    load_text(d, big);
    EXPECT_EQ(GetNextSqlStatement(&buf, 0, &d), 3);
    EXPECT_EQ(buf.kind, 2);
    EXPECT_GE(buf.capacity, 8192);
    EXPECT_EQ(buf.firstToken, buf.text);
    EXPECT_EQ(boxes.last.count, 1); // from the huge request above
    EXPECT_EQ(boxes.last.owner, nullptr) << "no application object";
    FreeSqlBuf(&buf);
    EXPECT_EQ(buf.kind, 5);
    EXPECT_EQ(buf.text, nullptr);

    // With a main window the box is its.
    CWnd main;
    ASSERT_TRUE(
        main.CreateEx(0, AfxRegisterWndClass(0), u"main", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr));
    {
        CWinApp app;
        app.m_pMainWnd = &main;
        sqlbuf_realloc_hook = fail_realloc;
        EXPECT_EQ(GetNextSqlStatement(&buf, 0, &d), -1);
        sqlbuf_realloc_hook = nullptr;
    }
    EXPECT_EQ(boxes.last.count, 2);
    EXPECT_EQ(boxes.last.owner, main.GetSafeHwnd());
    EXPECT_EQ(boxes.last.text, u"メモリが確保できません(error in AllocSqlBuf())");
    EXPECT_EQ(boxes.last.caption, u"メッセージ");
    EXPECT_EQ(boxes.last.type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(buf.capacity, 0);
    FreeSqlBuf(&buf);
    main.DestroyWindow();
}

TEST(Splitter, PlsqlBlockStarts) {
    // clang-format off
    const std::pair<const char16_t*, int> cases[] = {
        {u"begin", 1}, {u"  Declare x", 1}, {u"<<l>> begin", 1}, {u"<<l begin", 0},
        {u"create or replace procedure s.p is", 1}, {u"create or procedure p", 0},
        {u"create package body p", 1}, {u"create function", 0}, {u"create functions f", 0},
        {u"create java /* c */ x", 1}, {u"create table t", 0}, {u"beginning", 0}, {u"", 0}};
    // clang-format on
    for (const auto& [text, start] : cases)
        EXPECT_EQ(theSqlStrToken.isPlsqlBlockStart(text), start) << utf8(text);
}
