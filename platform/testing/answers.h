// The one ordered queue of answers for everything modal a test answers:
// message boxes, modal dialogs and the common dialogs. Tests queue answers in
// the order the program asks; an answer of another kind (or another dialog)
// at the front fails the test, naming what was asked and what was queued, and
// stays queued for whatever asks next. Answers queued inside an answer's own
// callback (a dialog's poll, say) answer what that dialog asks: they go ahead
// of the answers queued before it, in the order they are queued.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <windows.h>

#include "testing/driver.h"
#include "win32/commdlg.h"

namespace tvtest::answers {

enum class Kind { Box, Dialog, File, Folder, Color, Font };

struct Answer {
    Kind kind = Kind::Box;
    // Box: an id at once, or a poll run inside the box's loop.
    int boxId = 0;
    std::function<std::optional<int>(const Box&)> boxPoll;
    // Dialog: a caption, or a template id when nonzero.
    std::u16string caption;
    int templateId = 0;
    std::function<bool(HWND)> dialogPoll;
    // File dialogs and the folder browser: the path (empty cancels); a file
    // dialog's filter chosen and its panel's setter.
    std::u16string path;
    int filterIndex = -1;
    std::function<void(HWND)> panel;
    std::function<bool(win32bk::ColorDialogRequest&)> color;
    std::function<bool(win32bk::FontDialogRequest&)> font;
};

void Queue(Answer answer);
// While one lives, answers queued go ahead of those queued before it.
class Nested {
public:
    Nested();
    ~Nested();
    Nested(const Nested&) = delete;
    Nested& operator=(const Nested&) = delete;
};
// The front answer when it is of this kind and fits (no fits: any of the
// kind). Otherwise fails the test naming asked and the front answer, and
// gives nothing; the queue is left as it was.
std::optional<Answer> Take(Kind kind, const std::string& asked,
                           const std::function<bool(const Answer&)>& fits = {});
// Removes the queued answers of this kind; gives them in order.
std::vector<Answer> Drop(Kind kind);
size_t Count(Kind kind);
// How a queued answer reads in a failure.
std::string Describe(const Answer& answer);

} // namespace tvtest::answers
