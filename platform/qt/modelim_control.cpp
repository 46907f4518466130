// The test drivers' hold on the model input method (platform/qt/modelim),
// which a test program loads through Qt's input-method module: the plugin
// names itself in an application property, and is reached by its methods.
#include <QGuiApplication>
#include <QInputMethodQueryEvent>
#include <QVariant>
#include <QWidget>
#include <QWindow>

#include "display/display.h"
#include "qt_internal.h"

namespace qtplatform {

namespace {
QObject* Model() {
    QCoreApplication* app = QCoreApplication::instance();
    return app ? app->property("tavrelixModelInputMethod").value<QObject*>() : nullptr;
}
} // namespace

RECT InputMethodCursorRectangle() {
    QObject* focus = QGuiApplication::focusObject();
    if (!focus) return RECT{};
    QInputMethodQueryEvent q(Qt::ImCursorRectangle);
    QCoreApplication::sendEvent(focus, &q);
    QRect r = q.value(Qt::ImCursorRectangle).toRect();
    if (auto* w = qobject_cast<QWidget*>(focus)) r.moveTopLeft(w->mapToGlobal(r.topLeft()));
    return RECT{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
}

bool ModelInputMethodLoaded() {
    return Model() != nullptr;
}

void ModelInputMethodOn(HWND window, bool on) {
    QObject* m = Model();
    if (!m) return;
    QWindow* top = nullptr;
    if (qtbk::HostWidget* host = window ? qtbk::HostOf(GetAncestor(window, GA_ROOT)) : nullptr) {
        host->window()->winId();
        top = host->window()->windowHandle();
    }
    QMetaObject::invokeMethod(m, "setOn", Q_ARG(QWindow*, top), Q_ARG(bool, on));
}

void ModelInputMethodCommitsOnReset(bool commits) {
    if (QObject* m = Model()) QMetaObject::invokeMethod(m, "setCommitOnReset", Q_ARG(bool, commits));
}

std::u16string ModelInputMethodPreedit() {
    QString text;
    if (QObject* m = Model()) QMetaObject::invokeMethod(m, "preedit", Q_RETURN_ARG(QString, text));
    return text.toStdU16String();
}

int ModelInputMethodResets() {
    int n = 0;
    if (QObject* m = Model()) QMetaObject::invokeMethod(m, "resets", Q_RETURN_ARG(int, n));
    return n;
}

} // namespace qtplatform
