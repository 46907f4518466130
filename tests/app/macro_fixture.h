// The macro host's fixture: the program started on the DEMO stand-in with a
// library directory of the case's own, a table loaded through the table
// dialog, and macro runs through the program's own commands.
#pragma once

#include <afxole.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <thread>

#include "app/mainfrm.h"
#include "app/settings.h"
#include "app/tavexdoc.h"
#include "app/tavexview.h"
#include "app_fixture.h"
#include "res/resource.h"
#include "res/tablelist.h"
#include "scheme/host/macrohost.h"
#include "scheme/macro.h"
#include "scheme/sch_impl.h"
#include "tests/oracle/standin_fixture.h"

namespace apptest {

class MacroTest : public AppTest {
public:
    CMainFrame* frame = nullptr;
    CTavexDoc* doc = nullptr;
    CTavexView* view = nullptr;

    void SetUp() override {
        AppTest::SetUp();
        fs::create_directories(bin / "scmlib");
    }
    void TearDown() override {
        tvtest::SetKeyState(VK_CANCEL, false);
        macro_test_created = nullptr;
        AppTest::TearDown();
    }

    // A library script of this case (bin/scmlib/<name>).
    void Library(const std::string& name, const std::string& text) {
        std::ofstream(bin / "scmlib" / name) << text;
    }
    // The same as UTF-16 with its byte-order mark, as scripts with text
    // beyond ASCII are kept (without one a file is read as CP932).
    void Library16(const std::string& name, const std::string& text) {
        std::u16string t = u"\uFEFF" + Wide(text);
        std::ofstream(bin / "scmlib" / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(t.data()), static_cast<std::streamsize>(t.size() * 2));
    }
    // The program's own library beside this case's executable.
    void RealLibrary() {
        fs::copy_file(fs::path(TAVRELIX_SOURCE_DIR) / "scmlib" / "init.scm", bin / "scmlib" / "init.scm");
    }

    void StartLoggedOn() {
        ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"})) << BoxTexts();
        frame = dynamic_cast<CMainFrame*>(theApp.m_pMainWnd);
        ASSERT_NE(frame, nullptr);
        doc = dynamic_cast<CTavexDoc*>(frame->GetActiveDocument());
        ASSERT_NE(doc, nullptr);
        view = dynamic_cast<CTavexView*>(frame->m_wndSplitter.GetPane(0, 0));
        ASSERT_NE(view, nullptr);
    }

    static std::string BoxTexts() {
        std::string out;
        for (const tvtest::Box& b : tvtest::Boxes())
            out += Narrow(b.caption.c_str()) + ": " + Narrow(b.text.c_str()) + "\n";
        return out;
    }
    std::vector<std::string> Texts(const std::u16string& caption) {
        std::vector<std::string> out;
        for (const tvtest::Box& b : BoxesCaptioned(caption)) out.push_back(Narrow(b.text.c_str()));
        return out;
    }

    // Holds the query worker's execution until "実行中" has shown.
    static bool Parked() {
        auto control = reinterpret_cast<pfn_oci_standin_control>(
            reinterpret_cast<void (*)()>(GetProcAddress(g_oci_module, "oci_standin_control")));
        char reply[256];
        return control && control("gate_wait 0", reply, sizeof reply) == 0;
    }
    void ExpectQuery() {
        static std::thread::id ui;
        static std::atomic<bool> armed;
        ui = std::this_thread::get_id();
        armed = false;
        using oratest::Tap;
        if (g_oci.OCIStmtExecute != &Tap<&OciEntryPoints::OCIStmtExecute>::Call) oratest::g_real = g_oci;
        apptest::WaitForKeywordLoader();
        TAP(OCIStmtExecute) = [](auto...) {
            if (std::this_thread::get_id() != ui && !armed.exchange(true))
                Control("gate OCIStmtExecute self");
        };
        tvtest::ExpectDialog(u"実行中", [released = false](HWND) mutable {
            if (!released) {
                if (!Parked()) return false;
                released = true;
                Control("gate_open");
            }
            return true;
        });
    }
    void Load(const std::u16string& table) {
        tvtest::ExpectDialog(u"テーブル選択(検索条件設定)", [&](HWND h) {
            HWND objects = GetDlgItem(h, IDC_TL_OBJECTS);
            auto* l = static_cast<CListCtrl*>(CWnd::FromHandle(objects));
            for (int i = 0; i < l->GetItemCount(); ++i)
                l->SetItemState(i, l->GetItemText(i, 0) == table.c_str() ? LVIS_SELECTED : 0, LVIS_SELECTED);
            tvtest::Pump();
            ExpectQuery();
            tvtest::ClickControl(h, IDOK);
            return true;
        });
        frame->SendMessage(WM_COMMAND, ID_FILE_SELECT_TABLE);
        tvtest::Pump();
        ASSERT_TRUE(doc->IsTableLoaded()) << BoxTexts();
    }

    // Runs the text from the clipboard through the program's command.
    void RunClipboard(const std::string& text) {
        std::u16string t = Wide(text);
        // The text with its terminator, as one range of bytes.
        const auto* p = reinterpret_cast<const uint8_t*>(t.c_str());
        std::vector<uint8_t> bytes(p, p + (t.size() + 1) * 2);
        tvtest::SetClipboard({{CF_UNICODETEXT, bytes}});
        frame->SendMessage(WM_COMMAND, ID_TOOL_RUN_MACRO_CLIPBOARD);
        tvtest::Pump();
    }
    // The value the script's last expression printed in write form.
    std::string Eval(const std::string& expr) {
        tvtest::ClearBoxes();
        tvtest::AnswerBox(IDOK);
        RunClipboard("(write " + expr + ")");
        std::vector<std::string> out = Texts(u"scheme output");
        EXPECT_EQ(out.size(), 1u) << expr << "\n" << BoxTexts();
        tvtest::ClearBoxes();
        return out.empty() ? "" : out[0];
    }
    void Run(const std::string& text) {
        tvtest::ClearBoxes();
        RunClipboard(text);
        EXPECT_TRUE(tvtest::Boxes().empty()) << text << "\n" << BoxTexts();
    }
    std::string Pane() { return Narrow(frame->m_wndStatusBar.GetPaneText(0)); }
    std::string Cell(int row, int col) { return Narrow(view->m_grid.GetData()->GetText(row, col)); }
    std::string Counts() {
        tvtest::RunUntilIdle();
        char16_t buf[128] = {};
        GetMenuStringW(GetMenu(frame->GetSafeHwnd()), ID_EDIT_COUNTS, buf, 128, MF_BYCOMMAND);
        return Narrow(buf);
    }
};

} // namespace apptest
