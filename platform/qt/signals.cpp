// The end the desktop or a terminal asks for: SIGTERM (the session ends, a
// kill), SIGHUP (the terminal went away) and SIGINT (Ctrl+C). The program's
// windows are destroyed as at its normal end, so what they keep at their end
// (the main window its place) is kept, and the process exits with 128 + the
// signal's number. The signal only wakes the UI thread; a second one, or a UI
// thread that does not get to it within ten seconds, ends the process as the
// signal's default would.
#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "display/display.h"
#include "win32/sysinfo.h"

namespace {

int g_wake[2] = {-1, -1};

void OnEndSignal(int sig) {
    const int saved = errno;
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(sig, &dfl, nullptr);
    alarm(10);
    const auto byte = static_cast<unsigned char>(sig);
    [[maybe_unused]] const ssize_t n = write(g_wake[1], &byte, 1);
    errno = saved;
}

} // namespace

namespace qtplatform {

void EndOnSignals() {
    if (g_wake[0] >= 0 || !QCoreApplication::instance()) return;
    if (pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(g_wake[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        unsigned char sig = 0;
        if (read(g_wake[0], &sig, 1) != 1) return;
        win32bk::DestroyAllWindows();
        FinishFontDatabase();
        std::_Exit(128 + sig);
    });
    struct sigaction sa {};
    sa.sa_handler = OnEndSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGHUP, SIGINT}) sigaction(sig, &sa, nullptr);
}

} // namespace qtplatform
