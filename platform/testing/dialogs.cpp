#include "testing/dialogs.h"

#include <optional>

#include <gtest/gtest.h>

#include "answers.h"
#include "testing/driver.h"

namespace tvtest {

namespace {

struct Running {
    HWND dlg;
    std::function<bool(HWND)> poll;
    bool done;
};

std::vector<Running>& Active() {
    static std::vector<Running> v;
    return v;
}

void Hook(HWND dlg, bool first) {
    if (first) {
        std::u16string caption = TextOf(dlg);
        const int templateId = win32dlg::TemplateId(dlg);
        std::optional<answers::Answer> e =
            answers::Take(answers::Kind::Dialog,
                          "modal dialog \"" + WideToUtf8(caption.c_str()) + "\" (template " +
                              std::to_string(templateId) + ")",
                          [&](const answers::Answer& a) {
                              return a.templateId ? a.templateId == templateId : a.caption == caption;
                          });
        if (!e) {
            EndDialog(dlg, IDCANCEL);
            return;
        }
        Active().push_back({dlg, std::move(e->dialogPoll), false});
        return; // polled once it shows
    }
    for (size_t i = 0; i < Active().size(); ++i) {
        if (Active()[i].dlg != dlg || Active()[i].done) continue;
        auto poll = Active()[i].poll;
        bool done = true;
        if (poll) {
            answers::Nested nested;
            done = poll(dlg);
        }
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
    answers::Answer a;
    a.kind = answers::Kind::Dialog;
    a.caption = caption;
    a.dialogPoll = std::move(poll);
    answers::Queue(std::move(a));
}

void ExpectDialog(int templateId, std::function<bool(HWND)> poll) {
    answers::Answer a;
    a.kind = answers::Kind::Dialog;
    a.templateId = templateId;
    a.dialogPoll = std::move(poll);
    answers::Queue(std::move(a));
}

void VerifyDialogs() {
    for (const answers::Answer& e : answers::Drop(answers::Kind::Dialog))
        ADD_FAILURE() << "expected " << answers::Describe(e) << " never shown";
    Active().clear();
}

size_t PendingDialogs() {
    return answers::Count(answers::Kind::Dialog);
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
