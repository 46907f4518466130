#include "testing/dialogs.h"

#include <deque>

#include <gtest/gtest.h>

#include "testing/driver.h"

namespace tvtest {

namespace {

struct Expectation {
    std::u16string caption;
    int templateId = 0;
    std::function<bool(HWND)> poll;
};

struct Running {
    HWND dlg;
    std::function<bool(HWND)> poll;
    bool done;
};

std::deque<Expectation>& Expected() {
    static std::deque<Expectation> q;
    return q;
}
std::vector<Running>& Active() {
    static std::vector<Running> v;
    return v;
}

void Hook(HWND dlg, bool first) {
    if (first) {
        std::u16string caption = TextOf(dlg);
        if (Expected().empty() ||
            (Expected().front().templateId ? Expected().front().templateId != win32dlg::TemplateId(dlg)
                                           : Expected().front().caption != caption)) {
            ADD_FAILURE() << "unexpected modal dialog \"" << WideToUtf8(caption.c_str()) << "\"";
            EndDialog(dlg, IDCANCEL);
            return;
        }
        Expectation e = std::move(Expected().front());
        Expected().pop_front();
        Active().push_back({dlg, std::move(e.poll), false});
    }
    for (size_t i = 0; i < Active().size(); ++i) {
        if (Active()[i].dlg != dlg || Active()[i].done) continue;
        auto poll = Active()[i].poll;
        bool done = !poll || poll(dlg);
        for (auto& r : Active())
            if (r.dlg == dlg) r.done = done;
        break;
    }
    std::erase_if(Active(), [](const Running& r) { return !IsWindow(r.dlg); });
}

struct Installer {
    Installer() { win32dlg::SetModalHook(Hook); }
} g_installer;

} // namespace

void ExpectDialog(const std::u16string& caption, std::function<bool(HWND)> poll) {
    Expected().push_back({caption, 0, std::move(poll)});
}

void ExpectDialog(int templateId, std::function<bool(HWND)> poll) {
    Expected().push_back({u"", templateId, std::move(poll)});
}

void VerifyDialogs() {
    for (const Expectation& e : Expected())
        ADD_FAILURE() << "expected dialog never shown: \"" << WideToUtf8(e.caption.c_str()) << "\" "
                      << e.templateId;
    Expected().clear();
    Active().clear();
}

size_t PendingDialogs() {
    return Expected().size();
}

std::u16string TextOf(HWND hwnd) {
    int n = GetWindowTextLengthW(hwnd);
    std::u16string s(size_t(n) + 1, u'\0');
    n = GetWindowTextW(hwnd, s.data(), n + 1);
    s.resize(size_t(n > 0 ? n : 0));
    return s;
}

HWND Control(HWND dlg, int id) {
    HWND c = GetDlgItem(dlg, id);
    EXPECT_NE(c, nullptr) << "no control " << id;
    return c;
}

void ClickControl(HWND dlg, int id) {
    HWND c = Control(dlg, id);
    if (!c) return;
    RECT r;
    GetClientRect(c, &r);
    Click(c, r.right / 2, r.bottom / 2);
}

void TypeInto(HWND dlg, int id, const std::u16string& text) {
    HWND c = Control(dlg, id);
    if (!c) return;
    if (GetFocus() != c) {
        RECT r;
        GetClientRect(c, &r);
        Click(c, r.right - 1, r.bottom / 2);
    }
    Type(c, text);
    Pump();
}

void Tick(HWND dlg, int id) {
    ClickControl(dlg, id);
}

void Choose(HWND dlg, int id, const std::u16string& text) {
    HWND c = Control(dlg, id);
    if (!c) return;
    LRESULT i = SendMessageW(c, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(text.c_str()));
    EXPECT_NE(i, CB_ERR) << "no entry " << WideToUtf8(text.c_str());
    if (i == CB_ERR) return;
    // Open the list, then click the row.
    SendMessageW(c, CB_SHOWDROPDOWN, TRUE, 0);
    HWND list = reinterpret_cast<HWND>(SendMessageW(c, CB_GETDROPPEDSTATE + 0x100, 0, 0));
    if (list) {
        LRESULT rowHeight = SendMessageW(c, 0x0154 /* CB_GETITEMHEIGHT */, 0, 0);
        int y = int(i) * int(rowHeight ? rowHeight : 16) + int(rowHeight ? rowHeight : 16) / 2;
        Click(list, 5, y);
    }
}

} // namespace tvtest
