// Termination on Windows: the end of the session reaches the program as
// WM_ENDSESSION on its windows, which Qt hands to native event filters; a
// console's Ctrl+C, Ctrl+Break and close arrive on a thread of their own.
#include "app/TerminationSignals.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>
#include <stdexcept>

namespace {

class TSessionEndFilter : public QObject, public QAbstractNativeEventFilter {
public:
    explicit TSessionEndFilter(QWidget& window) : FWindow(&window) {
        FClosed = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ~TSessionEndFilter() override {
        if (FClosed != nullptr) ::CloseHandle(FClosed);
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override {
        if (eventType != "windows_generic_MSG") return false;
        const MSG* msg = static_cast<const MSG*>(message);
        if (msg->message != WM_ENDSESSION || msg->wParam == 0) return false;
        // The session ends once this message is answered: close now, and
        // answer it here; the window is gone, nothing more is to be done.
        CloseWindow();
        if (result != nullptr) *result = 0;
        return true;
    }

    // Called on the window thread.
    void CloseWindow() {
        if (FWindow) FWindow->close();
        if (FClosed != nullptr) ::SetEvent(FClosed);
    }

    // Called on the console's thread: the window thread closes the window;
    // the process ends when the handler returns, so wait for it a while.
    void CloseFromConsole(bool processEnds) {
        QMetaObject::invokeMethod(this, [this] { CloseWindow(); }, Qt::QueuedConnection);
        if (processEnds && FClosed != nullptr) ::WaitForSingleObject(FClosed, 5000);
    }

private:
    QPointer<QWidget> FWindow;
    HANDLE FClosed = nullptr;
};

std::atomic<TSessionEndFilter*> Current{nullptr};

BOOL WINAPI OnConsoleEvent(DWORD type) {
    TSessionEndFilter* filter = Current.load();
    if (filter == nullptr) return FALSE;
    switch (type) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            filter->CloseFromConsole(false);
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            filter->CloseFromConsole(true);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

TTerminationSignals::TTerminationSignals(QWidget& window) : FWindow(&window) {
    if (Current.load() != nullptr) throw std::logic_error("Termination signals are already handled");
    auto* filter = new TSessionEndFilter(window);
    FListener = filter;
    QCoreApplication::instance()->installNativeEventFilter(filter);
    Current.store(filter);
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

TTerminationSignals::~TTerminationSignals() {
    ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    Current.store(nullptr);
    auto* filter = static_cast<TSessionEndFilter*>(FListener);
    if (QCoreApplication::instance() != nullptr)
        QCoreApplication::instance()->removeNativeEventFilter(filter);
    delete filter;
}
