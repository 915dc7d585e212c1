// Program entry: the application, its one main window and the message loop.
#include "app/ErrorReport.h"
#include "app/TerminationSignals.h"
#include "app/Unit1.h"

int main(int argc, char** argv) {
    TApplication Application(argc, argv);
    TForm1 Form1;
    TTerminationSignals Signals(Form1);
    Form1.show();
    return Application.exec();
}
