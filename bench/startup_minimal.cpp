// The yardstick: a bare Qt Widgets window of the main window's size.
#include <QApplication>
#include <QWidget>

#include "startup_probe.h"

int main(int argc, char** argv) {
    QApplication Application(argc, argv);
    QWidget Window;
    Window.setFixedSize(462, 586);
    Window.setWindowTitle(QStringLiteral("Trevalon"));
    ReportWhenIdle(Window);
    Window.show();
    return Application.exec();
}
