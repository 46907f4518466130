#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "testmodel.h"
#include "tests/base/filefault.h"

namespace {

std::u16string S(const char16_t* s) {
    return s ? std::u16string(s) : std::u16string();
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::u16string U(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

struct TempDir {
    std::string path;
    TempDir() {
        char tmpl[] = "/tmp/gridtestXXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempDir() { std::system(("rm -rf " + path).c_str()); }
    std::string File(const char* name) const { return path + "/" + name; }
};

} // namespace

TEST(GridProcess, UnchangedCellsLeaveNoStep) {
    VectorGridData g(3, 2);
    g.cells[0][0] = u"ABC";
    g.cells[1][0] = u"DEF";
    g.Bind();
    g.m_sel1 = POINT{0, 0};
    g.m_sel2 = POINT{0, 1};
    EXPECT_EQ(g.ToUpper(), 0);
    EXPECT_FALSE(g.CanUndo());
    EXPECT_EQ(g.ToLower(), 2);
    EXPECT_EQ(S(g.GetText(1, 0)), u"def");
    EXPECT_EQ(g.Undo(), 0);
    EXPECT_EQ(S(g.GetText(0, 0)), u"ABC");
    EXPECT_EQ(S(g.GetText(1, 0)), u"DEF");
    EXPECT_FALSE(g.CanUndo());
    // Width conversions through the same path.
    g.cells[2][1] = u"ＡＢ１";
    g.m_sel1 = POINT{0, -1};
    g.SetCursor(2, 1);
    EXPECT_EQ(g.ToHankaku(1, 1), 1);
    EXPECT_EQ(S(g.GetText(2, 1)), u"AB1");
    EXPECT_EQ(g.ToZenkaku(1, 1), 1);
    EXPECT_EQ(S(g.GetText(2, 1)), u"ＡＢ１");
}

TEST(GridProcess, InputSequenceSkipsReadOnlyAndStopsBeforeOverflow) {
    VectorGridData g(2, 4);
    g.Bind();
    g.m_colFlags[1] = 0; // read-only column
    g.m_sel1 = POINT{0, 0};
    g.m_sel2 = POINT{3, 0};
    g.InputSequence(10, 5);
    EXPECT_EQ(S(g.GetText(0, 0)), u"10");
    EXPECT_EQ(S(g.GetText(0, 1)), u"0-1");
    EXPECT_EQ(S(g.GetText(0, 2)), u"15");
    EXPECT_EQ(S(g.GetText(0, 3)), u"20");
    g.m_sel1 = POINT{0, 1};
    g.m_sel2 = POINT{3, 1};
    g.InputSequence(INT64_MAX - 5, 10);
    EXPECT_EQ(S(g.GetText(1, 0)), u"9223372036854775802");
    EXPECT_EQ(S(g.GetText(1, 2)), u"1-2");
    EXPECT_EQ(S(g.GetText(1, 3)), u"1-3");
    // Read-only model or cursor outside: nothing.
    CGridData dummy;
    EXPECT_EQ(dummy.ToUpper(), 0);
}

TEST(GridProcess, Statistics) {
    VectorGridData g(4, 2);
    g.kinds[0] = 0;
    g.cells[0][0] = u"1";
    g.cells[1][0] = u"2";
    g.cells[2][0] = u"4";
    g.nulls[3][0] = 1;
    g.cells[0][1] = u"pear";
    g.cells[1][1] = u"apple";
    g.cells[2][1] = u"zoo";
    g.nulls[3][1] = 1;
    g.Bind();
    POINT a{0, 0}, b{0, 3};
    EXPECT_EQ(S(g.GetCalcText(GRID_CALC_AVG, a, b)), u"平均:2.3");
    EXPECT_EQ(S(g.GetCalcText(GRID_CALC_SUM, b, a)), u"合計:7");
    EXPECT_EQ(S(g.GetCalcText(GRID_CALC_MIN, a, b)), u"最小値:1");
    EXPECT_EQ(S(g.GetCalcText(GRID_CALC_ROWS, a, b)), u"行数:4");
    g.cells[0][0] = u"-5";
    g.cells[1][0] = u"-2";
    g.cells[2][0] = u"-1234567";
    POINT cell{};
    int dec = 0;
    EXPECT_EQ(g.GetCalcValue(GRID_CALC_MAX, a, POINT{0, 1}, &cell, &dec), -2);
    EXPECT_EQ(cell.y, 1);
    EXPECT_EQ(S(g.GetCalcText(GRID_CALC_MAX, a, POINT{0, 1})), u"最大値:-2");
    EXPECT_EQ(S(g.GetCalcText(GRID_CALC_MIN, a, b)), u"最小値:-1,234,567");
    g.cells[0][0] = u"1.25";
    EXPECT_EQ(S(g.GetCalcText(GRID_CALC_SUM, a, POINT{0, 1})), u"合計:-0.75");
    // Text columns: only maximum and minimum, by units.
    POINT t1{1, 0}, t2{1, 3};
    EXPECT_EQ(S(g.GetCalcText(GRID_CALC_MAX, t1, t2)), u"最大値:zoo");
    EXPECT_EQ(S(g.GetCalcText(GRID_CALC_MIN, t1, t2)), u"最小値:apple");
    EXPECT_EQ(S(g.GetCalcText(GRID_CALC_SUM, t1, t2)), u"");
    // Only NULLs: nothing to show.
    EXPECT_EQ(S(g.GetCalcText(GRID_CALC_SUM, POINT{0, 3}, POINT{0, 3})), u"");
}

TEST(GridProcess, FormatThousands) {
    EXPECT_EQ(S(CGridData::FormatThousands(1234567.5, 1, nullptr)), u"1,234,567.5");
    EXPECT_EQ(S(CGridData::FormatThousands(-1234, 0, nullptr)), u"-1,234");
    EXPECT_EQ(S(CGridData::FormatThousands(0, 0, u"-123.4567")), u"-123.4567");
    EXPECT_EQ(S(CGridData::FormatThousands(0, 0, u"1000000")), u"1,000,000");
    EXPECT_EQ(S(CGridData::FormatThousands(0, 2, nullptr)), u"0.00");
}

namespace {

VectorGridData* ExportModel() {
    auto* g = new VectorGridData(2, 2);
    g->cells[0][0] = u"a\"b";
    g->nulls[0][1] = 1;
    g->cells[1][0] = u"日本";
    g->cells[1][1] = u"x";
    g->Bind();
    return g;
}

} // namespace

TEST(GridExport, GoldenBytes) {
    TempDir dir;
    std::unique_ptr<VectorGridData> g(ExportModel());
    CString err;
    std::string f = dir.File("out.csv");
    std::u16string path = U(f);
    ASSERT_EQ(g->ExportToFile(path.c_str(), CHARCODE_UTF8_NOSIG, LINE_END_CRLF, 0, 1, 1, &err), 1);
    EXPECT_EQ(ReadFile(f), "\"c0\",\"c1\"\r\n\"a\"\"b\",\r\n\"\xE6\x97\xA5\xE6\x9C\xAC\",\"x\"\r\n");
    ASSERT_EQ(g->ExportToFile(path.c_str(), CHARCODE_UTF8, LINE_END_LF, 1, 0, 0, &err), 1);
    EXPECT_EQ(ReadFile(f), "\xEF\xBB\xBF"
                           "a\"b\t\n\xE6\x97\xA5\xE6\x9C\xAC\tx\n");
    ASSERT_EQ(g->ExportToFile(path.c_str(), CHARCODE_SJIS, LINE_END_CR, 0, 0, 1, &err), 1);
    EXPECT_EQ(ReadFile(f), "\"a\"\"b\",\r\"\x93\xFA\x96\x7B\",\"x\"\r");
    ASSERT_EQ(g->ExportToFile(path.c_str(), CHARCODE_UNICODE_NOSIG, LINE_END_LF, 1, 1, 0, &err), 1);
    std::u16string want = u"c0\tc1\na\"b\t\n日本\tx\n";
    EXPECT_EQ(ReadFile(f), std::string(reinterpret_cast<const char*>(want.data()), want.size() * 2));
}

TEST(GridExport, Failures) {
    TempDir dir;
    std::unique_ptr<VectorGridData> g(ExportModel());
    CString err;
    std::u16string missing = U(dir.File("no/such.csv"));
    EXPECT_EQ(g->ExportToFile(missing.c_str(), CHARCODE_UTF8, LINE_END_CRLF, 0, 1, 1, &err), 0);
    EXPECT_EQ(S(err), u"Error: File can not open (" + missing + u")");

    std::string keep = dir.File("keep.txt");
    {
        std::ofstream out(keep);
        out << "precious";
    }
    std::u16string keepPath = U(keep);
    EXPECT_EQ(g->ExportToFile(keepPath.c_str(), CHARCODE_UTF8, LINE_END_CRLF, 2, 1, 1, &err), 0);
    EXPECT_EQ(ReadFile(keep), "precious");

    err.Empty();
    EXPECT_EQ(g->ExportToFile(u"/dev/full", CHARCODE_UTF8, LINE_END_CRLF, 0, 1, 1, &err), 0);
    EXPECT_NE(S(err).find(u"/dev/full"), std::u16string::npos);

    g->cells[1][1] = u"a\U0001F600b";
    int replaced = -1;
    std::u16string path = U(dir.File("sjis.csv"));
    EXPECT_EQ(g->ExportToFile(path.c_str(), CHARCODE_SJIS, LINE_END_CRLF, 0, 0, 0, &err, &replaced), 1);
    EXPECT_EQ(replaced, 1);
}

// An export that fails part of the way (the disk fills) leaves the file the
// user agreed to overwrite as it was, and nothing of the new one; the error
// names the file. One that succeeds replaces the old file whole.
TEST(GridExport, AFailedExportKeepsTheOldFileAndLeavesNoPart) {
    TempDir dir;
    VectorGridData g(4000, 5); // some 100 KB of fields
    for (auto& row : g.cells)
        for (auto& cell : row) cell += u"データ";
    g.Bind();
    const std::string file = dir.File("out.csv");
    std::string old;
    for (int i = 0; old.size() < 8893; ++i) old += "old," + std::to_string(i) + "\r\n";
    old.resize(8893);
    std::ofstream(file, std::ios::binary) << old;
    const std::u16string path = U(file);
    CString err;
    for (CharCode code : {CHARCODE_UTF8_NOSIG, CHARCODE_SJIS, CHARCODE_UNICODE}) {
        filefault::FileSizeLimit disk(65536);
        ASSERT_TRUE(disk.active());
        EXPECT_EQ(g.ExportToFile(path.c_str(), code, LINE_END_CRLF, 0, 1, 1, &err), 0) << code;
        EXPECT_EQ(S(err), u"Error: File can not write (" + path + u")");
        EXPECT_EQ(ReadFile(file), old) << code;
        EXPECT_EQ(filefault::Names(dir.path), std::set<std::string>{"out.csv"}) << code;
    }
    // A short export that fails only in its last, flushed buffer.
    VectorGridData small(20, 2);
    small.Bind();
    {
        filefault::FileSizeLimit disk(64);
        EXPECT_EQ(small.ExportToFile(path.c_str(), CHARCODE_UTF8_NOSIG, LINE_END_LF, 0, 0, 0, &err), 0);
    }
    EXPECT_EQ(ReadFile(file), old);
    EXPECT_EQ(filefault::Names(dir.path), std::set<std::string>{"out.csv"});

    ASSERT_EQ(small.ExportToFile(path.c_str(), CHARCODE_UTF8_NOSIG, LINE_END_LF, 0, 0, 0, &err), 1);
    std::string want;
    for (int r = 0; r < 20; ++r) want += std::to_string(r) + "-0," + std::to_string(r) + "-1\n";
    EXPECT_EQ(ReadFile(file), want);
    EXPECT_EQ(filefault::Names(dir.path), std::set<std::string>{"out.csv"});
}
