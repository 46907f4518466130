// Key routing of the application framework: a frame with 17 accelerators, a
// toolbar of 20 buttons and a status bar of 7 panes; each Ctrl+Z goes through
// the pre-translation, the accelerator table and the routing to the view, and
// is followed by one idle update of the bars. The same work with QActions on
// a QMainWindow is the reference; the target is within 2x of it.
#include <afxwin.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "display/display.h"
#include "testing/driver.h"
#include "testing/framework.h"
#include "bench/common/bench_summary.h"

namespace {

constexpr int kPresses = 10000, kAccels = 17, kButtons = 20, kPanes = 7;
constexpr UINT kFirstCmd = 41000, IDR_BENCH = 300;
long g_fired = 0;
long g_press = 0;
// The command Ctrl+Z gives (the last entry's): always enabled, so every press fires.
constexpr UINT kUndoCmd = kFirstCmd + (kAccels - 1) % kButtons;

class BenchDoc : public CDocument {
    DECLARE_DYNCREATE(BenchDoc)
public:
    afx_msg void OnUpdateButton(CCmdUI* ui) {
        ui->Enable(ui->m_nID == kUndoCmd || (g_press + static_cast<long>(ui->m_nID - kFirstCmd)) % 7 != 0);
    }
    afx_msg void OnUpdatePane(CCmdUI* ui) {
        static const char16_t* texts[] = {u"pane 0", u"pane 1", u"pane 2"};
        ui->SetText(texts[g_press % 3]);
    }
    DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(BenchDoc, CDocument)
BEGIN_MESSAGE_MAP(BenchDoc, CDocument)
ON_UPDATE_COMMAND_UI_RANGE(kFirstCmd, kFirstCmd + kButtons - 1, OnUpdateButton)
ON_UPDATE_COMMAND_UI_RANGE(kFirstCmd + 100, kFirstCmd + 100 + kPanes - 1, OnUpdatePane)
END_MESSAGE_MAP()

class BenchView : public CView {
    DECLARE_DYNCREATE(BenchView)
public:
    afx_msg void OnButtonCommand(UINT) { ++g_fired; }
    DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(BenchView, CView)
BEGIN_MESSAGE_MAP(BenchView, CView)
ON_COMMAND_RANGE(kFirstCmd, kFirstCmd + kButtons - 1, OnButtonCommand)
END_MESSAGE_MAP()

class BenchFrame : public CFrameWnd {
    DECLARE_DYNCREATE(BenchFrame)
public:
    CToolBar m_toolbar;
    CStatusBar m_status;
    afx_msg int OnCreate(LPCREATESTRUCT cs) {
        if (CFrameWnd::OnCreate(cs) == -1) return -1;
        std::vector<UINT> buttons, panes = {ID_SEPARATOR};
        for (int i = 0; i < kButtons; ++i) buttons.push_back(kFirstCmd + static_cast<UINT>(i));
        for (int i = 0; i < kPanes - 1; ++i) panes.push_back(kFirstCmd + 100 + static_cast<UINT>(i));
        m_toolbar.Create(this);
        m_toolbar.SetButtons(buttons.data(), kButtons);
        m_status.Create(this);
        m_status.SetIndicators(panes.data(), static_cast<int>(panes.size()));
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(BenchFrame, CFrameWnd)
BEGIN_MESSAGE_MAP(BenchFrame, CFrameWnd)
ON_WM_CREATE()
END_MESSAGE_MAP()

class BenchApp : public CWinApp {
public:
    BenchApp() : CWinApp(u"bench") {}
};

} // namespace

int main() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    tvtest::Init();
    // Ctrl+Z is the first of the 17 entries' keys after the letters before it.
    std::vector<ACCEL> accels;
    for (int i = 0; i < kAccels; ++i)
        accels.push_back(ACCEL{FVIRTKEY | FCONTROL, static_cast<WORD>(i == kAccels - 1 ? 'Z' : 'A' + i),
                               static_cast<WORD>(kFirstCmd + (i % kButtons))});
    RegisterAcceleratorResource(IDR_BENCH, accels);
    BenchApp app;
    app.AddDocTemplate(new CSingleDocTemplate(IDR_BENCH, RUNTIME_CLASS(BenchDoc), RUNTIME_CLASS(BenchFrame),
                                              RUNTIME_CLASS(BenchView)));
    CCommandLineInfo info;
    if (!app.ProcessShellCommand(info)) return 1;
    auto* frame = static_cast<BenchFrame*>(app.m_pMainWnd);
    HWND view = frame->GetActiveView()->m_hWnd;
    tvtest::Pump();
    constexpr unsigned ctrl = static_cast<unsigned>(qtplatform::Mods::Ctrl);
    auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < kPresses; ++n) {
        g_press = n;
        qtplatform::SendKey(view, 'Z', ctrl, u"\x1a", true);
        qtplatform::SendKey(view, 'Z', ctrl, u"", false);
        app.OnIdle(0);
        win32bk::PumpPending();
    }
    double ours = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    long fired = g_fired;
    frame->DestroyWindow();
    tvtest::Pump();

    long qtFired = 0;
    double qt = qtplatform::ActionReference(kPresses, kAccels, kButtons, kPanes, &qtFired);
    std::printf("sdikeys: %d presses, %d accelerators, %d buttons, %d panes\n", kPresses, kAccels, kButtons,
                kPanes);
    std::printf("  framework: %.3f s (%.1f us a press, %ld commands)\n", ours, ours * 1e6 / kPresses, fired);
    std::printf("  QAction:   %.3f s (%.1f us a press, %ld triggered)\n", qt, qt * 1e6 / kPresses, qtFired);
    std::printf("  ratio %.2f (target: within 2x) %s\n", ours / qt, ours <= 2 * qt ? "met" : "missed");
    // Each press gave its command, on both sides.
    BenchSummary("10,000 accelerator presses, against QActions", ours, qt, "s", 2,
                 {std::to_string(fired) + " commands", std::to_string(qtFired) + " commands"});
    return fired == kPresses && qtFired == kPresses ? 0 : 2;
}
