#include "testing/driver.h"
#include "testing/framework.h"

#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

#include "answers.h"

namespace tvtest {

namespace {
std::vector<Box>& BoxList() {
    static std::vector<Box> v;
    return v;
}
std::vector<win32bk::TextOutRecord>& Trace() {
    static std::vector<win32bk::TextOutRecord> v;
    return v;
}

int RecordingBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    Box box{owner, caption ? caption : u"", text ? text : u"", type};
    BoxList().push_back(box);
    std::optional<answers::Answer> a =
        answers::Take(answers::Kind::Box, "message box \"" + WideToUtf8(box.caption.c_str()) +
                                              "\": " + WideToUtf8(box.text.c_str()));
    if (!a) return IDCANCEL;
    if (!a->boxPoll) return a->boxId;
    std::optional<int> result;
    win32bk::RunModalLoop(owner, [&] {
        answers::Nested nested;
        result = a->boxPoll(box);
        return result.has_value();
    });
    return result.value_or(IDCANCEL);
}
} // namespace

void Init() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QT_FONT_DPI", "96", 1);
    setenv("QT_SCALE_FACTOR", "1", 1);
    if (!qtplatform::Initialized()) {
        qtplatform::Init();
        for (const char16_t* f : {u"Noto Sans Mono CJK JP", u"Noto Sans CJK JP"}) {
            if (!qtplatform::FamilyInstalled(f)) {
                std::fprintf(
                    stderr,
                    "The font \"%s\" is missing: install Debian's fonts-noto-cjk (scripts/deps.sh test).\n",
                    WideToUtf8(f).c_str());
                std::exit(2);
            }
        }
    }
    win32bk::UseFakeClock(true);
    InstallFrameworkDrivers();
    Win32HostHooks hooks = Win32GetHostHooks();
    hooks.messageBox = RecordingBox;
    Win32SetHostHooks(hooks);
}

void Pump() {
    win32bk::PumpPending();
}
void Advance(unsigned ms) {
    win32bk::Advance(ms);
}

void AnswerBox(int id) {
    answers::Answer a;
    a.boxId = id;
    answers::Queue(std::move(a));
}
void AnswerBoxWith(std::function<std::optional<int>(const Box&)> poll) {
    answers::Answer a;
    a.boxPoll = std::move(poll);
    answers::Queue(std::move(a));
}
const std::vector<Box>& Boxes() {
    return BoxList();
}
void ClearBoxes() {
    BoxList().clear();
    answers::Drop(answers::Kind::Box);
}
int Beeps() {
    return win32bk::BeepCount();
}

void KeyDown(HWND host, int key, unsigned mods, const std::u16string& text) {
    qtplatform::SendKey(host, key, mods, text, true);
}
void KeyUp(HWND host, int key, unsigned mods) {
    qtplatform::SendKey(host, key, mods, u"", false);
}
void Key(HWND host, int key, unsigned mods, const std::u16string& text) {
    KeyDown(host, key, mods, text);
    KeyUp(host, key, mods);
}

void Type(HWND host, const std::u16string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        size_t n = (text[i] >= 0xD800 && text[i] < 0xDC00 && i + 1 < text.size()) ? 2 : 1;
        std::u16string one = text.substr(i, n);
        char16_t c = text[i];
        int key = (c >= u'a' && c <= u'z')
                      ? c - u'a' + u'A'
                      : (c < 0x80 ? static_cast<int>(c) : static_cast<int>(qtplatform::Key_unknown));
        Key(host, key, 0, one);
        i += n - 1;
    }
}

void MouseDown(HWND host, int x, int y, int button, unsigned mods) {
    qtplatform::SendMouse(host, x, y, button, mods, 0);
}
void MouseUp(HWND host, int x, int y, int button, unsigned mods) {
    qtplatform::SendMouse(host, x, y, button, mods, 1);
}
void MouseMove(HWND host, int x, int y, unsigned mods) {
    qtplatform::SendMouse(host, x, y, 0, mods, 2);
}
void Click(HWND host, int x, int y, int button, unsigned mods) {
    MouseDown(host, x, y, button, mods);
    MouseUp(host, x, y, button, mods);
}
void Wheel(HWND host, int x, int y, int angleY, int angleX, unsigned mods) {
    qtplatform::SendWheel(host, x, y, angleY, angleX, mods);
}

qtplatform::BarGeometry BarParts(HWND hwnd, int bar) {
    qtplatform::BarGeometry g{};
    qtplatform::GetBarGeometry(hwnd, bar, &g);
    return g;
}
void BarDown(HWND hwnd, int bar, int x, int y) {
    qtplatform::SendBarMouse(hwnd, bar, x, y, 0);
}
void BarMove(HWND hwnd, int bar, int x, int y) {
    qtplatform::SendBarMouse(hwnd, bar, x, y, 2);
}
void BarUp(HWND hwnd, int bar) {
    qtplatform::SendBarMouse(hwnd, bar, 0, 0, 1);
}

void TraceTextOut(bool on) {
    Trace().clear();
    win32bk::SetTextOutTrace(on ? &Trace() : nullptr);
}
std::vector<win32bk::TextOutRecord>& TextOuts() {
    return Trace();
}

qtplatform::Image Capture(HWND hwnd) {
    Pump();
    return qtplatform::Capture(hwnd);
}

bool SavePng(HWND hwnd, const std::string& path) {
    return qtplatform::SavePng(Capture(hwnd), path);
}

} // namespace tvtest
