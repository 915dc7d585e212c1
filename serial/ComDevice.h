// The platform side of TComPort: one object per open device. The POSIX
// implementation (termios) is in ComDevicePosix.cpp; the Win32 one in
// ComDeviceWin32.cpp maps each call onto the communications API named beside it.
//
// Calls returning int give 0 on success or the system's error code (errno,
// GetLastError). Everything except WaitEvent and TComStopSignal::Set is called
// on the owner's thread; WaitEvent runs on the event thread at the same time
// as transfers on the owner's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Platform event flags (the Win32 EV_* values).
enum : uint32_t {
    EV_RXCHAR = 0x0001,
    EV_RXFLAG = 0x0002,
    EV_TXEMPTY = 0x0004,
    EV_CTS = 0x0008,
    EV_DSR = 0x0010,
    EV_RLSD = 0x0020,
    EV_BREAK = 0x0040,
    EV_ERR = 0x0080,
    EV_RING = 0x0100,
    EV_RX80FULL = 0x0400,
};

// Everything ApplyLineSettings passes to the device (the Win32 DCB fields).
struct TComLineSettings {
    uint32_t BaudRate = 9600;
    bool Parity = false;  // fParity: check parity on input
    bool OutxCtsFlow = false;
    bool OutxDsrFlow = false;
    uint8_t DtrControl = 0;  // 0 disable, 1 enable, 2 handshake
    bool OutX = false;
    bool InX = false;
    bool ErrorCharOn = false;  // fErrorChar
    bool Null = false;         // fNull: drop received NUL bytes
    uint8_t RtsControl = 0;    // 0 disable, 1 enable, 2 handshake, 3 toggle
    uint16_t XonLim = 0;
    uint16_t XoffLim = 0;
    uint8_t ByteSize = 8;
    uint8_t ParityBits = 0;  // 0 none, 1 odd, 2 even, 3 mark, 4 space
    uint8_t StopBits = 0;    // 0 one, 1 one and a half, 2 two
    char XonChar = 0x11;
    char XoffChar = 0x13;
    char ErrorChar = 0;
    char EvtChar = 0;
    bool operator==(const TComLineSettings&) const = default;
};

// COMMTIMEOUTS: milliseconds, 0xFFFFFFFF being MAXDWORD.
struct TComTimeoutValues {
    uint32_t ReadInterval = 0xFFFFFFFF;
    uint32_t ReadTotalMultiplier = 0;
    uint32_t ReadTotalConstant = 0;
    uint32_t WriteTotalMultiplier = 100;
    uint32_t WriteTotalConstant = 1000;
    bool operator==(const TComTimeoutValues&) const = default;
};

// One transfer's record with its completion event (OVERLAPPED + manual-reset
// event); released together when the transfer is over.
class TComOperation {
public:
    virtual ~TComOperation() = default;
};

// FStopSignal of the event thread: a manual-reset event (a pipe on POSIX).
class TComStopSignal {
public:
    virtual ~TComStopSignal() = default;
    virtual void Set() = 0;  // any thread
};

struct TComIoResult {
    enum TStatus { ioDone, ioPending, ioFailed };
    TStatus Status = ioDone;
    int32_t Count = 0;  // bytes transferred (ioDone)
    int Error = 0;      // system error code (ioFailed)
};

class TComDevice {
public:
    virtual ~TComDevice() = default;

    // CreateFileA("//./" + Port): exclusive, read/write, existing device only.
    virtual int Open(const std::string& port) = 0;
    // CloseHandle; safe to call when not open.
    virtual void Close() = 0;
    // SetupComm
    virtual int SetQueueSizes(int32_t readSize, int32_t writeSize) = 0;
    // SetCommState; a setting the device does not take is an error.
    virtual int SetLineSettings(const TComLineSettings& settings) = 0;
    // SetCommTimeouts
    virtual int SetTimeouts(const TComTimeoutValues& timeouts) = 0;
    // SetCommMask
    virtual int SetEventMask(uint32_t mask) = 0;

    // The event wait: WaitCommEvent + WaitForMultipleObjects(stop, event) +
    // GetOverlappedResult. Blocks without time limit and without using CPU.
    enum TWaitResult { wrEvents, wrStopped, wrNothing };
    // CreateEvent (manual reset, not signalled) into Signal.
    virtual int NewStopSignal(std::unique_ptr<TComStopSignal>& signal) = 0;
    // wrEvents: Mask holds the events seen; wrNothing: the wait completed
    // without a result (wait again); wrStopped: the stop signal was set, or
    // the wait itself failed.
    virtual TWaitResult WaitEvent(TComStopSignal& stop, uint32_t& mask) = 0;

    // Transfers (WriteFile, ReadFile on an overlapped record). ioPending
    // leaves the operation running until WaitOperation.
    virtual std::unique_ptr<TComOperation> NewOperation() = 0;
    virtual TComIoResult Write(TComOperation& op, const char* data, int32_t count) = 0;
    virtual TComIoResult Read(TComOperation& op, char* data, int32_t count) = 0;
    // WaitForSingleObject(no limit) + GetOverlappedResult.
    virtual TComIoResult WaitOperation(TComOperation& op) = 0;

    // ClearCommError: bytes in the input queue.
    virtual int InputCount(int32_t& count) = 0;
    // PurgeComm with all four flags: ends unfinished transfers, empties both queues.
    virtual int Purge() = 0;
    // Before a close: lets the bytes already written leave the output queue
    // (see WaitForEmptyOutput), so the last reply of a conversation, written
    // just before the port closes, is not purged with the queue.
    virtual void WaitOutputSent() {}

    // FormatMessage / strerror for a code this device returned.
    virtual std::string ErrorText(int code) const = 0;
    // What the operator can do when Open(Port) failed with Code, as text to
    // follow ErrorText ("; ..."); empty when there is nothing to suggest.
    virtual std::string OpenAdvice(const std::string& port, int code) const {
        (void)port;
        (void)code;
        return {};
    }
};

// Polls Queued (bytes still in the output queue, negative when it cannot
// tell) until the queue is empty, for at most twice the time the bytes first
// seen need at Baud (11 bits a byte: start, parity and stop bits included)
// plus 100 ms, and never above 5 s: a line held by flow control must not hold
// the close for long.
void WaitForEmptyOutput(const std::function<int64_t()>& queued, uint32_t baud);

// The device of this platform: ComDevicePosix.cpp (termios over the path
// ComDevicePath gives) or ComDeviceWin32.cpp; the build compiles one of them.
std::unique_ptr<TComDevice> NewPlatformComDevice();

// The error code a transfer on a closed port reports (ERROR_INVALID_HANDLE, EBADF).
int InvalidHandleError();
