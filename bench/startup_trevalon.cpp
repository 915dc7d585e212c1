// The program's own start-up (as main.cpp does it, crash handler and the
// look for dumps of an earlier run included), measured to the idle loop.
#include "app/CrashReports.h"
#include "app/ErrorReport.h"
#include "app/FontWarmUp.h"
#include "app/Unit1.h"
#include "startup_probe.h"

int main(int argc, char** argv) {
    TFontWarmUp fontWarmUp;
    TApplication application(argc, argv);
    TCrashReports crashReports;
    fontWarmUp.Wait();
    TForm1 form1;
    ReportWhenIdle(form1);
    form1.show();
    crashReports.TellAboutEarlierCrashes(form1);
    return application.exec();
}
