// The document's commands that move data between the grid and files: the
// export of the rows, LOB download and upload, the BFILE locator, and the
// read-only view of the DML a commit would run.
#include <afxdlgs.h>

#include "app/appstate.h"
#include "app/dialogs/celldlgs.h"
#include "app/dialogs/dataeditdlg.h"
#include "app/dialogs/dbextfiledlg.h"
#include "app/dialogs/placesbarfiledlg.h"
#include "app/settings.h"
#include "app/tavexdoc.h"
#include "base/safesave.h"
#include "editor/sqltoken.h"
#include "oracle/oci_api.h"
#include "oracle/oci_conv.h"
#include "oracle/oci_entry.h"
#include "oracle/oci_lob.h"
#include "win32/crtfile.h"

namespace {

HWND MainHwnd() {
    CWnd* main = AfxGetMainWnd();
    return main ? main->GetSafeHwnd() : nullptr;
}

bool EndsWithTxt(const CString& path) {
    const int slash = std::max(path.ReverseFind(u'/'), path.ReverseFind(u'\\'));
    const int dot = path.ReverseFind(u'.');
    if (dot < 0 || dot < slash) return false;
    CString ext = path.Mid(dot);
    ext.MakeLower();
    return ext == u".txt";
}

// A file the commit's upload can read (a folder opens as none).
bool FileReadable(const CString& path) {
    FILE* f = _wfopen(path.GetString(), u"rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

} // namespace

CString CTavexDoc::LastPathComponent(const CString& name) {
    const int cut = std::max(name.ReverseFind(u'/'), name.ReverseFind(u'\\'));
    return cut < 0 ? name : name.Mid(cut + 1);
}

int CTavexDoc::ColumnTypeCode(int col) const {
    if (!m_dataset || !m_dataset->cols || col < 0 || col >= m_dataset->col_count) return 0;
    return m_dataset->cols[col].data_type;
}

uint64_t CTavexDoc::EditorOptionWord() {
    const AppSettingsRecord& a = AppSettings;
    uint64_t options = 0x90;
    if (a.SHOW_SPACE) options |= 0x100000;
    if (a.SHOW_2BYTE_SPACE) options |= 0x200;
    if (a.SHOW_TAB) options |= 0x2;
    if (a.SHOW_LINE_FEED) options |= 0x1;
    if (!a.INVERT_SELECT_TEXT) options |= 0x400000;
    if (a.IME_CARET_COLOR) options |= 0x800000;
    return options;
}

void CTavexDoc::OnFileSaveData() {
    CWinApp* app = AfxGetApp();
    CDBExtFileDialog dlg(FALSE, u"csv", nullptr,
                         OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_ENABLETEMPLATE | OFN_PATHMUSTEXIST |
                             OFN_EXPLORER | OFN_NOREADONLYRETURN,
                         u"CSV Files (*.csv)|*.csv|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||",
                         AfxGetMainWnd());
    dlg.charCode = static_cast<int>(app->GetProfileInt(u"GRID_SAVE", u"KANJI_CODE", 1));
    dlg.lineEnd = static_cast<int>(app->GetProfileInt(u"GRID_SAVE", u"LINE_TYPE", 1));
    dlg.putDoubleQuote = static_cast<int>(app->GetProfileInt(u"GRID_SAVE", u"PUT_DQUOTE", 1));
    dlg.putColumnName = static_cast<int>(app->GetProfileInt(u"GRID_SAVE", u"PUT_COLUMN_NAME", 1));
    if (dlg.DoModal() != IDOK) return;
    app->WriteProfileInt(u"GRID_SAVE", u"PUT_DQUOTE", dlg.putDoubleQuote);
    app->WriteProfileInt(u"GRID_SAVE", u"PUT_COLUMN_NAME", dlg.putColumnName);
    app->WriteProfileInt(u"GRID_SAVE", u"KANJI_CODE", dlg.charCode);
    app->WriteProfileInt(u"GRID_SAVE", u"LINE_TYPE", dlg.lineEnd);

    const CString path = dlg.GetPathName();
    // The editable model, whatever the views show (filter, swap).
    CString err;
    int replaced = 0, cut = 0;
    if (m_data.ExportToFile(path.GetString(), dlg.charCode, dlg.lineEnd, EndsWithTxt(path) ? 1 : 0,
                            dlg.putColumnName, dlg.putDoubleQuote, &err, &replaced, &cut) == 0) {
        ::MessageBoxW(MainHwnd(), err.GetString(), u"Error", MB_ICONWARNING);
        return;
    }
    if (replaced > 0) {
        CString notice;
        notice.Format(u"選択した文字コードで表せない文字が%d文字あり，\"?\"で出力しました", replaced);
        ::MessageBoxW(MainHwnd(), notice.GetString(), u"Message", MB_ICONWARNING);
    }
    // Values the grid holds only in part (a LONG beyond its read buffer, a
    // CLOB whose whole text could not be read) went out as held: said once.
    if (cut > 0) {
        CString notice;
        notice.Format(u"読み込みで切り捨てられた値が%d件あり，切り捨てられたまま出力しました", cut);
        ::MessageBoxW(MainHwnd(), notice.GetString(), u"Message", MB_ICONWARNING);
    }
}

void CTavexDoc::LobDownload(OraLobValue* lob) {
    if (!lob) return;
    // A NULL has no bytes to write: no file is made for it.
    if (lob->null_flag) {
        ::MessageBoxW(MainHwnd(), u"値がNULLのため，ダウンロードするデータがありません", u"MESSAGE",
                      MB_ICONINFORMATION);
        return;
    }
    OraSession* s = m_data.GetSession() ? m_data.GetSession() : g_session;
    CString proposed;
    if (lob->define_type == SQLT_BFILEE) {
        char alias[1025], name[1025];
        ub2 aliasLength = 1024, nameLength = 1024;
        if (!s || g_oci.OCILobFileGetName(static_cast<OCIEnv*>(g_oci_env), s->err, lob->locator,
                                          reinterpret_cast<OraText*>(alias), &aliasLength,
                                          reinterpret_cast<OraText*>(name), &nameLength) != OCI_SUCCESS) {
            CString msg;
            if (s) {
                oci_write_log(s, u"\n---\nerror in oci_hlob_get_name:\n");
                oci8_get_error(s, &msg);
            }
            ::MessageBoxW(MainHwnd(), msg.GetString(), u"MESSAGE", MB_ICONINFORMATION);
            return;
        }
        name[std::min<int>(nameLength, 1024)] = 0;
        char16_t wide[1025];
        oci_mb_to_wide(name, wide, 1025);
        // The server's directories are not ours: only the last component.
        proposed = LastPathComponent(CString(wide));
        if (proposed.GetLength() > 259) proposed = proposed.Left(259);
    }
    CPlacesBarFileDlg dlg(FALSE, nullptr, proposed.GetString(),
                          OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOREADONLYRETURN,
                          u"All Files (*.*)|*.*||", AfxGetMainWnd());
    dlg.m_ofn.lpstrTitle = u"LOB Download";
    if (dlg.DoModal() != IDOK) return;
    CString msg;
    const CString path = dlg.GetPathName();
    // The value goes to a new file beside the chosen one, which it replaces
    // only when all of it is on the disk: a failure leaves the chosen file
    // as it was.
    SafeSave save;
    if (!safesave_begin(&save, path.GetString())) {
        msg.Format(u"ファイルが開けません(ファイル名:%s)\n", path.GetString());
    } else if (oci_hlob_download(lob, save.temp_path.GetString(), &msg) != ORARC_OK) {
        safesave_abort(&save);
        if (!save.temp_path.IsEmpty()) msg.Replace(save.temp_path.GetString(), path.GetString());
    } else if (!safesave_commit(&save)) {
        msg.Format(u"ファイルが開けません(ファイル名:%s)\n", path.GetString());
    } else {
        msg = u"ダウンロード完了";
    }
    ::MessageBoxW(MainHwnd(), msg.GetString(), u"MESSAGE", MB_ICONINFORMATION);
}

int CTavexDoc::LobUpload(int row, int col) {
    CPlacesBarFileDlg dlg(TRUE, nullptr, nullptr, OFN_PATHMUSTEXIST, u"All Files (*.*)|*.*||",
                          AfxGetMainWnd());
    dlg.m_ofn.lpstrTitle = u"LOB Upload";
    if (dlg.DoModal() != IDOK) return 0;
    // The commit reads the file into the LOB: one that cannot be read is
    // refused now, not after the user has gone on to save.
    const CString path = dlg.GetPathName();
    if (!FileReadable(path)) {
        CString msg;
        msg.Format(u"ファイルが開けません(ファイル名:%s)", path.GetString());
        ::MessageBoxW(MainHwnd(), msg.GetString(), u"Error", MB_ICONWARNING);
        return 0;
    }
    int result = 0;
    const int type = ColumnTypeCode(col);
    if (type == SQLT_BLOB || type == SQLT_BFILEE) {
        result = m_data.SetTextWithUndo(row, col, path.GetString(), path.GetLength()) == 0 ? 1 : 0;
    }
    UpdateAllViews(nullptr, HINT_CELL_CHANGED);
    return result;
}

int CTavexDoc::BfileUpdate(int row, int col) {
    CBfileDlg dlg(AfxGetMainWnd());
    const char16_t* text = m_data.GetEditText(row, col);
    dlg.m_value = text ? text : u"";
    if (dlg.DoModal() != IDOK) return 0;
    const int result = m_data.SetLobCellText(row, col, dlg.m_value.GetString());
    UpdateAllViews(nullptr, HINT_CELL_CHANGED);
    return result;
}

void CTavexDoc::OnToolShowUpdateSql() {
    CEditData buffer;
    buffer.m_token = &theSqlStrToken;
    if (m_data.MakeUpdateSqlText(&m_message, &buffer) != 0) {
        ::MessageBoxW(MainHwnd(), m_message.GetString(), u"ERROR", MB_ICONWARNING);
        return;
    }
    buffer.ClearUndo();
    CDataEditDlg dlg(AfxGetMainWnd());
    dlg.m_data = &buffer;
    dlg.m_title = u"更新SQLを表示";
    dlg.m_readOnly = 1;
    dlg.m_lineEndType = 0;
    dlg.m_font = g_app_font.GetSafeHandle() ? &g_app_font : nullptr;
    dlg.m_colors = AppSettings.colors;
    dlg.m_options = EditorOptionWord();
    dlg.DoModal();
}
