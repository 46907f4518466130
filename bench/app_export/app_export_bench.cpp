// bench_app_export [RUNS]: the program in process, offscreen, logged on to
// a prepared DEMO; BIG_TABLE's 200,000 rows fetched into the document's
// model (untimed), then "データをファイルに保存..." with the save dialog
// answered (SJIS, CR LF, quotes, column names). Reference in the same run:
// the sqlite3 shell writing the same CSV (the same bytes: the two files
// must be equal) over the schema's SQLite file, piped through iconv -f
// UTF-8 -t CP932 into a file. Medians of RUNS (5).
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <afxwin.h>

#include "app/mainfrm.h"
#include "app/tavexapp.h"
#include "app/tavexdoc.h"
#include "editor/editctrl.h"
#include "res/dialogs4.h"
#include "res/resource.h"
#include "res/tablelist.h"
#include "testing/dialogs.h"
#include "testing/driver.h"
#include "testing/framework.h"

#include "bench/common/bench_app.h"
#include "win32/backend.h"
#include "win32/dialog.h"
#include "bench/common/bench_summary.h"

namespace {

namespace fs = std::filesystem;
using benchapp::Clock;
using benchapp::Median;
using benchapp::Ms;
using benchapp::TextOf;

bool g_failed = false;
bool g_queried = false;

// The modal hook: the table-selection dialog gets BIG_TABLE and OK; the
// progress dialog runs by itself; anything else fails the run.
void Hook(HWND dlg, bool first) {
    const std::u16string caption = TextOf(dlg);
    if (caption == u"テーブル選択(検索条件設定)") {
        if (!first) return;
        ::SetWindowTextW(::GetDlgItem(dlg, IDC_TL_FILTER), u"^BIG_TABLE$");
        tvtest::Pump();
        HWND objects = ::GetDlgItem(dlg, IDC_TL_OBJECTS);
        auto* list = static_cast<CListCtrl*>(CWnd::FromHandle(objects));
        if (list->GetItemCount() != 1) {
            g_failed = true;
            ::EndDialog(dlg, IDCANCEL);
            return;
        }
        tvtest::Click(objects, 40, 30);
        tvtest::Pump();
        g_queried = true;
        tvtest::Click(::GetDlgItem(dlg, IDOK), 5, 5);
        return;
    }
    if (caption == u"実行中") return;
    std::fprintf(stderr, "unexpected dialog \"%s\"\n", WideToUtf8(caption.c_str()).c_str());
    g_failed = true;
    ::EndDialog(dlg, IDCANCEL);
}

std::string SchemaFile(const fs::path& dir, std::string* catalog) {
    *catalog = (dir / "catalog.db").string();
    std::string schema;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(catalog->c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* q = nullptr;
        sqlite3_prepare_v2(db, "SELECT user_id FROM users WHERE username = 'DEMO'", -1, &q, nullptr);
        if (sqlite3_step(q) == SQLITE_ROW) {
            char name[32];
            std::snprintf(name, sizeof name, "u%d.db", sqlite3_column_int(q, 0));
            schema = (dir / name).string();
        }
        sqlite3_finalize(q);
    }
    sqlite3_close(db);
    return schema;
}

// A text as one word of the shell, in single quotes.
std::string ShellWord(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// The export's CSV written by the sqlite3 shell from the stored values:
// every value quoted with its quotes doubled, a NULL as nothing, the quoted
// names first, CR LF, a number as the client shows it (no 0 before the
// point of a fraction). Through iconv into out, spawn to exit.
double Reference(const std::string& catalog, const std::string& schema, const fs::path& out) {
    auto quoted = [](const std::string& column, const std::string& text) {
        return "CASE WHEN \"" + column + "\" IS NULL THEN '' ELSE '\"' || " + text +
               " || '\"' END AS \"\"\"" + column + "\"\"\"";
    };
    auto textOf = [](const std::string& column) { return "replace(\"" + column + "\", '\"', '\"\"')"; };
    const std::string select =
        "SELECT " + quoted("ID", "\"ID\"") + ", " + quoted("NAME", textOf("NAME")) + ", " +
        quoted("AMOUNT", "CASE WHEN \"AMOUNT\" > -1 AND \"AMOUNT\" < 1 AND \"AMOUNT\" <> 0 "
                         "THEN replace(CAST(\"AMOUNT\" AS TEXT), '0.', '.') ELSE \"AMOUNT\" END") +
        ", " + quoted("CREATED", textOf("CREATED")) + ", " + quoted("NOTE", textOf("NOTE")) +
        " FROM \"DEMO\".\"BIG_TABLE\"";
    const std::string command = "sqlite3 -readonly -batch -list -header -cmd " +
                                ShellWord(".separator , \"\\r\\n\"") + " " + ShellWord(catalog) + " " +
                                ShellWord("ATTACH DATABASE '" + schema + "' AS \"DEMO\"") + " " +
                                ShellWord(select) + " | iconv -f UTF-8 -t CP932 > " + ShellWord(out.string());

    auto t0 = Clock::now();
    const int rc = std::system(command.c_str());
    const double ms = Ms(t0, Clock::now());
    return rc == 0 ? ms : -1;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    BenchProgramTree tree;
    if (!StartProgramInProcess("export", Hook, &tree)) return 1;
    const fs::path &root = tree.root, &data = tree.data;
    auto* frame = dynamic_cast<CMainFrame*>(theApp.m_pMainWnd);
    auto* doc = frame ? dynamic_cast<CTavexDoc*>(frame->GetActiveDocument()) : nullptr;
    if (!doc) {
        std::fprintf(stderr, "no main window with a document\n");
        return 1;
    }
    frame->SendMessage(WM_COMMAND, ID_FILE_SELECT_TABLE);
    for (int i = 0; i < 20000 && doc->m_data.GetRowCount() < 200000 && !g_failed; ++i) {
        tvtest::Pump();
        ::usleep(1000);
    }
    if (g_failed || !g_queried || doc->m_data.GetRowCount() != 200000) {
        std::fprintf(stderr, "BIG_TABLE did not load (%d rows)\n", doc->m_data.GetRowCount());
        return 1;
    }
    tvtest::RunUntilIdle();

    std::string catalog;
    const std::string schema = SchemaFile(data / "tavrelix" / "oci" / "demo", &catalog);
    std::vector<double> ours, reference;
    uintmax_t ourBytes = 0, referenceBytes = 0;
    for (int i = 0; i < runs; ++i) {
        const fs::path out = root / "out.csv";
        fs::remove(out);
        tvtest::AnswerFile(Utf8ToWide(out.c_str()), -1, [](HWND panel) {
            tvtest::Choose(panel, IDC_EXT_CHAR_CODE, u"SJIS");
            tvtest::Choose(panel, IDC_EXT_LINE_END, u"CR+LF(\\r\\n)");
            if (::IsDlgButtonChecked(panel, IDC_EXT_DQUOTE) != BST_CHECKED)
                tvtest::Tick(panel, IDC_EXT_DQUOTE);
            if (::IsDlgButtonChecked(panel, IDC_EXT_COLUMN_NAME) != BST_CHECKED)
                tvtest::Tick(panel, IDC_EXT_COLUMN_NAME);
        });
        auto t0 = Clock::now();
        frame->SendMessage(WM_COMMAND, ID_FILE_SAVE_DATA);
        ours.push_back(Ms(t0, Clock::now()));
        ourBytes = fs::exists(out) ? fs::file_size(out) : 0;
        const fs::path ref = root / "reference.csv";
        reference.push_back(Reference(catalog, schema, ref));
        referenceBytes = fs::exists(ref) ? fs::file_size(ref) : 0;
        if (!tvtest::Boxes().empty()) {
            std::fprintf(stderr, "the export showed a box\n");
            return 1;
        }
    }
    std::printf("export of BIG_TABLE, 200000 rows, SJIS CR LF quotes names: median %.0f ms (%ju bytes)\n",
                Median(ours), ourBytes);
    std::printf("the same CSV by the sqlite3 shell | iconv -t CP932:         median %.0f ms (%ju bytes)\n",
                Median(reference), referenceBytes);
    std::printf("ratio export / reference %.2f (target: no slower, <= 1) over %d runs\n",
                Median(reference) > 0 ? Median(ours) / Median(reference) : 0.0, runs);
    // The last run's files: the same bytes, or the figure fails.
    const BenchResults results{BenchFileDigest((root / "out.csv").string()),
                               BenchFileDigest((root / "reference.csv").string())};
    BenchSummary("export of BIG_TABLE, against the sqlite3 shell | iconv", Median(ours), Median(reference),
                 "ms", 1, results);

    if (theApp.m_pMainWnd && theApp.m_pMainWnd->m_hWnd) theApp.m_pMainWnd->DestroyWindow();
    theApp.ExitInstance();
    tvtest::SetExecutablePath(u"");
    std::error_code ec;
    fs::remove_all(root, ec);
    return results.ours == results.reference ? 0 : 1;
}
