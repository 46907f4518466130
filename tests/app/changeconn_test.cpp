// "接続先を変更..." with a cell still open in the in-place editor: the edit
// is ended first, so it counts, the question covers it, and No keeps it.
#include "docview_fixture.h"

namespace {

using namespace apptest;

TEST_F(DocViewTest, ChangingTheConnectionEndsTheOpenEditBeforeItAsks) {
    Load(u"社員");
    ASSERT_TRUE(doc->IsTableLoaded()) << BoxTexts();
    ASSERT_FALSE(doc->HasUnsavedEdits());
    CGridCtrl& grid = view->m_grid;
    grid.SetFocus();
    grid.SetCursorCell(1, 0);
    const std::u16string before = doc->m_data.GetText(0, 1);
    ASSERT_EQ(grid.StartEdit(0, 1), 1);
    tvtest::Type(GetFocus(), u"様");
    tvtest::Pump();
    ASSERT_TRUE(grid.IsCellEditorVisible());
    ASSERT_FALSE(doc->HasUnsavedEdits()) << "the typed text is still in the editor";
    OraSession* session = g_session;
    tvtest::AnswerBox(IDNO);
    frame->SendMessage(WM_COMMAND, ID_FILE_CHANGE_CONNECTION);
    tvtest::Pump();
    ASSERT_EQ(tvtest::Boxes().size(), 1u) << BoxTexts();
    EXPECT_EQ(tvtest::Boxes()[0].caption, u"MESSAGE");
    EXPECT_EQ(Narrow(tvtest::Boxes()[0].text.c_str()), "編集中のデータは保存されません。よろしいですか？");
    EXPECT_FALSE(grid.IsCellEditorVisible());
    EXPECT_TRUE(doc->HasUnsavedEdits());
    EXPECT_EQ(doc->m_data.GetText(0, 1), before + u"様");
    // No: the session and the data stay.
    EXPECT_EQ(g_session, session);
    EXPECT_TRUE(doc->IsTableLoaded());
}

} // namespace
