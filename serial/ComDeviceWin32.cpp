// TComDevice over the Win32 communications API.
//
// Every transfer is overlapped: the event thread keeps one WaitCommEvent
// outstanding on the handle while the owner's thread reads and writes. A
// record handed to the system (OVERLAPPED, mask word) must stay in place
// until the system is done with it, so nothing returns while one of ours is
// still in flight: a stopped event wait is cancelled and waited for, and an
// operation record that is freed unfinished cancels its transfer first.
// ComDevice.h names the EV_* flags itself; it comes before <windows.h>,
// whose macros of the same names and values then stand for them.
#include "serial/ComDevice.h"
#include "serial/ComNames.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <string>

namespace {

// After this many event waits in a row end in failure the device no longer
// answers (an adapter pulled out): the event thread stops watching rather
// than spinning.
constexpr int MaxFailedWaits = 16;

class TWin32Operation : public TComOperation {
public:
    explicit TWin32Operation(HANDLE device) : FDevice(device) {
        FOverlapped.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    ~TWin32Operation() override {
        // Only a transfer the system took as pending can still be running; a
        // call that failed at once may leave the record marked pending forever.
        if (FInFlight && !HasOverlappedIoCompleted(&FOverlapped)) {
            ::CancelIoEx(FDevice, &FOverlapped);
            DWORD count = 0;
            ::GetOverlappedResult(FDevice, &FOverlapped, &count, TRUE);
        }
        if (FOverlapped.hEvent) ::CloseHandle(FOverlapped.hEvent);
    }
    TWin32Operation(const TWin32Operation&) = delete;
    TWin32Operation& operator=(const TWin32Operation&) = delete;

    OVERLAPPED* Record() { return &FOverlapped; }
    // The outcome of ReadFile/WriteFile on this record.
    TComIoResult Started(BOOL ok, DWORD count) {
        if (ok) return {TComIoResult::ioDone, static_cast<int32_t>(count), 0};
        const DWORD error = ::GetLastError();
        if (error != ERROR_IO_PENDING) return {TComIoResult::ioFailed, 0, static_cast<int>(error)};
        FInFlight = true;
        return {TComIoResult::ioPending, 0, 0};
    }
    void Finished() { FInFlight = false; }
    bool Valid() const { return FOverlapped.hEvent != nullptr; }

private:
    HANDLE FDevice;
    OVERLAPPED FOverlapped{};
    bool FInFlight = false;
};

class TWin32StopSignal : public TComStopSignal {
public:
    TWin32StopSignal() : FEvent(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~TWin32StopSignal() override {
        if (FEvent) ::CloseHandle(FEvent);
    }
    TWin32StopSignal(const TWin32StopSignal&) = delete;
    TWin32StopSignal& operator=(const TWin32StopSignal&) = delete;
    void Set() override { ::SetEvent(FEvent); }
    HANDLE Event() const { return FEvent; }

private:
    HANDLE FEvent;
};

int LastError() {
    return static_cast<int>(::GetLastError());
}

class TWin32ComDevice : public TComDevice {
public:
    ~TWin32ComDevice() override { Close(); }

    int Open(const std::string& port) override {
        Close();
        const std::string path = ComDevicePath(port);
        // No sharing: a port another program holds cannot be opened.
        HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return LastError();
        // Created signalled, as the event thread's record starts out.
        HANDLE waitEvent = ::CreateEventA(nullptr, TRUE, TRUE, nullptr);
        if (!waitEvent) {
            const int error = LastError();
            ::CloseHandle(handle);
            return error;
        }
        FHandle = handle;
        FWaitEvent = waitEvent;
        FFailedWaits = 0;
        return 0;
    }

    void Close() override {
        if (FHandle != INVALID_HANDLE_VALUE) ::CloseHandle(FHandle);
        if (FWaitEvent) ::CloseHandle(FWaitEvent);
        FHandle = INVALID_HANDLE_VALUE;
        FWaitEvent = nullptr;
    }

    int SetQueueSizes(int32_t readSize, int32_t writeSize) override {
        if (!::SetupComm(FHandle, static_cast<DWORD>(readSize), static_cast<DWORD>(writeSize)))
            return LastError();
        return 0;
    }

    int SetLineSettings(const TComLineSettings& s) override {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        dcb.BaudRate = s.BaudRate;
        dcb.fBinary = 1;
        dcb.fParity = s.Parity;
        dcb.fOutxCtsFlow = s.OutxCtsFlow;
        dcb.fOutxDsrFlow = s.OutxDsrFlow;
        dcb.fDtrControl = s.DtrControl & 3u;
        dcb.fOutX = s.OutX;
        dcb.fInX = s.InX;
        dcb.fErrorChar = s.ErrorCharOn;
        dcb.fNull = s.Null;
        dcb.fRtsControl = s.RtsControl & 3u;
        dcb.XonLim = s.XonLim;
        dcb.XoffLim = s.XoffLim;
        dcb.ByteSize = s.ByteSize;
        dcb.Parity = s.ParityBits;
        dcb.StopBits = s.StopBits;
        dcb.XonChar = s.XonChar;
        dcb.XoffChar = s.XoffChar;
        dcb.ErrorChar = s.ErrorChar;
        dcb.EvtChar = s.EvtChar;
        if (!::SetCommState(FHandle, &dcb)) return LastError();

        // A driver may accept a state it cannot carry out and keep its own:
        // what it reports back is what the line really runs with.
        DCB got{};
        got.DCBlength = sizeof got;
        if (!::GetCommState(FHandle, &got)) return LastError();
        FBaud = got.BaudRate;
        const bool taken = got.BaudRate == dcb.BaudRate && got.ByteSize == dcb.ByteSize &&
                           got.Parity == dcb.Parity && got.StopBits == dcb.StopBits &&
                           got.fOutxCtsFlow == dcb.fOutxCtsFlow &&
                           got.fOutxDsrFlow == dcb.fOutxDsrFlow &&
                           got.fDtrControl == dcb.fDtrControl &&
                           got.fRtsControl == dcb.fRtsControl && got.fOutX == dcb.fOutX &&
                           got.fInX == dcb.fInX && got.fNull == dcb.fNull;
        return taken ? 0 : ERROR_INVALID_PARAMETER;
    }

    int SetTimeouts(const TComTimeoutValues& t) override {
        COMMTIMEOUTS timeouts{t.ReadInterval, t.ReadTotalMultiplier, t.ReadTotalConstant,
                              t.WriteTotalMultiplier, t.WriteTotalConstant};
        if (!::SetCommTimeouts(FHandle, &timeouts)) return LastError();
        FReadAtOnce = t.ReadInterval == MAXDWORD && t.ReadTotalMultiplier == 0 &&
                      t.ReadTotalConstant == 0;
        return 0;
    }

    int SetEventMask(uint32_t mask) override {
        if (!::SetCommMask(FHandle, mask)) return LastError();
        FEventMask = mask;
        return 0;
    }

    int NewStopSignal(std::unique_ptr<TComStopSignal>& signal) override {
        auto made = std::make_unique<TWin32StopSignal>();
        if (!made->Event()) return LastError();
        signal = std::move(made);
        return 0;
    }

    TWaitResult WaitEvent(TComStopSignal& stop, uint32_t& mask) override {
        HANDLE stopEvent = static_cast<TWin32StopSignal&>(stop).Event();
        if (!stopEvent || !FWaitEvent) return wrStopped;
        OVERLAPPED overlapped{};
        overlapped.hEvent = FWaitEvent;
        DWORD events = 0;
        if (!::WaitCommEvent(FHandle, &events, &overlapped) &&
            ::GetLastError() != ERROR_IO_PENDING)
            return wrStopped;  // the device refuses to be watched: nothing to wait for

        const HANDLE handles[2] = {stopEvent, FWaitEvent};
        const DWORD which = ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        DWORD count = 0;
        if (which != WAIT_OBJECT_0 + 1) {
            // Stopped (or the wait broke): take the outstanding wait back
            // before Overlapped and Events go out of scope. Setting the mask
            // again ends a pending WaitCommEvent (the documented way; Wine
            // does not cancel one through CancelIoEx).
            ::SetCommMask(FHandle, FEventMask);
            ::GetOverlappedResult(FHandle, &overlapped, &count, TRUE);
            return wrStopped;
        }
        if (!::GetOverlappedResult(FHandle, &overlapped, &count, FALSE)) {
            if (++FFailedWaits >= MaxFailedWaits) return wrStopped;
            return wrNothing;
        }
        FFailedWaits = 0;
        if (events == 0) return wrNothing;
        mask = events;
        return wrEvents;
    }

    std::unique_ptr<TComOperation> NewOperation() override {
        return std::make_unique<TWin32Operation>(FHandle);
    }

    TComIoResult Write(TComOperation& op, const char* data, int32_t count) override {
        auto& record = static_cast<TWin32Operation&>(op);
        if (!record.Valid()) return {TComIoResult::ioFailed, 0, LastError()};
        DWORD written = 0;
        const BOOL ok = ::WriteFile(FHandle, data, static_cast<DWORD>(count), &written, record.Record());
        return record.Started(ok, written);
    }

    TComIoResult Read(TComOperation& op, char* data, int32_t count) override {
        auto& record = static_cast<TWin32Operation&>(op);
        if (!record.Valid()) return {TComIoResult::ioFailed, 0, LastError()};
        if (FReadAtOnce) {
            // These timeouts mean "what has arrived, even nothing, at once".
            // Asking for no more than the input queue holds gives exactly that
            // on every driver (Wine's would wait for a first byte otherwise).
            int32_t waiting = 0;
            if (int error = InputCount(waiting)) return {TComIoResult::ioFailed, 0, error};
            count = std::min(count, waiting);
            if (count <= 0) return {TComIoResult::ioDone, 0, 0};
        }
        DWORD got = 0;
        const BOOL ok = ::ReadFile(FHandle, data, static_cast<DWORD>(count), &got, record.Record());
        return record.Started(ok, got);
    }

    TComIoResult WaitOperation(TComOperation& op) override {
        auto& record = static_cast<TWin32Operation&>(op);
        ::WaitForSingleObject(record.Record()->hEvent, INFINITE);
        record.Finished();
        DWORD count = 0;
        if (!::GetOverlappedResult(FHandle, record.Record(), &count, FALSE))
            return {TComIoResult::ioFailed, static_cast<int32_t>(count), LastError()};
        return {TComIoResult::ioDone, static_cast<int32_t>(count), 0};
    }

    int InputCount(int32_t& count) override {
        DWORD errors = 0;
        COMSTAT status{};
        if (!::ClearCommError(FHandle, &errors, &status)) return LastError();
        count = static_cast<int32_t>(status.cbInQue);
        return 0;
    }

    void WaitOutputSent() override {
        WaitForEmptyOutput(
            [this] {
                DWORD errors = 0;
                COMSTAT status{};
                return ::ClearCommError(FHandle, &errors, &status) ? int64_t{status.cbOutQue}
                                                                   : int64_t{-1};
            },
            FBaud);
    }

    int Purge() override {
        if (!::PurgeComm(FHandle, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR))
            return LastError();
        return 0;
    }

    std::string ErrorText(int code) const override {
        char* buffer = nullptr;
        const DWORD length = ::FormatMessageA(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
        std::string text = length && buffer ? std::string(buffer, length) : std::string();
        if (buffer) ::LocalFree(buffer);
        // System texts end with a line break (and sometimes a blank).
        while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
            text.pop_back();
        return text.empty() ? "Unknown error " + std::to_string(code) : text;
    }

private:
    HANDLE FHandle = INVALID_HANDLE_VALUE;
    uint32_t FBaud = 9600;  // of the line settings last taken
    HANDLE FWaitEvent = nullptr;  // the event thread's record event
    DWORD FEventMask = 0;         // set before the event thread starts
    bool FReadAtOnce = false;     // the read timeouts ask for no waiting
    int FFailedWaits = 0;         // event thread only
};

}  // namespace

std::unique_ptr<TComDevice> NewPlatformComDevice() {
    return std::make_unique<TWin32ComDevice>();
}

int InvalidHandleError() {
    return ERROR_INVALID_HANDLE;
}
