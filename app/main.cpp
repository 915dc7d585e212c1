// Program entry: the application, its one main window and the message loop.
#include "app/CrashReports.h"
#include "app/ErrorReport.h"
#include "app/FontWarmUp.h"
#include "app/Language.h"
#include "app/ProgramInfo.h"
#include "app/StartFile.h"
#include "app/TerminationSignals.h"
#include "app/Unit1.h"

#include <QLocale>

int main(int argc, char** argv) {
    if (const auto status = AnswerInfoOption(argc, argv)) return *status;  // no display needed
    TFontWarmUp fontWarmUp;  // beside the connection to the display
    TApplication application(argc, argv);  // takes Qt's own options out of argv
    if (const auto status = RefuseUnknownArguments(argc, argv)) return *status;
    // Before any widget is made, so every text is made in the chosen language.
    const TTranslation translation(
        ChosenLanguage(LanguageSettingOf(QCoreApplication::applicationFilePath().toStdString()),
                       QLocale::system().uiLanguages()),
        QCoreApplication::applicationDirPath());
    TCrashReports crashReports;
    fontWarmUp.Wait();
    TForm1 form1;
    TTerminationSignals terminationSignals(form1);
    form1.show();
    crashReports.TellAboutEarlierCrashes(form1);
    OpenStartFile(form1, QCoreApplication::arguments());
    return application.exec();
}
