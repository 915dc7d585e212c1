#pragma once

// TSettingsForm: the settings dialog. It shows and edits the main window's
// settings list; OK writes the shown values into the list, Cancel leaves it
// alone. Its own port ComPort1 builds the list of usable ports when the
// dialog is created and serves the host search ("Discover Host").

#include <QDialog>
#include <QPointer>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "settings/FindPort.h"
#include "settings/Hooks.h"
#include "base/NameValueList.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class TComPort;
class TLink;

// The names of the ports Port can open right now, in probing order: COM1 to
// COM99, then the USB serial devices Hooks lists. Port is left closed; a port
// that cannot be opened (missing, or held by another program) is left out.
std::vector<std::string> ListUsablePorts(TComPort& port, const THooks& hooks);

class TSettingsForm : public QDialog {
    Q_OBJECT
public:
    TSettingsForm(TNameValueList& settings, THooks hooks = {}, QWidget* parent = nullptr);
    ~TSettingsForm() override;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QComboBox* COMPortComboBox = nullptr;
    QComboBox* BaudRateComboBox = nullptr;
    QComboBox* ParityComboBox = nullptr;
    QComboBox* DatabitsComboBox = nullptr;
    QComboBox* StopBitsComboBox = nullptr;
    QComboBox* TracerModeComboBox = nullptr;
    QCheckBox* PauseCheckbox = nullptr;
    QCheckBox* VerifyChecksumsCheckbox = nullptr;
    QPushButton* BitBtn1 = nullptr;  // OK
    QPushButton* BitBtn2 = nullptr;  // Cancel
    QPushButton* BitBtn3 = nullptr;  // Discover Host
    // The window's language: "System" (the settings' Language left out) or
    // one that ships, each named in its own language; used from the next start.
    QLabel* LanguageLabel = nullptr;
    QComboBox* LanguageComboBox = nullptr;
    QLabel* LanguageNote = nullptr;
    std::unique_ptr<TComPort> ComPort1;
    QTimer* TimeoutTimer = nullptr;  // 3000 ms, off

    void FormCreate();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void ComPort1RxChar(std::int32_t inQue);
    void TimeoutTimerTimer();

    // The host search. FindPortForm exists only while a search runs.
    QPointer<TFindPortForm> FindPortForm;
    std::vector<std::string> FCandidates;  // "name|rate", next first
    std::string FReplyBuffer;              // bytes of the current attempt

    // Closing the dialog (OK, Cancel, title bar) ends a running search silently.
    void done(int result) override;
    // The dialog opens centred on the screen, not over its owner.
    void setVisible(bool visible) override;

protected:
    bool event(QEvent* event) override;

private:
    void CreateControls();
    TNameValueList& FSettings;
    THooks FHooks;

    // Where the search stands. Each handler acts only in the states it
    // belongs to, so a late tick, message or answer cannot restart or end a
    // search twice.
    enum TFindState : std::uint8_t {
        fsIdle,      // no search
        fsStarting,  // the first WM_FINDNEXT is on its way
        fsOpening,   // an attempt is being set up
        fsWaiting,   // request sent, TimeoutTimer running
        fsTimedOut,  // WM_FINDNEXT on its way; the port still on the last candidate
        fsStalled,   // the request could not be sent; only Cancel ends the search
        fsFound      // WM_HOSTFOUND on its way
    };
    TFindState FFindState = fsIdle;
    unsigned FSearch = 0;     // number of the current (or last) search
    std::string FFailedPort;  // the candidate port that could not be opened
    // A network port in the port field is searched alone, over this link
    // (ComPort1 serves the serial ports); FAttempt is the candidate it tries.
    std::unique_ptr<TLink> FSearchLink;
    TCandidate FAttempt;
    bool FNetworkSearch = false;

    void PostFindMessage(QEvent::Type message, int wParam = 0);
    void WMFindNext();
    void WMFindDone(int outcome);
    void WMHostFound();
    void EndSearch();
    void CloseSearchPort();
    std::string ReadWaiting(std::int32_t count);
    void SearchReceived(const std::string& bytes);
    bool OpenNetworkAttempt(const TCandidate& candidate);
};
