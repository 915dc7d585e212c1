#pragma once

// FindPort: the host search of the settings dialog. TFindPortForm is the small
// progress window shown while a search runs; the functions below are the
// search's pure parts (candidates, request, answer).

#include <QDialog>
#include <QEvent>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "oma/HostReplies.h"  // IsHostAnswer: the search's answer check

class QLabel;
class QProgressBar;
class QPushButton;
class TComPort;
struct THooks;

// Messages posted to the settings dialog during a search.
inline constexpr QEvent::Type WM_FINDNEXT = static_cast<QEvent::Type>(QEvent::User + 1);
inline constexpr QEvent::Type WM_FINDDONE = static_cast<QEvent::Type>(QEvent::User + 2);
inline constexpr QEvent::Type WM_HOSTFOUND = static_cast<QEvent::Type>(QEvent::User + 3);

// The first parameter of WM_FINDDONE.
enum TFindOutcome : int { foCancelled = 0, foNotFound = 1, foNoAccess = 2 };

// A search message. Search is the number of the search that posted it: a
// message that outlives its search (or arrives during a later one) is dropped.
class TFindMessage : public QEvent {
public:
    TFindMessage(QEvent::Type message, int wParam, unsigned search)
        : QEvent(message), FWParam(wParam), FSearch(search) {}
    int WParam() const { return FWParam; }
    unsigned Search() const { return FSearch; }

private:
    int FWParam;
    unsigned FSearch;
};

// The four line speeds each usable port is tried at, in order.
inline constexpr std::int32_t FindBaudRates[] = {9600, 19200, 38400, 57600};

// "name|rate" for every port Port can open now (COM1..COM99, then the USB
// serial devices Hooks lists) and every rate of FindBaudRates. Port is left closed.
std::vector<std::string> BuildCandidates(TComPort& port, const THooks& hooks);

// The candidates for a network port in the port field, which is searched
// alone: "url|rate" at each rate of FindBaudRates for rfc2217:// (the device
// server sets its line to each), one "url|0" for socket:// (no line to set).
std::vector<std::string> NetworkCandidates(const std::string& url);

// What the progress window says of an attempt: "Trying NAME at RATE baud...",
// or "Trying NAME..." for a candidate without a rate.
std::string TryingText(const std::string& port, std::int32_t baudRate);

struct TCandidate {
    std::string Port;
    std::int32_t BaudRate = 0;
};
// The port name is the text before the first "|", the baud rate the decimal
// number in the (up to nine) characters after it; 0 when they hold none.
TCandidate SplitCandidate(std::string_view candidate);

// The initialization request the search sends: the packet whose body is the
// one record "REQ=INI\r" (21 bytes, checksum 13402).
const std::string& FindHostRequest();

// --- The progress window ----------------------------------------------------

// Stays above all other windows while a search runs. Cancel, the title bar's
// close button and Escape all post WM_FINDDONE (cancelled) to the owner;
// the window itself stays until the owner frees it.
class TFindPortForm : public QDialog {
    Q_OBJECT
public:
    TFindPortForm(QWidget* owner, unsigned search);

    QLabel* Label1 = nullptr;              // the attempt in progress
    QProgressBar* ProgressBar1 = nullptr;  // attempts started
    QPushButton* Button1 = nullptr;        // Cancel

    void FormCreate();
    void Button1Click();
    void reject() override;
    unsigned Search() const { return FSearch; }

private:
    void CreateControls();
    unsigned FSearch;
};
