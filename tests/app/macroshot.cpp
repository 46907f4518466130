// macroshot DIR: the program in this process, offscreen, on 社員: writes the
// "scheme output" box of a clipboard macro printing Japanese text as
// DIR/output.png, the "scheme error" box of a failing one as DIR/error.png,
// a script's input box with its title and text as DIR/input.png, and the
// main window after a macro file appended "様" to every name as
// DIR/main-after-macro.png.
#include "display/boxshot.h"
#include "macro_fixture.h"

int main(int argc, char** argv) {
    using namespace apptest;
    if (argc != 2) {
        std::fprintf(stderr, "usage: macroshot DIR\n");
        return 2;
    }
    const fs::path out = argv[1];
    fs::create_directories(out);

    struct Shot : MacroTest {
        void TestBody() override {}
    } env;
    env.SetUp();
    env.RealLibrary();
    env.StartLoggedOn();
    env.Load(u"社員");

    int written = 0;
    auto boxShot = [&](const std::string& name) {
        tvtest::AnswerBoxWith([&, name](const tvtest::Box& box) -> std::optional<int> {
            qtplatform::Image img =
                qtplatform::CaptureMessageBox(box.text.c_str(), box.caption.c_str(), box.flags);
            written += qtplatform::SavePng(img, (out / name).string()) ? 1 : 0;
            return IDOK;
        });
    };
    boxShot("output.png");
    env.RunClipboard("(display \"こんにちは、\") (display (grid-get-table-name)) (newline) "
                     "(display (list \"行数\" (grid-get-row-cnt)))");
    boxShot("error.png");
    env.RunClipboard("(display \"途中まで\") (car 1)");
    tvtest::ExpectDialog(u"担当者の入力", [&](HWND dlg) {
        ::UpdateWindow(dlg);
        written += tvtest::SavePng(dlg, (out / "input.png").string()) ? 1 : 0;
        tvtest::ClickControl(dlg, IDOK);
        return true;
    });
    env.RunClipboard("(app-input-box \"担当者の入力\" \"山田 太郎\")");

    fs::path file = env.root / "sama.scm";
    std::u16string script =
        u"\uFEFF" + Wide("(let loop ((r 0)) (if (< r (grid-get-row-cnt)) (begin (grid-set-cell-string r 1 "
                         "(string-append (grid-get-cell-string r 1) \"様\")) (loop (+ r 1)))))");
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(script.data()), static_cast<std::streamsize>(script.size() * 2));
    tvtest::AnswerFile(Wide(file.string()));
    env.frame->SendMessage(WM_COMMAND, ID_TOOL_RUN_MACRO_FILE);
    tvtest::RunUntilIdle();
    ::UpdateWindow(env.frame->GetSafeHwnd());
    written += tvtest::SavePng(env.frame->GetSafeHwnd(), (out / "main-after-macro.png").string()) ? 1 : 0;

    tvtest::AnswerBox(IDYES);
    env.TearDown();
    std::printf("%d pictures\n", written);
    return written == 4 ? 0 : 1;
}
