// The program's own start-up (as main.cpp does it), measured to the idle loop.
#include "app/ErrorReport.h"
#include "app/Unit1.h"
#include "startup_probe.h"

int main(int argc, char** argv) {
    TApplication Application(argc, argv);
    TForm1 Form1;
    ReportWhenIdle(Form1);
    Form1.show();
    return Application.exec();
}
