// The table-selection dialog's rules on their own: the "WHERE " prefix, how
// "Where句へコピー" inserts a name, the statement.
#include <gtest/gtest.h>

#include "app/dialogs/tablelistdlg.h"
#include "base/utf16.h"

namespace {

const CStrToken* Tok() {
    return &theSqlStrToken;
}

TEST(WherePrefix, FirstWordAfterBlanksAndCommentsDecides) {
    EXPECT_EQ(TableList_NeedsWherePrefix(u" \t\r\n-- note\n/* x */ order by 1", Tok()), 0);
    EXPECT_EQ(TableList_NeedsWherePrefix(u"id = 1", Tok()), 1);
    EXPECT_EQ(TableList_NeedsWherePrefix(u"", Tok()), 0);
    EXPECT_EQ(TableList_NeedsWherePrefix(u"  \n ", Tok()), 0);
    EXPECT_EQ(TableList_NeedsWherePrefix(u"Where id = 1", Tok()), 0);
    EXPECT_EQ(TableList_NeedsWherePrefix(u"ORDER BY id", Tok()), 0);
    EXPECT_EQ(TableList_NeedsWherePrefix(u"ordered = 1", Tok()), 1);
    EXPECT_EQ(TableList_NeedsWherePrefix(u"部署 = '営業部'", Tok()), 1);
}

TEST(CopyToWhere, InsertsByTheCharactersAroundTheCaret) {
    // A word character at the caret: nothing.
    EXPECT_EQ(TableList_CopyForm(u'x', u' ', Tok()), 0);
    EXPECT_EQ(TableList_CopyForm(u'社', u' ', Tok()), 0);
    // At a delimiter or the end: by the character before.
    EXPECT_EQ(TableList_CopyForm(0, u'=', Tok()), 1);
    EXPECT_EQ(TableList_CopyForm(0, 0, Tok()), 1);
    EXPECT_EQ(TableList_CopyForm(u' ', u'(', Tok()), 1);
    EXPECT_EQ(TableList_CopyForm(0, u'a', Tok()), 2);
    EXPECT_EQ(TableList_CopyForm(0, u'"', Tok()), 2);
    EXPECT_EQ(TableList_CopyForm(0, u'社', Tok()), 2);
    EXPECT_EQ(TableList_CopyForm(0, 0x3001, Tok()), 1);
    EXPECT_EQ(TableList_CopyForm(0xFF0C, u'a', Tok()), 2);
}

TEST(CopyToWhere, QuotesOnlyNamesThatNeedIt) {
    EXPECT_TRUE(utf16_needs_quotes(u"emp"));
    EXPECT_FALSE(utf16_needs_quotes(u"EMP_NO"));
    EXPECT_FALSE(utf16_needs_quotes(u"社員番号"));
}

TEST(Statement, TableIndexOrganisedReadOnlyAndLock) {
    std::vector<CString> cols = {u"社員番号", u"給与 * 12 /*READONLY*/"};
    EXPECT_EQ(
        WideToUtf8(TableList_BuildSelect(cols, {}, u"DEMO", u"社員", u"a", u"WHERE 1 = 1", 0).GetString()),
        "select a.\"社員番号\", 給与 * 12 /*READONLY*/, rowid \nfrom \"DEMO\".\"社員\" a \nWHERE 1 = 1");
    EXPECT_EQ(WideToUtf8(TableList_BuildSelect({u"商品名"}, {u"受注番号", u"明細番号"}, u"DEMO", u"受注明細",
                                               u"a", u"", 0)
                             .GetString()),
              "select a.\"商品名\", 'X' as \"ROWID\" , a.\"受注番号\", a.\"明細番号\" \nfrom "
              "\"DEMO\".\"受注明細\" a \n");
    // The lock clause on a line of its own survives a trailing comment.
    EXPECT_EQ(
        WideToUtf8(
            TableList_BuildSelect({u"ID"}, {}, u"DEMO", u"T", u"t", u"WHERE 1 = 1 -- note", 1).GetString()),
        "select t.\"ID\", rowid \nfrom \"DEMO\".\"T\" t \nWHERE 1 = 1 -- note\n for update nowait");
}

} // namespace
