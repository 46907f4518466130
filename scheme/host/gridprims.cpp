// The grid primitives: scripts read and change the table of the active
// document through its view's grid window, whose own operations record every
// edit for undo and mark the rows as typing does; and the hooks that put a
// whole macro run into one undo group of the grid's model.
#include <afxwin.h>

#include "app/mainfrm.h"
#include "app/tavexdoc.h"
#include "app/tavexview.h"
#include "editor/editctrl.h"
#include "editor/undo.h"
#include "grid/gridctrl.h"
#include "scheme/host/macrohost.h"
#include "scheme/sch_impl.h"

namespace {

CTavexDoc* ActiveDocument(SchemeInterpreter* sc) {
    auto* frame = dynamic_cast<CMainFrame*>(macro_main_frame(sc));
    if (!frame) return nullptr;
    return dynamic_cast<CTavexDoc*>(frame->GetActiveDocument());
}

CGridCtrl* ActiveGrid(SchemeInterpreter* sc) {
    CTavexDoc* doc = ActiveDocument(sc);
    if (!doc) return nullptr;
    POSITION pos = doc->GetFirstViewPosition();
    while (pos) {
        if (auto* view = dynamic_cast<CTavexView*>(doc->GetNextView(pos))) {
            CGridCtrl* grid = &view->m_grid;
            return ::IsWindow(grid->GetSafeHwnd()) && grid->GetData() ? grid : nullptr;
        }
    }
    return nullptr;
}

// The cell is inside the shown model; compared as 64-bit numbers, so a row
// beyond the 32-bit range never wraps into it.
bool InBounds(CGridCtrl* grid, int64_t row, int64_t col) {
    CGridData* d = grid->GetData();
    return row >= 0 && row < d->GetRowCount() && col >= 0 && col < d->GetColCount();
}

SchemeCell* Replace(SchemeInterpreter* sc, SchemeCell** args, int matchCase, int inSelection) {
    CGridCtrl* grid = ActiveGrid(sc);
    if (!grid) return sc->F;
    const char16_t* pattern = sch_string_text(args[0]);
    const char16_t* replacement = sch_string_text(args[1]);
    if (!grid->GetData()->IsEditable()) return mk_integer(sc, 0);
    if (inSelection && grid->IsCellEditorVisible()) {
        grid->m_editWnd->ReplaceAll(pattern, replacement, matchCase, 1, 1, 1);
        grid->PostDataChanged();
        return mk_integer(sc, 0);
    }
    int count = 0;
    grid->ReplaceAll(pattern, replacement, matchCase, 1, 1, inSelection, &count);
    grid->PostDataChanged();
    return mk_integer(sc, count);
}

} // namespace

SchemeCell* gp_set_topleft_cell_color(SchemeInterpreter* sc, SchemeCell** args, int count) {
    CGridCtrl* grid = ActiveGrid(sc);
    if (!grid) return sc->F;
    grid->SetTopLeftCellColor(count > 0 ? static_cast<COLORREF>(args[0]->a.ival) : static_cast<COLORREF>(-1));
    return sc->T;
}

SchemeCell* gp_select_all(SchemeInterpreter* sc, SchemeCell**, int) {
    CGridCtrl* grid = ActiveGrid(sc);
    if (!grid) return sc->F;
    grid->SelectAll();
    return sc->T;
}

SchemeCell* gp_replace_string(SchemeInterpreter* sc, SchemeCell** args, int) {
    return Replace(sc, args, 1, 0);
}

SchemeCell* gp_replace_string_ci(SchemeInterpreter* sc, SchemeCell** args, int) {
    return Replace(sc, args, 0, 0);
}

SchemeCell* gp_replace_selected_string(SchemeInterpreter* sc, SchemeCell** args, int) {
    return Replace(sc, args, 1, 1);
}

SchemeCell* gp_replace_selected_string_ci(SchemeInterpreter* sc, SchemeCell** args, int) {
    return Replace(sc, args, 0, 1);
}

SchemeCell* gp_get_row_cnt(SchemeInterpreter* sc, SchemeCell**, int) {
    CTavexDoc* doc = ActiveDocument(sc);
    return doc ? mk_integer(sc, doc->m_data.GetRowCount()) : sc->F;
}

SchemeCell* gp_get_col_cnt(SchemeInterpreter* sc, SchemeCell**, int) {
    CTavexDoc* doc = ActiveDocument(sc);
    return doc ? mk_integer(sc, doc->m_data.GetColCount()) : sc->F;
}

SchemeCell* gp_get_table_name(SchemeInterpreter* sc, SchemeCell**, int) {
    CTavexDoc* doc = ActiveDocument(sc);
    return doc ? mk_string(sc, doc->m_table) : sc->F;
}

SchemeCell* gp_get_column_name(SchemeInterpreter* sc, SchemeCell** args, int) {
    CTavexDoc* doc = ActiveDocument(sc);
    int64_t col = args[0]->a.ival;
    if (!doc || col < 0 || col >= doc->m_data.GetColCount()) return sc->F;
    const char16_t* name = doc->m_data.GetColName(static_cast<int>(col));
    return mk_string(sc, name ? name : u"");
}

SchemeCell* gp_get_cur_row(SchemeInterpreter* sc, SchemeCell**, int) {
    CGridCtrl* grid = ActiveGrid(sc);
    return grid ? mk_integer(sc, grid->GetData()->m_curRow) : sc->F;
}

SchemeCell* gp_get_cur_col(SchemeInterpreter* sc, SchemeCell**, int) {
    CGridCtrl* grid = ActiveGrid(sc);
    return grid ? mk_integer(sc, grid->GetData()->m_curCol) : sc->F;
}

SchemeCell* gp_set_row_col(SchemeInterpreter* sc, SchemeCell** args, int) {
    CGridCtrl* grid = ActiveGrid(sc);
    int64_t row = args[0]->a.ival, col = args[1]->a.ival;
    if (!grid || !InBounds(grid, row, col)) return sc->F;
    grid->MoveCursor(POINT{static_cast<LONG>(col), static_cast<LONG>(row)}, 1, 0);
    return sc->T;
}

SchemeCell* gp_get_cell_string(SchemeInterpreter* sc, SchemeCell** args, int) {
    CGridCtrl* grid = ActiveGrid(sc);
    int64_t row = args[0]->a.ival, col = args[1]->a.ival;
    if (!grid || !InBounds(grid, row, col)) return sc->F;
    const char16_t* text = grid->GetData()->GetText(static_cast<int>(row), static_cast<int>(col));
    return mk_string(sc, text ? text : u"");
}

SchemeCell* gp_set_cell_string(SchemeInterpreter* sc, SchemeCell** args, int) {
    CGridCtrl* grid = ActiveGrid(sc);
    int64_t row = args[0]->a.ival, col = args[1]->a.ival;
    if (!grid || !InBounds(grid, row, col)) return sc->F;
    // A read-only cell (an expression column, a read-only table) keeps its
    // text: the grid window's setter writes through the model unchecked.
    if (!grid->GetData()->IsCellEditable(static_cast<int>(row), static_cast<int>(col))) return sc->T;
    grid->SetCellText(static_cast<int>(row), static_cast<int>(col), sch_string_text(args[2]), -1);
    return sc->T;
}

SchemeCell* gp_get_selected_area(SchemeInterpreter* sc, SchemeCell**, int) {
    CGridCtrl* grid = ActiveGrid(sc);
    if (!grid || !grid->HasSelection()) return sc->F;
    CGridData* d = grid->GetData();
    int32_t saved = sc->gcDisabled;
    sc->gcDisabled = 1;
    struct Enable {
        SchemeInterpreter* sc;
        int32_t saved;
        ~Enable() { sc->gcDisabled = saved; }
    } enable{sc, saved};
    SchemeCell* list = cons(sc, mk_integer(sc, d->m_sel2.x), sc->NIL);
    list = cons(sc, mk_integer(sc, d->m_sel2.y), list);
    list = cons(sc, mk_integer(sc, d->m_sel1.x), list);
    return cons(sc, mk_integer(sc, d->m_sel1.y), list);
}

SchemeCell* gp_set_select_area(SchemeInterpreter* sc, SchemeCell** args, int) {
    CGridCtrl* grid = ActiveGrid(sc);
    int64_t r1 = args[0]->a.ival, c1 = args[1]->a.ival, r2 = args[2]->a.ival, c2 = args[3]->a.ival;
    if (!grid || !InBounds(grid, r1, c1) || !InBounds(grid, r2, c2)) return sc->F;
    POINT first{static_cast<LONG>(c1), static_cast<LONG>(r1)};
    POINT second{static_cast<LONG>(c2), static_cast<LONG>(r2)};
    grid->SetSelectArea(first, first, second);
    return sc->T;
}

void macro_begin_grid_undo_group(SchemeInterpreter* sc) {
    MacroHost* h = macro_host(sc);
    CGridCtrl* grid = ActiveGrid(sc);
    h->undoGroup = grid ? grid->GetData()->GetUndoBuffer() : nullptr;
    if (h->undoGroup) h->undoGroup->BeginGroup(0);
}

void macro_end_grid_undo_group(SchemeInterpreter* sc) {
    MacroHost* h = macro_host(sc);
    if (h->undoGroup) h->undoGroup->EndGroup();
    h->undoGroup = nullptr;
}
