#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "base/textfile.h"
#include "tb_helpers.h"
#include "testing/driver.h"

namespace {

// A file whose reads throw from the n-th on, or that makes the heap fail
// from the n-th read on.
class TrapFile : public CFile {
public:
    int throwAt = -1;
    int failHeapAt = -1;
    int reads = 0;
    UINT Read(void* buffer, UINT count) override {
        ++reads;
        if (reads == throwAt) AfxThrowFileException(CFileException::genericException);
        if (reads == failHeapAt) heap.emplace(1, true);
        return CFile::Read(buffer, count);
    }
    std::optional<FailingHeap> heap;
};

class Load : public ::testing::Test {
protected:
    void SetUp() override {
        // Message boxes are recorded and answered whatever ran before.
        tvtest::Init();
        tvtest::ClearBoxes();
        char tmpl[] = "/tmp/tavrelix-load-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        path_ = Utf8ToWide((dir_ + "/t.txt").c_str());
    }
    void TearDown() override {
        std::string cmd = "rm -rf '" + dir_ + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
    void Write(CharCode code, LineEndCode le, const std::vector<std::u16string>& lines) {
        TextFile w;
        ASSERT_EQ(textfile_open(&w, path_.c_str(), u"w"), 1);
        textfile_init(&w, w.archive, code, le);
        for (size_t i = 0; i < lines.size(); i++) {
            if (i) textfile_write(&w, w.line_end_text);
            textfile_write(&w, lines[i].c_str());
        }
        textfile_close(&w);
    }
    int LoadInto(CEditData& d, int* code, int* le, TrapFile* file = nullptr) {
        TrapFile own;
        TrapFile* f = file ? file : &own;
        EXPECT_TRUE(f->Open(path_.c_str(), CFile::modeRead));
        CArchive ar(f, CArchive::load);
        int r = d.LoadFile(&ar, code, le);
        ar.Close();
        f->Close();
        return r;
    }
    std::string dir_;
    std::u16string path_;
};

void ExpectFresh(CEditData& d) {
    for (int i = 0; i < d.GetLineCount(); i++) EXPECT_EQ(d.GetLine(i)->modified, -1);
    EXPECT_EQ(d.GetCaret(), (EditPos{0, 0}));
    EXPECT_TRUE(Consistent(d));
    EXPECT_EQ(d.Undo(), 1);
}

} // namespace

TEST_F(Load, EveryCodeAndLineEnd) {
    const std::vector<std::u16string> lines = {u"SELECT * FROM 表 -- 日本語のコメント", u"\tかなカナ漢字ｱｲｳ",
                                               u"", u"①Ⅰ㈱～ end"};
    for (CharCode code : {1, 2, 3, 5, 6, 7, 8, 10, 11}) {
        for (LineEndCode le : {LINE_END_CRLF, LINE_END_LF, LINE_END_CR}) {
            std::vector<std::u16string> text = lines;
            if (code >= CHARCODE_UNICODE) text[3] += u"\U00020BB7";
            Write(code, le, text);
            CEditData d;
            d.InsertText(u"old text\r\nmore");
            int given = code, got = -1;
            EXPECT_EQ(LoadInto(d, &given, &got), 0);
            EXPECT_EQ(given, code);
            EXPECT_EQ(got, le) << "code " << code;
            EXPECT_EQ(Lines(d), text) << "code " << code << " line end " << le;
            ExpectFresh(d);

            int detected = CHARCODE_AUTO;
            CEditData e;
            EXPECT_EQ(LoadInto(e, &detected, &got), 0);
            if (code == CHARCODE_UNICODE) {
                EXPECT_TRUE(detected == CHARCODE_UNICODE || detected == CHARCODE_UNICODE_NOSIG)
                    << code << " gave " << detected;
            }
            if (detected == code || (code == 7 && detected == 5) || (code == 5 && detected == 7)) {
                EXPECT_EQ(Lines(e), text) << "detected code " << code;
                EXPECT_EQ(got, le);
            }
            EXPECT_NE(detected, CHARCODE_AUTO);
            ExpectFresh(e);
        }
    }
}

TEST_F(Load, BlockBoundariesInsideALineAndInsideCrLf) {
    // The CR of the first break is the last byte of the first 4096-byte block.
    std::vector<std::u16string> text = {std::u16string(4095, u'a'), std::u16string(9000, u'b'), u"c"};
    for (int i = 0; i < 50; i++) text.push_back(u"日本語の行 " + std::u16string(i, u'x'));
    Write(CHARCODE_UTF8_NOSIG, LINE_END_CRLF, text);
    CEditData d;
    int code = CHARCODE_UTF8_NOSIG, le = 0;
    EXPECT_EQ(LoadInto(d, &code, &le), 0);
    EXPECT_EQ(Lines(d), text);
    EXPECT_EQ(le, LINE_END_CRLF);
}

TEST_F(Load, EmptyFile) {
    Write(CHARCODE_SJIS, LINE_END_CRLF, {});
    CEditData d;
    d.InsertText(u"x");
    int code = CHARCODE_AUTO, le = -1;
    EXPECT_EQ(LoadInto(d, &code, &le), 0);
    EXPECT_EQ(Lines(d), L({u""}));
    ExpectFresh(d);
}

TEST_F(Load, FailedReadsAndInsertionsReportOne) {
    std::vector<std::u16string> text;
    for (int i = 0; i < 2000; i++) text.push_back(u"line " + Utf8ToWide(std::to_string(i).c_str()));
    Write(CHARCODE_UTF8_NOSIG, LINE_END_LF, text);
    std::u16string all;
    for (size_t i = 0; i < text.size(); i++) all += (i ? u"\n" : u"") + text[i];
    {
        CEditData d;
        TrapFile f;
        f.throwAt = 3;
        int code = CHARCODE_UTF8_NOSIG, le = 0;
        EXPECT_EQ(LoadInto(d, &code, &le, &f), 1);
        std::u16string got = Joined(d);
        EXPECT_GT(got.size(), 0u);
        EXPECT_LT(got.size(), all.size());
        EXPECT_EQ(all.compare(0, got.size(), got), 0);
        ExpectFresh(d);
    }
    {
        CEditData d;
        TrapFile f;
        f.failHeapAt = 4;
        int code = CHARCODE_UTF8_NOSIG, le = 0;
        tvtest::AnswerBox(IDOK);
        int r = LoadInto(d, &code, &le, &f);
        f.heap.reset();
        EXPECT_EQ(r, 1);
        ASSERT_EQ(tvtest::Boxes().size(), 1u);
        EXPECT_EQ(tvtest::Boxes()[0].text, u"メモリが確保できません");
        std::u16string got = Joined(d);
        EXPECT_LT(got.size(), all.size());
        EXPECT_EQ(all.compare(0, got.size(), got), 0);
        EXPECT_TRUE(Consistent(d));
    }
}
