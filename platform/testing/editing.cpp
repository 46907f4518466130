// Drivers for the input method, drags, the clipboard and the shell.
#include <cstdlib>
#include <cstring>

#include "testing/driver.h"
#include "win32/ime.h"
#include "win32/process.h"

namespace tvtest {

void ImePreedit(HWND host, const std::u16string& text) {
    qtplatform::SendInputMethod(host, text, u"");
    Pump();
}

void ImeCommit(HWND host, const std::u16string& text) {
    qtplatform::SendInputMethod(host, u"", text);
    Pump();
}

void ImeCancel(HWND host) {
    qtplatform::SendInputMethod(host, u"", u"");
    Pump();
}

void ImeSetOpen(HWND host, bool open) {
    win32bk::ImeSetOpen(host, open);
    Pump();
}

std::optional<std::u16string> ImeReconvert(HWND hwnd) {
    LRESULT size = SendMessageW(hwnd, WM_IME_REQUEST, IMR_RECONVERTSTRING, 0);
    if (size < static_cast<LRESULT>(sizeof(RECONVERTSTRING))) return std::nullopt;
    std::vector<uint8_t> block(static_cast<size_t>(size), 0);
    auto* rs = reinterpret_cast<RECONVERTSTRING*>(block.data());
    rs->dwSize = static_cast<DWORD>(size);
    if (SendMessageW(hwnd, WM_IME_REQUEST, IMR_RECONVERTSTRING, reinterpret_cast<LPARAM>(rs)) == 0)
        return std::nullopt;
    size_t end = static_cast<size_t>(rs->dwStrOffset) + static_cast<size_t>(rs->dwStrLen) * 2;
    if (rs->dwStrOffset < sizeof(RECONVERTSTRING) || end > block.size()) return std::nullopt;
    std::u16string text(rs->dwStrLen, u'\0');
    std::memcpy(text.data(), block.data() + rs->dwStrOffset, rs->dwStrLen * 2);
    return text;
}

POINT ImeCompositionPoint(HWND hwnd) {
    return win32bk::ImeCompositionPoint(hwnd);
}

bool ImeCompositionFont(HWND hwnd, LOGFONTW* font) {
    return ImmGetCompositionFontW(ImmGetContext(hwnd), font) != FALSE;
}

void ImeCompose(HWND host, const std::u16string& text, const std::vector<qtplatform::PreeditClause>& clauses,
                int cursor) {
    qtplatform::SendComposition(host, text, clauses, cursor);
    Pump();
}

bool ShownComposition(HWND* owner, RECT* screen, qtplatform::Image* image) {
    return qtplatform::ShownComposition(owner, screen, image);
}

void UseModelInputMethod() {
    setenv("QT_IM_MODULE", "tavrelixmodel", 1);
    std::string dir = TAVRELIX_PLUGIN_DIR;
    const char* old = getenv("QT_PLUGIN_PATH");
    setenv("QT_PLUGIN_PATH", old && *old ? (dir + ":" + old).c_str() : dir.c_str(), 1);
}

bool ModelImeLoaded() {
    return qtplatform::ModelInputMethodLoaded();
}

void ModelImeOn(bool on, HWND window) {
    qtplatform::ModelInputMethodOn(window, on);
    Pump();
}

void ModelImeCommitsOnReset(bool commits) {
    qtplatform::ModelInputMethodCommitsOnReset(commits);
}

std::u16string ModelImePreedit() {
    return qtplatform::ModelInputMethodPreedit();
}

int ModelImeResets() {
    return qtplatform::ModelInputMethodResets();
}

void DragScript(std::vector<win32bk::DragStep> steps) {
    win32bk::SetDragScript(std::move(steps));
}

DWORD ForeignDrop(HWND hwnd, int x, int y, const win32bk::ClipFormats& formats, DWORD keyState) {
    win32bk::InputModifiers((keyState & MK_SHIFT) != 0, (keyState & MK_CONTROL) != 0, false);
    POINT p{x, y};
    DWORD e = win32bk::DragTargetEvent(hwnd, win32bk::DragPhase::Enter, &formats, keyState | MK_LBUTTON, p);
    if (e) e = win32bk::DragTargetEvent(hwnd, win32bk::DragPhase::Over, &formats, keyState | MK_LBUTTON, p);
    if (e)
        e = win32bk::DragTargetEvent(hwnd, win32bk::DragPhase::Drop, &formats, keyState, p);
    else
        win32bk::DragTargetEvent(hwnd, win32bk::DragPhase::Leave, nullptr, 0, p);
    win32bk::InputModifiers(false, false, false);
    Pump();
    return e;
}

void SetClipboard(const win32bk::ClipFormats& formats) {
    win32bk::InjectClipboard(formats);
}

void FailNext(win32bk::ClipFailure what) {
    win32bk::FailNext(what);
}

int LiveGlobalBlocks() {
    return win32bk::LiveGlobalBlocks();
}

namespace {
std::vector<ShellCall>& Calls() {
    static std::vector<ShellCall> c;
    return c;
}
} // namespace

void RecordShell(bool on) {
    Calls().clear();
    if (on)
        win32test::SetShellRecorder([](const std::u16string& verb, const std::u16string& file) {
            Calls().push_back({verb, file});
        });
    else
        win32test::SetShellRecorder(nullptr);
}

const std::vector<ShellCall>& ShellCalls() {
    return Calls();
}

} // namespace tvtest
