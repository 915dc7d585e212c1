#pragma once

// TForm1: the main window. Declared once here; its members are defined in one
// file per concern:
//   Unit1.cpp          controls, layout, wiring, window-message dispatch
//   Conversation.cpp   the session's face: what the conversations take and show
//   Negotiation.cpp, RequestJob.cpp, StoreJob.cpp  the conversation steps
//   CommLogWindow.cpp  communication log entries, end of a conversation, log display
//   TrayField.cpp      the tray field's handlers
//   Startup.cpp        FormCreate, ConfigurePort, SettingsButtonClick, FormClose
//   JobFiles.cpp       opening and saving job files, printing and PDF
//   ErrorReport.cpp    the application-wide error report
//   SampleHostOffer.cpp  the first start's "Try with the sample host"
//   OperatorMessages.cpp  a conversation on a closed port, opening files in a viewer
//   editor files       see the editor block below

#include <QEvent>
#include <QString>
#include <QTime>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "app/CommLog.h"
#include "app/WindowMessages.h"
#include "base/NameValueList.h"
#include "conversation/Session.h"
#include "job/Job.h"
#include "oma/HostReplies.h"
#include "settings/Hooks.h"
#include "shape/TrceCalc.h"

class QAction;
class QCheckBox;
struct TPrintSheet;
class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;
class QToolButton;
class TComPort;
class TLink;
class TSampleHost;
class TSettingsForm;
class TStatusBar;
class TValueEdit;

class TForm1 : public QWidget {
    Q_OBJECT
public:
    // --- Public interface ---------------------------------------------------
    explicit TForm1(THooks hooks = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // Controls (owned by the window).
    QFrame* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* TrayEdit = nullptr;
    QMenu* TrayNoPopupMenu = nullptr;
    QAction* Circle1 = nullptr;
    QAction* Square1 = nullptr;
    QAction* Diamond1 = nullptr;
    QAction* FlowerPot1 = nullptr;
    QAction* OpenFile1 = nullptr;  // "Open Job File...", Ctrl+O
    QAction* SaveFile1 = nullptr;  // "Save Job File...", Ctrl+S
    QAction* Print1 = nullptr;     // "Print Shape...", Ctrl+P
    QAction* SavePdf1 = nullptr;   // "Save as PDF..."
    QAction* TrySampleHost1 = nullptr;  // "Try with the sample host", while offered
    QPushButton* ReqButton = nullptr;
    QPushButton* SaveButton = nullptr;
    QCheckBox* ShowOrigCheckbox = nullptr;
    QCheckBox* DetailedGridCheckBox = nullptr;
    QToolButton* RotLeftButton = nullptr;
    QToolButton* RotRightButton = nullptr;
    QPushButton* ResetButton = nullptr;
    QPushButton* HelpButton = nullptr;
    QPushButton* SettingsButton = nullptr;
    QFrame* Panel2 = nullptr;
    TValueEdit* BoxAEdit = nullptr;
    TValueEdit* BoxBEdit = nullptr;
    TValueEdit* CircEdit = nullptr;
    TValueEdit* DBLEdit = nullptr;
    QLabel* BoxALabel = nullptr;  // "&A"
    QLabel* BoxBLabel = nullptr;  // "&B"
    QLabel* CircLabel = nullptr;  // "&Circ"
    QLabel* DBLLabel = nullptr;   // "&DBL"
    QLabel* ChgALabel = nullptr;
    QLabel* ChgBLabel = nullptr;
    QLabel* ChgCLabel = nullptr;
    QLabel* DBLChgLabel = nullptr;
    QCheckBox* LockBCheckbox = nullptr;
    QLabel* Image1 = nullptr;  // the shape picture: a pixmap of 462 x 406
    QMenu* ImagePopupMenu = nullptr;
    QAction* DisplayCommunicationLog1 = nullptr;
    QAction* SaveTranscript1 = nullptr;  // "Save Session Transcript..."
    QAction* About1 = nullptr;  // "About Trevalon...": version and licence
    TStatusBar* StatusBar1 = nullptr;
    QTimer* TimeoutTimer = nullptr;  // 1000 ms, off at start
    // The serial port; the link to the host is over it while the port setting
    // names a serial port.
    std::unique_ptr<TComPort> COMPort;

    // Writes Text to the link (waiting for the write), logs it as data to the
    // host and, during a conversation, restarts the 15-second reply countdown.
    void SendToHost(const std::string& text);
    // Sets a status bar panel to Text (single-byte); the bar's hint always
    // holds the whole text of panel 0.
    void ShowStatus(const std::string& text, int panel);
    // The same for text that is not single-byte (a path, say).
    void ShowStatusText(const QString& text, int panel);
    void EnableControls(bool enable);
    // Blocks the window thread for the pause after initialization.
    void Pause(unsigned milliseconds);
    void LogToHost(const std::string& data);
    void LogFromHost(const std::string& data);
    // Fills HBox, VBox and Circ of Trace from its Radii.
    void MeasureShape(TTraceInfo& trace);
    // The store conversation's start (Save Shape).
    void StartStore();
    void ShowValues();
    void ClearImage();
    void DrawShape();
    // Draws the picture again when the screen's pixel ratio is no longer the
    // one it was drawn at (moved to another screen, display scale changed).
    void KeepPictureAtScreenRatio();
    static QString FormatChange(double value);
    // Reads a job file into FRecords, FReceived and FWorking and shows it;
    // the tray field takes the file's JOB number when it has one. A file that
    // cannot be used leaves everything as it was and its message on the
    // picture and in status panel 0. Returns whether the file was taken.
    bool OpenJobFile(const QString& fileName);
    // Writes the working shape with the job's records as a job file in format
    // 1 or 4, at the received shape's point count or at 1024 points. Failures
    // are reported like OpenJobFile's; returns whether the file was written.
    bool SaveJobFile(const QString& fileName, int format, bool receivedCount);
    // The working shape at true size as a PDF file; reported like SaveJobFile.
    bool SaveShapePdf(const QString& fileName);

    // Handles a window message at once, as the platform's SendMessage does.
    void SendMessage(QEvent::Type message);
    // Queues a window message for the event loop.
    void PostMessage(QEvent::Type message);

    // The file name the settings are kept in: the program file with ".dat"
    // for a portable program, else the user's configuration folder.
    std::string SettingsFileName() const;
    // The program file (FHooks.ProgramFile or the running program).
    const std::string& ProgramFileName() const { return FProgramFile; }

    // What the window holds, for reading: the shape as received (or as a
    // preset or job file made it), the shape being edited, the job's other
    // records, whether a conversation with the host is running, and the
    // message the picture shows (empty when none).
    const TTraceInfo& ReceivedShape() const { return FReceived; }
    const TTraceInfo& WorkingShape() const { return FWorking; }
    const TNameValueList& JobRecords() const { return FRecords; }
    bool Talking() const { return FSession->Talking(); }
    // The conversation engine, for reading its state.
    const TConversation& Engine() const { return FSession->Engine(); }
    const std::string& PictureMessage() const { return FEndMessage; }

    // --- Event handlers -----------------------------------------------------
    void FormCreate();
    void FormClose();
    // Returns whether the key was consumed (the focused control must not see it).
    bool FormKeyDown(QKeyEvent* key);
    void TimeoutTimerTimer();
    void SettingsButtonClick();
    void DisplayCommunicationLog1Click();
    void ReqButtonClick();
    void SaveButtonClick();
    void TrayEditChange();
    // Returns whether the key was swallowed.
    bool TrayEditKeyPress(QKeyEvent* key);
    void LockBCheckboxClick();
    void HelpButtonClick();
    void BoxValsEditChange(QObject* sender);
    void RotRightButtonClick(QObject* sender);
    void ResetButtonClick();
    void ShowOrigCheckboxClick();
    void DetailedGridCheckBoxClick();
    void Circle1Click();
    void Square1Click(QObject* sender);
    void FlowerPotClick();
    // Ctrl+arrow keys of FormKeyDown; returns whether the key was consumed.
    bool OverlayKeyDown(QKeyEvent* key);
    void OpenFile1Click();
    void SaveFile1Click();
    void Print1Click();
    void SavePdf1Click();
    void SaveTranscript1Click();
    void TrySampleHost1Click();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // --- Conversations (Conversation.cpp, RequestJob.cpp, StoreJob.cpp) --------
    class TSessionView;
    void CreateSession();

    // Opens File without waiting: the log in the platform's text viewer, the
    // help in the desktop's browser; False when no viewer could be started.
    enum TViewer : std::uint8_t { vwLog, vwHelp };
    bool OpenInViewer(const QString& file, TViewer viewer);
    // A conversation could not start because the port is closed: says why
    // and what to do (the session's log has the port's own text).
    void ReportPortNotOpen();

    // The tray field's text as the bytes that go on the line.
    std::string TrayText() const;
    // The tray field's text for a packet; throws with the operator's text when
    // it would break the packet (a control character or a double quote).
    std::string PacketTray() const;

    // --- Engine, log, start-up, editor and file helpers ---------------------
    void CreateControls();
    void ConnectControls();
    void ConfigurePort();
    // Runs the engine's step on a complete reply (WM_HOSTREPLY).
    void HostReply();
    // WM_ENDCONVERSATION (Escape, Display Log): the session ends the
    // conversation with FEndMessage, then ShowConversationEnd.
    void EndConversation();
    // What the operator sees when a conversation has ended: FEndMessage in
    // panel 0, the controls back, the shape again and the log.
    void ShowConversationEnd();
    void ShowLog();
    void DeleteLogFile();
    // Makes Radii (a preset) the received shape, shows TrayText in the tray
    // field and sets the working shape to it at 1024 points with DBL 15.00.
    void LoadPreset(const std::string& radii, const char* trayText);
    TPrintSheet PrintSheet() const;
    // Shows a file operation's failure on the picture and in status panel 0.
    void ReportFileFailure(const std::string& message);
    // Takes a file operation's message off the picture after a later success.
    void ClearFileFailure();
    // Handles a file dragged onto any part of the window; returns whether the
    // event was taken.
    bool FileDragEvent(QEvent* event);

    // --- Sample host (SampleHostOffer.cpp) ----------------------------------
    // At start: offers the sample host when there is no settings file, or
    // starts it again when the settings still name it.
    void OfferSampleHost();
    // Before settings are applied: settings that name another port end the
    // offer and the sample host.
    void SampleHostSettingsApplied();

    // --- State --------------------------------------------------------------
    THooks FHooks;
    std::string FProgramFile;

    // The conversations with the host: the link, the engine, the log and
    // the transcripts.
    std::unique_ptr<TSessionFace> FSessionView;
    std::unique_ptr<TSession> FSession;
    std::string FEndMessage;

    // The job: what the conversations fetch and store, and the editor edits
    // (job/Job.h). The window's names for its parts.
    TJob FJob;
    TTraceInfo& FReceived = FJob.Received;
    TTraceInfo& FWorking = FJob.Working;
    TNameValueList& FRecords = FJob.Records;

    // Communication log file and settings.
    std::string FLogFileName;
    TNameValueList SettingsList;
    bool FClosed = false;

    // Editor.
    bool FUpdating = false;
    std::int32_t FOverlayX = -1;
    std::int32_t FOverlayY = -1;
    bool FPictureCleared = true;  // the picture is ClearImage's, not DrawShape's

    // Job files.
    std::string FFileFailure;  // the last file operation's failure shown

    // The sample host, when the program has one; it stops with the window.
    std::unique_ptr<TSampleHost> FSampleHost;
};
