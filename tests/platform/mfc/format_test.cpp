#include <gtest/gtest.h>
#include <afx.h>

TEST(Format, RowAndColumnMessage) {
    CString s;
    s.Format(u"[row:%d,col:%d] %s", 3, 14, u"ORA-00942");
    EXPECT_EQ(s, u"[row:3,col:14] ORA-00942");
}
