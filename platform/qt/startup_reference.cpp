#include <QApplication>
#include <QMainWindow>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "display/startup_reference.h"

namespace {

// Milliseconds since the process started, from its start time in /proc.
long SinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string all((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    size_t close = all.rfind(')');
    if (close == std::string::npos) return -1;
    std::string rest = all.substr(close + 2);
    size_t at = 0;
    for (int field = 3; field < 22 && at != std::string::npos; ++field) at = rest.find(' ', at) + 1;
    unsigned long long startTicks = std::strtoull(rest.c_str() + at, nullptr, 10);
    std::ifstream up("/proc/uptime");
    double uptime = 0;
    up >> uptime;
    double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    return static_cast<long>((uptime - static_cast<double>(startTicks) / ticks) * 1000.0);
}

} // namespace

namespace qtplatform {

int RunStartupReference(int argc, char** argv, int width, int height) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(width, height);
    window.show();
    // A zero timer fires once the event queue is empty: the first idle.
    QTimer::singleShot(0, &window, [&] {
        window.grab();
        std::fprintf(stderr, "%ld\n", SinceProcessStart());
        app.quit();
    });
    return app.exec();
}

} // namespace qtplatform
