// The yardstick: a bare Qt Widgets window of the main window's size.
#include <QApplication>
#include <QWidget>

#include "startup_probe.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.setFixedSize(462, 586);
    window.setWindowTitle(QStringLiteral("Trevalon"));
    ReportWhenIdle(window);
    window.show();
    return application.exec();
}
