// What the window tells the operator when something it was asked to do cannot
// start: a conversation on a closed port, a file no viewer could open.
#include <QDesktopServices>
#include <QUrl>

#include "app/Unit1.h"

void TForm1::ReportPortNotOpen() {
    const std::string& portError = FSession->PortError();
    const bool network = FSession->LinkIsNetwork() && !portError.empty();
    // Only a configuration that opened the port leaves no reason behind.
    const std::string reason = portError.empty() ? "it has been closed" : portError;
    // A network link's reason names the host and what went wrong on its own.
    FEndMessage = network ? portError
                      : "The serial port is not open: " + reason + ". Choose a port in Settings.";
    ShowStatus(FEndMessage, 0);
    PostMessage(WM_REDRAWSHAPE);
}

bool TForm1::OpenInViewer(const QString& file, TViewer viewer) {
    if (FHooks.OpenViewer) return FHooks.OpenViewer(file);
    if (viewer == vwLog) return OpenLogViewer(file);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}
