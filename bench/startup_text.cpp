// A second yardstick: the bare window of startup_minimal showing one label
// and one line edit. Any window with text pays Qt's text stack on its way
// to idle (font database, first font engine, shaping, glyph cache); this
// separates that cost from what the main window adds on top of it.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include "startup_probe.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.setFixedSize(462, 586);
    window.setWindowTitle(QStringLiteral("Trevalon"));
    auto* label = new QLabel(QStringLiteral("Tray/Job Number"), &window);
    label->setGeometry(15, 4, 129, 16);
    auto* edit = new QLineEdit(QStringLiteral("12345"), &window);
    edit->setGeometry(15, 20, 129, 32);
    ReportWhenIdle(window);
    window.show();
    return application.exec();
}
