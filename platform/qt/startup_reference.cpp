#include <QApplication>
#include <QMainWindow>
#include <QTimer>

#include <cstdio>
#include <string>

#include "display/startup_reference.h"
#include "qt_internal.h"

namespace qtplatform {

int RunStartupReference(int argc, char** argv, int width, int height) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(width, height);
    window.show();
    // A zero timer fires once the event queue is empty: the first idle.
    QTimer::singleShot(0, &window, [&] {
        window.grab();
        std::fprintf(stderr, "%.3f\n", qtbk::MillisecondsSinceStart());
        app.quit();
    });
    return app.exec();
}

} // namespace qtplatform
