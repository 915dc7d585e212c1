// Comms: the serial port component.
//
// A TComPort is created on its owner's thread (the window thread) and used only
// there: properties, Open/Close, Write, Read, InputCount. While it is open an
// event thread waits for device events and hands them to the owner's thread.
// With smSynchronize (the default) and smWindow the handlers run on the owner's
// thread through the hooks' OwnerThread (the program's event loop); the event
// thread waits until the handler has run. With smNone the handlers run on the
// event thread: there they may Read and Write with Wait True and ask
// InputCount, while opening, closing, transfers without waiting and the
// pending-transfer calls are refused with EComPort.
//
// Typical use:
//     TComPort COMPort(hooks);               // hooks.OwnerThread: the window thread
//     COMPort.OnRxChar = [&](TComPort* sender, int32_t inQue) {
//         std::string text;
//         sender->Read(text, inQue, true);
//     };
//     COMPort.SetPort("COM1");
//     COMPort.SetBaudRate(9600);
//     COMPort.SetActive(true);            // throws EComPort with the operator's text
//     COMPort.Write(Packet, true);
//     COMPort.SetActive(false);           // also done by the destructor
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class TComPort;
class TComThread;
class TComDevice;
class TComOperation;
class TComOwnerThread;
class TComHandOff;
struct TComIoResult;

// Failures of the port itself; what() is the text shown to the operator.
class EComPort : public std::runtime_error {
public:
    explicit EComPort(const std::string& message) : std::runtime_error(message) {}
};

// An operating-system failure reported the way the runtime reports one:
// "System Error.  Code: %d.\r\n%s", or "A call to an OS function failed" for code 0.
class EOSError : public std::runtime_error {
public:
    EOSError(int code, const std::string& systemText);
    int ErrorCode() const { return FErrorCode; }

private:
    int FErrorCode;
};

enum TStopBits : uint8_t { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
using TDataBits = uint8_t;  // 4..8
enum TParityBits : uint8_t { prNone, prOdd, prEven, prMark, prSpace };
enum TDtrFlowControl : uint8_t { dtrDisable, dtrEnable, dtrHandshake };
enum TRtsFlowControl : uint8_t { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TEvent : uint8_t {
    evRxChar,
    evTxEmpty,
    evRxFlag,
    evRing,
    evBreak,
    evCTS,
    evDSR,
    evError,
    evRLSD,
    evRx80Full
};
enum TSyncMethod : uint8_t { smSynchronize, smWindow, smNone };

// A set of TEvent (bit n = ordinal n).
class TEvents {
public:
    constexpr TEvents() = default;
    constexpr TEvents(std::initializer_list<TEvent> events) {
        for (TEvent e : events) FBits = static_cast<uint16_t>(FBits | Bit(e));
    }
    static constexpr TEvents All() {
        TEvents s;
        s.FBits = 0x3FF;
        return s;
    }
    constexpr bool Contains(TEvent e) const { return (FBits & Bit(e)) != 0; }
    constexpr void Include(TEvent e) { FBits = static_cast<uint16_t>(FBits | Bit(e)); }
    constexpr void Exclude(TEvent e) { FBits = static_cast<uint16_t>(FBits & ~Bit(e)); }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr bool operator==(const TEvents&) const = default;

private:
    static constexpr uint16_t Bit(TEvent e) { return static_cast<uint16_t>(1u << e); }
    uint16_t FBits = 0;
};

using TNotifyEvent = std::function<void(TComPort* sender)>;
using TRxCharEvent = std::function<void(TComPort* sender, int32_t inQue)>;

// Parity settings. Setters on a port's own object re-apply the line settings
// at once while the port is open.
class TParity {
public:
    explicit TParity(TComPort* comPort = nullptr) : FComPort(comPort) {}
    TParity(const TParity&) = delete;
    TParity& operator=(const TParity&) = delete;
    // Copies the values only; this object stays with its own port.
    void Assign(const TParity& source);

    TParityBits Bits() const { return FBits; }
    void SetBits(TParityBits value);
    bool Check() const { return FCheck; }
    void SetCheck(bool value);
    bool Replace() const { return FReplace; }
    void SetReplace(bool value);
    char ReplaceChar() const { return FReplaceChar; }
    void SetReplaceChar(char value);
    bool operator==(const TParity& other) const;

private:
    void Changed();
    TComPort* FComPort;
    TParityBits FBits = prNone;
    bool FCheck = false;
    bool FReplace = false;
    char FReplaceChar = 0;
};

// Handshake settings; same re-apply rule as TParity.
class TFlowControl {
public:
    explicit TFlowControl(TComPort* comPort = nullptr) : FComPort(comPort) {}
    TFlowControl(const TFlowControl&) = delete;
    TFlowControl& operator=(const TFlowControl&) = delete;
    void Assign(const TFlowControl& source);

    bool OutCtsFlow() const { return FOutCtsFlow; }
    void SetOutCtsFlow(bool value);
    bool OutDsrFlow() const { return FOutDsrFlow; }
    void SetOutDsrFlow(bool value);
    TDtrFlowControl ControlDtr() const { return FControlDtr; }
    void SetControlDtr(TDtrFlowControl value);
    TRtsFlowControl ControlRts() const { return FControlRts; }
    void SetControlRts(TRtsFlowControl value);
    bool XonXoffOut() const { return FXonXoffOut; }
    void SetXonXoffOut(bool value);
    bool XonXoffIn() const { return FXonXoffIn; }
    void SetXonXoffIn(bool value);
    bool operator==(const TFlowControl& other) const;

private:
    void Changed();
    TComPort* FComPort;
    bool FOutCtsFlow = false;
    bool FOutDsrFlow = false;
    TDtrFlowControl FControlDtr = dtrDisable;
    TRtsFlowControl FControlRts = rtsDisable;
    bool FXonXoffOut = false;
    bool FXonXoffIn = false;
};

// Device timeouts in milliseconds, in the order of the Win32 COMMTIMEOUTS
// record; -1 stands for the all-ones value. Re-applied at once while open.
class TComTimeouts {
public:
    explicit TComTimeouts(TComPort* comPort = nullptr) : FComPort(comPort) {}
    TComTimeouts(const TComTimeouts&) = delete;
    TComTimeouts& operator=(const TComTimeouts&) = delete;
    void Assign(const TComTimeouts& source);

    int32_t ReadInterval() const { return FReadInterval; }
    void SetReadInterval(int32_t value);
    int32_t ReadTotalMultiplier() const { return FReadTotalMultiplier; }
    void SetReadTotalMultiplier(int32_t value);
    int32_t ReadTotalConstant() const { return FReadTotalConstant; }
    void SetReadTotalConstant(int32_t value);
    int32_t WriteTotalMultiplier() const { return FWriteTotalMultiplier; }
    void SetWriteTotalMultiplier(int32_t value);
    int32_t WriteTotalConstant() const { return FWriteTotalConstant; }
    void SetWriteTotalConstant(int32_t value);
    bool operator==(const TComTimeouts& other) const;

private:
    void Set(int32_t& field, int32_t value);
    TComPort* FComPort;
    int32_t FReadInterval = -1;
    int32_t FReadTotalMultiplier = 0;
    int32_t FReadTotalConstant = 0;
    int32_t FWriteTotalMultiplier = 100;
    int32_t FWriteTotalConstant = 1000;
};

// What a port takes from its surroundings, set once when it is made. Every
// empty member means the real thing; tests pass pseudo-terminals or a fake
// device through them.
struct TComPortHooks {
    // Makes the device object the port talks through. Empty: the platform's.
    std::function<std::unique_ptr<TComDevice>()> NewDevice;
    // The name the device opens for a port name (a pseudo-terminal's path,
    // say). Empty: the port name itself, mapped as ComDevicePath says.
    std::function<std::string(const std::string& port)> DevicePath;
    // Reports an exception that an event handler raised during a delivery;
    // the event thread keeps running. Called on the thread that ran the
    // handler (the owner's thread, except with smNone). Empty: standard error.
    std::function<void(const std::string& message)> ReportError;
    // Runs the smSynchronize and smWindow deliveries on the owner's thread.
    // Empty: none, so the port watches events only with smNone.
    std::shared_ptr<TComOwnerThread> OwnerThread;
};

class TComPort {
public:
    explicit TComPort(TComPortHooks hooks = {});
    ~TComPort();  // closes the port
    TComPort(const TComPort&) = delete;
    TComPort& operator=(const TComPort&) = delete;

    // Properties. A setter given the current value does nothing; while the
    // port is closed it only stores the value.
    bool Active() const { return FActive; }
    void SetActive(bool value);
    int32_t BaudRate() const { return FBaudRate; }
    void SetBaudRate(int32_t value);
    const std::string& Port() const { return FPort; }
    void SetPort(const std::string& value);  // reopens on the new device while open
    TParity& Parity() { return FParity; }
    const TParity& Parity() const { return FParity; }
    void SetParity(const TParity& value);
    TStopBits StopBits() const { return FStopBits; }
    void SetStopBits(TStopBits value);
    TDataBits DataBits() const { return FDataBits; }
    void SetDataBits(TDataBits value);
    bool DiscardNull() const { return FDiscardNull; }
    void SetDiscardNull(bool value);
    char EventChar() const { return FEventChar; }
    void SetEventChar(char value);
    TEvents Events() const { return FEvents; }
    void SetEvents(TEvents value);  // takes effect at the next open
    int32_t WriteBufSize() const { return FWriteBufSize; }
    void SetWriteBufSize(int32_t value);
    int32_t ReadBufSize() const { return FReadBufSize; }
    void SetReadBufSize(int32_t value);
    TFlowControl& FlowControl() { return FFlowControl; }
    const TFlowControl& FlowControl() const { return FFlowControl; }
    void SetFlowControl(const TFlowControl& value);
    TComTimeouts& Timeouts() { return FTimeouts; }
    const TComTimeouts& Timeouts() const { return FTimeouts; }
    void SetTimeouts(const TComTimeouts& value);
    TSyncMethod SyncMethod() const { return FSyncMethod; }
    void SetSyncMethod(TSyncMethod value);  // EComPort while open

    // Handlers. OnRxChar gets the input count taken at delivery, which may be 0.
    TRxCharEvent OnRxChar;
    TNotifyEvent OnTxEmpty, OnBreak, OnRing, OnCTS, OnDSR, OnRLSD, OnRxFlag, OnError;
    TNotifyEvent OnOpen, OnClose;
    TNotifyEvent OnRx80Full;

    // Open raises EComPort when called from a handler that Close is carrying out.
    // Both raise EComPort when called on the port's own event thread (smNone).
    void Open();
    void Close();
    // Each is a no-op while the port is closed.
    void ApplyBufferSizes();
    void ApplyLineSettings();
    void ApplyTimeouts();

    // Sends Data; returns the byte count, or -1 when Wait is false and the
    // write is still in progress (released by WaitForLastOperation or Close).
    int32_t Write(const std::string& data, bool wait);
    // Reads up to Count bytes into Data, which gets length Count first and keeps
    // it; returns the byte count, or -1 as for Write.
    int32_t Read(std::string& data, int32_t count, bool wait);
    // Finishes the most recent unfinished transfer; -2 when there is none.
    int32_t WaitForLastOperation();
    int32_t InputCount();
    void AbortAllOperations();

private:
    void DispatchEvents(uint32_t mask);
    // DispatchEvents with a handler's exception reported instead of raised.
    void DispatchReported(uint32_t mask) noexcept;
    void StartThread();
    void StopThread();
    void CloseDevice();
    bool OnEventThread() const;
    void RefuseOnEventThread(const char* what) const;
    int32_t TransferOnEventThread(const char* what, const char* failurePrefix, bool wait,
                                  const std::function<TComIoResult(TComOperation& op)>& start);
    std::string SystemText(int code) const;
    void ReportHandlerError(const std::string& message) const;

    TComPortHooks FHooks;
    std::unique_ptr<TComDevice> FDevice;  // the handle: open while FActive
    bool FActive = false;
    int32_t FBaudRate = 9600;
    std::string FPort = "COM1";
    TParity FParity{this};
    TStopBits FStopBits = sbOneStopBit;
    TDataBits FDataBits = 8;
    bool FDiscardNull = false;
    char FEventChar = 0;
    TEvents FEvents = TEvents::All();
    int32_t FWriteBufSize = 1024;
    int32_t FReadBufSize = 1024;
    TFlowControl FFlowControl{this};
    TComTimeouts FTimeouts{this};
    TSyncMethod FSyncMethod = smSynchronize;

    std::shared_ptr<TComHandOff> FHandOff;
    std::unique_ptr<TComThread> FEventThread;  // while open, unless Events is empty
    bool FClosing = false;
    // Transfers of the owner's thread only; back() is the most recent.
    std::vector<std::unique_ptr<TComOperation>> FPendingOps;
};

