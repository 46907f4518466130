// A plain Qt line edit in a window of its own, for trying the system's input
// method on a display before the program is tried: Enter with no composition
// open prints the field's text on its own line of standard output (UTF-8) and
// empties the field. The desktop check types a conversion here first, so that
// an input method that does not work is told apart from a fault of the program,
// and learns what the engine's conversion gives.
#include <QApplication>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("imeprobe"));
    auto* layout = new QVBoxLayout(&window);
    auto* edit = new QLineEdit(&window);
    layout->addWidget(edit);
    QObject::connect(edit, &QLineEdit::returnPressed, [edit] {
        const QByteArray text = edit->text().toUtf8();
        std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
        edit->clear();
    });
    window.resize(400, 60);
    window.show();
    edit->setFocus();
    return QApplication::exec();
}
