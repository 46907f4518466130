// The modal message box: a Qt dialog run in our nested loop, owner disabled.
#include <QCoreApplication>
#include <QWindow>
#include <QMessageBox>
#include <QPushButton>

#include "display/boxshot.h"
#include "qt_internal.h"

namespace qtbk {

namespace {
struct OpenBox {
    QMessageBox* box;
    std::vector<std::pair<QPushButton*, int>>* ids;
};
std::vector<OpenBox> g_open;

struct B {
    const char16_t* label;
    int id;
};

// The box's caption, text, icon and buttons (ids), the default one chosen.
std::vector<B> SetUpBox(QMessageBox& box, LPCWSTR text, LPCWSTR caption, UINT type,
                        std::vector<std::pair<QPushButton*, int>>* ids) {
    box.setWindowTitle(caption ? QString::fromUtf16(caption) : QStringLiteral("Error"));
    box.setText(text ? QString::fromUtf16(text) : QString());
    switch (type & 0xF0) {
    case MB_ICONHAND: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONEXCLAMATION: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONASTERISK: box.setIcon(QMessageBox::Information); break;
    }
    std::vector<B> buttons;
    switch (type & 0x0F) {
    case MB_OKCANCEL: buttons = {{u"OK", IDOK}, {u"キャンセル", IDCANCEL}}; break;
    case MB_ABORTRETRYIGNORE:
        buttons = {{u"中止(&A)", IDABORT}, {u"再試行(&R)", IDRETRY}, {u"無視(&I)", IDIGNORE}};
        break;
    case MB_YESNOCANCEL:
        buttons = {{u"はい(&Y)", IDYES}, {u"いいえ(&N)", IDNO}, {u"キャンセル", IDCANCEL}};
        break;
    case MB_YESNO: buttons = {{u"はい(&Y)", IDYES}, {u"いいえ(&N)", IDNO}}; break;
    case MB_RETRYCANCEL: buttons = {{u"再試行(&R)", IDRETRY}, {u"キャンセル", IDCANCEL}}; break;
    default: buttons = {{u"OK", IDOK}}; break;
    }
    for (const B& b : buttons) {
        QMessageBox::ButtonRole role =
            (b.id == IDCANCEL || b.id == IDNO) ? QMessageBox::RejectRole : QMessageBox::AcceptRole;
        ids->emplace_back(box.addButton(QString::fromUtf16(b.label), role), b.id);
    }
    size_t def = (type & MB_DEFBUTTON3) ? 2 : (type & MB_DEFBUTTON2) ? 1 : 0;
    if (def < ids->size()) box.setDefaultButton((*ids)[def].first);
    return buttons;
}

int QtMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    QMessageBox box;
    std::vector<std::pair<QPushButton*, int>> ids;
    std::vector<B> buttons = SetUpBox(box, text, caption, type, &ids);
    bool done = false;
    QObject::connect(&box, &QMessageBox::finished, [&](int) { done = true; });
    KeepAboveOwner(&box, owner);
    box.show();
    g_open.push_back(OpenBox{&box, &ids});
    win32bk::RunModalLoop(owner, [&] { return done || !box.isVisible(); });
    g_open.pop_back();
    QAbstractButton* clicked = box.clickedButton();
    for (auto& [b, id] : ids)
        if (b == clicked) return id;
    bool hasCancel = std::any_of(buttons.begin(), buttons.end(), [](const B& b) { return b.id == IDCANCEL; });
    return hasCancel ? IDCANCEL : buttons.front().id;
}
} // namespace

bool ClickOpenBox(int id) {
    if (g_open.empty()) return false;
    for (auto& [button, bid] : *g_open.back().ids)
        if (bid == id) {
            button->click();
            return true;
        }
    return false;
}

HWND OpenBoxKeptAbove() {
    if (g_open.empty() || !g_open.back().box->windowHandle()) return nullptr;
    return WindowOfTopLevel(g_open.back().box->windowHandle()->transientParent());
}

void InstallMessageBox() {
    Win32HostHooks hooks = Win32GetHostHooks();
    hooks.messageBox = QtMessageBox;
    Win32SetHostHooks(hooks);
}

} // namespace qtbk

namespace qtplatform {
void UseQtMessageBox() {
    qtbk::InstallMessageBox();
}
bool AnswerOpenMessageBox(int id) {
    return qtbk::ClickOpenBox(id);
}
Image CaptureMessageBox(const char16_t* text, const char16_t* caption, unsigned type) {
    QMessageBox box;
    std::vector<std::pair<QPushButton*, int>> ids;
    qtbk::SetUpBox(box, text, caption, type, &ids);
    box.show();
    QCoreApplication::processEvents();
    QImage img = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
    box.hide();
    Image out;
    out.width = img.width();
    out.height = img.height();
    out.pixels.resize(static_cast<size_t>(out.width) * out.height);
    for (int y = 0; y < out.height; ++y) {
        auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        std::copy(line, line + out.width, out.pixels.begin() + static_cast<ptrdiff_t>(y) * out.width);
    }
    return out;
}
} // namespace qtplatform
