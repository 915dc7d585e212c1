// The program's own start-up (as main.cpp does it, crash handler, the choice
// of language and the look for dumps of an earlier run included), measured
// to the idle loop. Its translations are built beside it, so LANGUAGE=de
// measures the window in German.
#include "app/CrashReports.h"
#include "app/ErrorReport.h"
#include "app/FontWarmUp.h"
#include "app/Language.h"
#include "app/Unit1.h"
#include "startup_probe.h"

#include <QLocale>

int main(int argc, char** argv) {
    TFontWarmUp fontWarmUp;
    TApplication application(argc, argv);
    const TTranslation translation(
        ChosenLanguage(LanguageSettingOf(QCoreApplication::applicationFilePath().toStdString()),
                       QLocale::system().uiLanguages()),
        QCoreApplication::applicationDirPath());
    TCrashReports crashReports;
    fontWarmUp.Wait();
    TForm1 form1;
    ReportWhenIdle(form1);
    form1.show();
    crashReports.TellAboutEarlierCrashes(form1);
    return application.exec();
}
