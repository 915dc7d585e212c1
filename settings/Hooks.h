#pragma once

// THooks: everything the main window and the settings dialog take from their
// surroundings, in one record handed to each when it is made. Every empty
// member means the real thing; tests replace what they need to drive. The
// serial ports get their share as per-port hooks (ComPortHooks).

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QTime>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "serial/Comms.h"

// Single-byte text as the screen shows it: each byte one Latin-1 character.
QString Latin1Text(const std::string& text);

class QPrinter;
class QWidget;
class TSettingsForm;

// What a file name is asked for.
enum TFileChoiceKind : std::uint8_t { fcOpenJob, fcSaveJob, fcSavePdf, fcSaveTranscript };

struct TFileChoice {
    TFileChoiceKind Kind = fcOpenJob;
    QStringList Filters;
    int Filter = 0;  // index into Filters
};

// A message box as the program asks for it. Text is single-byte; each CR
// shows as a line break.
struct TMessageBoxInfo {
    std::string Text;
    std::string Caption;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons Buttons = QMessageBox::Ok;
    QMessageBox::StandardButton DefaultButton = QMessageBox::NoButton;
};

struct THooks {
    // --- The program's surroundings ------------------------------------------
    // The program file: the settings file, the help file and the version
    // information are found from it. Empty: the running program.
    std::string ProgramFile;
    // Millisecond tick count (wraps at 2^32). Empty: a monotonic clock.
    std::function<std::uint32_t()> TickCount;
    // Local time of a log entry. Empty: the current local time.
    std::function<QTime()> LocalTime;
    // Opens a file (the log, the help) in the desktop's viewer without
    // waiting; returns whether it started. Empty: the desktop's default viewer.
    std::function<bool(const QString& fileName)> OpenViewer;
    // Folder for the temporary log file. Empty: the system's temp folder.
    QString TempPath;
    // Folder of the session transcripts. Empty: "transcripts" in the user's
    // data folder, beside the crash reports.
    QString TranscriptPath;
    // Blocking pause of the window thread. Empty: a real sleep.
    std::function<void(unsigned milliseconds)> Sleep;
    // Runs the settings dialog modally and returns its result
    // (QDialog::Accepted or Rejected). Empty: QDialog::exec.
    std::function<int(TSettingsForm& dialog)> ShowSettingsModal;
    // Asks for a file name for choice.Kind among choice.Filters, starting with
    // choice.Filter selected, which it sets to the one chosen; an empty name
    // cancels. Empty: the desktop's file dialog.
    std::function<QString(TFileChoice& choice)> ChooseFile;
    // Runs the print dialog on printer; returns whether to print. Empty: the
    // platform's print dialog.
    std::function<bool(QPrinter& printer)> ShowPrintDialog;

    // --- What the operator is told ----------------------------------------
    // The application-wide error report: shows a failure no handler took
    // care of. Empty: a message box.
    std::function<void(const QString& message)> ReportError;
    // Shows a message box modally over Owner and returns the button pressed.
    // Empty: a real message box.
    std::function<QMessageBox::StandardButton(QWidget* owner, const TMessageBoxInfo& box)>
        MessageBox;
    // Single-byte texts from the layers below (message boxes, the host
    // search's progress, error reports) in the operator's language; the
    // window supplies its table. Empty: shown as they are.
    std::function<QString(const std::string& text)> ScreenText;

    // --- Serial ports ---------------------------------------------------------
    // Handed to every port the windows make. A port's handler failures go to
    // ReportError above unless ComPort.ReportError says otherwise.
    TComPortHooks ComPort;
    // The USB serial devices present. Empty: EnumerateUsbSerialDevices.
    std::function<std::vector<std::string>()> UsbSerialDevices;

    // The members above with their defaults applied.
    void Report(const QString& message) const;
    // Message is single-byte text (an exception's what()).
    void Report(const std::string& message) const;
    QString ShownText(const std::string& text) const;
    QMessageBox::StandardButton ShowMessageBox(QWidget* owner, const TMessageBoxInfo& box) const;
    std::vector<std::string> ListUsbSerialDevices() const;
    TComPortHooks ComPortHooks() const;
};

// The real error report: a message box over the active window.
void ShowErrorBox(const QString& message);

// Runs Handler and hands what it throws to Hooks' error report, so that no
// exception leaves an event handler into the event loop.
template <class F>
void Guarded(const THooks& hooks, F&& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        hooks.Report(std::string(e.what()));
    } catch (...) {
        hooks.Report(std::string("Unknown error"));
    }
}
