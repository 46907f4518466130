// The reference for the key-routing benchmark: Qt's own shortcut dispatch of
// a key to one of a main window's actions, with the actions' enabled state
// and the status labels set again after each press.
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QToolBar>

#include <chrono>

#include "display/display.h"

namespace qtplatform {

double ActionReference(int presses, int actions, int buttons, int panes, long* fired) {
    QMainWindow window;
    auto* bar = window.addToolBar(QStringLiteral("bar"));
    std::vector<QAction*> all;
    long count = 0;
    for (int i = 0; i < std::max(actions, buttons); ++i) {
        auto* a = new QAction(QStringLiteral("action %1").arg(i), &window);
        if (i < actions) {
            a->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_A + (i == 0 ? 25 : i - 1))));
            a->setShortcutContext(Qt::WindowShortcut);
            window.addAction(a);
        }
        if (i < buttons) bar->addAction(a);
        QObject::connect(a, &QAction::triggered, [&count] { ++count; });
        all.push_back(a);
    }
    std::vector<QLabel*> labels;
    for (int i = 0; i < panes; ++i) {
        labels.push_back(new QLabel(QStringLiteral("pane")));
        window.statusBar()->addPermanentWidget(labels.back());
    }
    auto* central = new QWidget;
    central->setFocusPolicy(Qt::StrongFocus);
    window.setCentralWidget(central);
    window.show();
    central->setFocus();
    QCoreApplication::processEvents();
    auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < presses; ++n) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Z, Qt::ControlModifier, QStringLiteral("\x1a"));
        QKeyEvent shortcut(QEvent::ShortcutOverride, Qt::Key_Z, Qt::ControlModifier, QStringLiteral("\x1a"));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Z, Qt::ControlModifier);
        // The window system's order: the shortcut map sees the press first.
        if (!QApplication::sendEvent(central, &shortcut) || !shortcut.isAccepted()) {
            QApplication::sendEvent(central, &press);
        }
        QApplication::sendEvent(central, &release);
        // As the framework's buttons: the pressed command stays enabled.
        for (int i = 1; i < buttons; ++i) all[static_cast<size_t>(i)]->setEnabled((n + i) % 7 != 0);
        for (int i = 0; i < panes; ++i)
            labels[static_cast<size_t>(i)]->setText(QStringLiteral("pane %1").arg(n % 3));
        QCoreApplication::processEvents();
    }
    auto end = std::chrono::steady_clock::now();
    if (fired) *fired = count;
    return std::chrono::duration<double>(end - start).count();
}

} // namespace qtplatform
