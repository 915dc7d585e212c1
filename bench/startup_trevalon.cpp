// The program's own start-up (as main.cpp does it), measured to the idle loop.
#include "app/ErrorReport.h"
#include "app/Unit1.h"
#include "startup_probe.h"

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    TForm1 form1;
    ReportWhenIdle(form1);
    form1.show();
    return application.exec();
}
