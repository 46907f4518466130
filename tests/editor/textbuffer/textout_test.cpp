#include <gtest/gtest.h>

#include <vector>

#include "editor/nodepool.h"
#include "mfc/memexception.h"
#include "tb_helpers.h"

TEST(TextOut, CrLfRange) {
    CEditData d;
    SetText(d, u"head0\r\nline1\r\ntail2");
    EditPos a{2, 0}, b{3, 2};
    int size = d.GetRangeTextSize(a, b);
    std::vector<char16_t> buf(size / 2 + 8, u'#');
    d.CopyRange(a, b, buf.data());
    EXPECT_EQ(std::u16string(buf.data()), u"ad0\r\nline1\r\ntai");
    EXPECT_EQ(buf[size / 2], u'#');
}

TEST(TextOut, EveryCopyWritesWhatTheSizeAnnounced) {
    CEditData d;
    SetText(d, u"ab\U0002000Bc\r\n\r\nxyz\r\n");
    for (uint32_t type : {LINEEND_CRLF, LINEEND_LF, LINEEND_CR}) {
        d.SetLineEndType(type);
        for (int l1 = -1; l1 <= 4; l1++)
            for (int c1 = -1; c1 <= 6; c1++)
                for (int l2 = -1; l2 <= 4; l2++)
                    for (int c2 = -1; c2 <= 6; c2++) {
                        EditPos a{c1, l1}, b{c2, l2};
                        int size = d.GetRangeTextSize(a, b);
                        ASSERT_GE(size, 2);
                        std::vector<char16_t> buf(size / 2 + 4, u'#');
                        d.CopyRange(a, b, buf.data());
                        ASSERT_EQ(buf[size / 2 - 1], 0);
                        ASSERT_EQ(buf[size / 2], u'#');
                        ASSERT_EQ(std::u16string(buf.data()).size(), static_cast<size_t>(size / 2 - 1));
                    }
    }
}

TEST(TextOut, AdvancePositionStopsAtTheEnd) {
    CEditData d;
    SetText(d, u"abc\r\nde");
    EditPos p{1, 0};
    d.AdvancePosition(&p, 3);
    EXPECT_EQ(p, (EditPos{0, 1}));
    d.AdvancePosition(&p, 100);
    EXPECT_EQ(p, (EditPos{2, 1}));
    p = EditPos{3, 0};
    d.AdvancePosition(&p, 0);
    EXPECT_EQ(p, (EditPos{3, 0}));
}

TEST(TextOut, AllTextForEachLineEnd) {
    CEditData d;
    SetText(d, u"a\r\n\r\nbc");
    for (auto [type, text] :
         {std::pair{LINEEND_CRLF, u"a\r\n\r\nbc"}, {LINEEND_LF, u"a\n\nbc"}, {LINEEND_CR, u"a\r\rbc"}}) {
        d.SetLineEndType(type);
        EXPECT_EQ(std::u16string(d.GetAllText().GetString()), text);
    }
    d.SetLineEndType(7);
    EXPECT_EQ(d.m_lineEndType, LINEEND_CRLF);
    EXPECT_EQ(d.GetAllText().GetLength(), 7);
}

TEST(TextOut, ExpandTemplateCountsABreakAsOneUnit) {
    CEditData d;
    SetText(d, u"xab\r\ncdy");
    Regex* re = regex_compile(u"(ab\\ncd)", 0);
    ASSERT_NE(re, nullptr);
    RegexPos s{0, 0}, e{0, 0};
    ASSERT_EQ(regex_search(re, &d.m_regexOps, &s, &e, RegexPos{-1, 0}), 1);
    int64_t len = d.m_regexOps.distance(&d, &s, &e);
    EXPECT_EQ(len, 5);
    CString out = d.ExpandTemplate(EditPos{static_cast<int32_t>(s.column), static_cast<int32_t>(s.line)}, len,
                                   u"[$&]<$1>", re);
    EXPECT_EQ(std::u16string(out.GetString()), u"[ab\ncd]<ab\ncd>");
    regex_destroy(re);
}

TEST(TextOut, FailedAllocationThrowsMemoryException) {
    CEditData d;
    SetText(d, u"abc");
    FailingHeap heap(1, true);
    bool thrown = false;
    try {
        d.GetAllText();
    } catch (CMemoryException* e) {
        thrown = true;
        e->Delete();
    }
    EXPECT_TRUE(thrown);
}
