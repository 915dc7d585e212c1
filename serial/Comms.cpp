#include "serial/Comms.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <exception>

#include "serial/ComDevice.h"
#include "serial/ComThread.h"

QEvent::Type ComDeliveryEventType() {
    static const auto Type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return Type;
}

namespace {

// Lives on the owner's thread and carries out hand-offs posted to it.
class TComOwnerContext : public QObject {
public:
    explicit TComOwnerContext(std::function<void()> Service) : FService(std::move(Service)) {}
    bool event(QEvent* Event) override {
        if (Event->type() != ComDeliveryEventType()) return QObject::event(Event);
        FService();
        return true;
    }

private:
    std::function<void()> FService;
};

std::string TransferFailure(const char* Prefix, int Code, const std::string& Reason) {
    // The decimal code as the operator's text has always shown it, then the
    // system's reason, so that a pulled adapter reads as such.
    return Prefix + std::to_string(Code) + " (" + Reason + ")";
}

template <typename F>
void CallHandler(const F& Handler, TComPort* Sender) {
    if (Handler) {
        F Copy = Handler;  // the handler may reassign itself
        Copy(Sender);
    }
}

}  // namespace

EOSError::EOSError(int Code, const std::string& SystemText)
    : std::runtime_error(Code == 0 ? std::string("A call to an OS function failed")
                                   : "System Error.  Code: " + std::to_string(Code) + ".\r\n" +
                                         SystemText),
      FErrorCode(Code) {}

// --- Sub-objects -----------------------------------------------------------

void TParity::Changed() {
    if (FComPort) FComPort->ApplyLineSettings();
}
bool TParity::operator==(const TParity& O) const {
    return FBits == O.FBits && FCheck == O.FCheck && FReplace == O.FReplace &&
           FReplaceChar == O.FReplaceChar;
}
void TParity::Assign(const TParity& Source) {
    if (&Source == this || *this == Source) return;
    FBits = Source.FBits;
    FCheck = Source.FCheck;
    FReplace = Source.FReplace;
    FReplaceChar = Source.FReplaceChar;
    Changed();
}
void TParity::SetBits(TParityBits Value) {
    if (Value == FBits) return;
    FBits = Value;
    Changed();
}
void TParity::SetCheck(bool Value) {
    if (Value == FCheck) return;
    FCheck = Value;
    Changed();
}
void TParity::SetReplace(bool Value) {
    if (Value == FReplace) return;
    FReplace = Value;
    Changed();
}
void TParity::SetReplaceChar(char Value) {
    if (Value == FReplaceChar) return;
    FReplaceChar = Value;
    Changed();
}

void TFlowControl::Changed() {
    if (FComPort) FComPort->ApplyLineSettings();
}
bool TFlowControl::operator==(const TFlowControl& O) const {
    return FOutCtsFlow == O.FOutCtsFlow && FOutDsrFlow == O.FOutDsrFlow &&
           FControlDtr == O.FControlDtr && FControlRts == O.FControlRts &&
           FXonXoffOut == O.FXonXoffOut && FXonXoffIn == O.FXonXoffIn;
}
void TFlowControl::Assign(const TFlowControl& Source) {
    if (&Source == this || *this == Source) return;
    FOutCtsFlow = Source.FOutCtsFlow;
    FOutDsrFlow = Source.FOutDsrFlow;
    FControlDtr = Source.FControlDtr;
    FControlRts = Source.FControlRts;
    FXonXoffOut = Source.FXonXoffOut;
    FXonXoffIn = Source.FXonXoffIn;
    Changed();
}
void TFlowControl::SetOutCtsFlow(bool Value) {
    if (Value == FOutCtsFlow) return;
    FOutCtsFlow = Value;
    Changed();
}
void TFlowControl::SetOutDsrFlow(bool Value) {
    if (Value == FOutDsrFlow) return;
    FOutDsrFlow = Value;
    Changed();
}
void TFlowControl::SetControlDtr(TDtrFlowControl Value) {
    if (Value == FControlDtr) return;
    FControlDtr = Value;
    Changed();
}
void TFlowControl::SetControlRts(TRtsFlowControl Value) {
    if (Value == FControlRts) return;
    FControlRts = Value;
    Changed();
}
void TFlowControl::SetXonXoffOut(bool Value) {
    if (Value == FXonXoffOut) return;
    FXonXoffOut = Value;
    Changed();
}
void TFlowControl::SetXonXoffIn(bool Value) {
    if (Value == FXonXoffIn) return;
    FXonXoffIn = Value;
    Changed();
}

bool TComTimeouts::operator==(const TComTimeouts& O) const {
    return FReadInterval == O.FReadInterval && FReadTotalMultiplier == O.FReadTotalMultiplier &&
           FReadTotalConstant == O.FReadTotalConstant &&
           FWriteTotalMultiplier == O.FWriteTotalMultiplier &&
           FWriteTotalConstant == O.FWriteTotalConstant;
}
void TComTimeouts::Assign(const TComTimeouts& Source) {
    if (&Source == this || *this == Source) return;
    FReadInterval = Source.FReadInterval;
    FReadTotalMultiplier = Source.FReadTotalMultiplier;
    FReadTotalConstant = Source.FReadTotalConstant;
    FWriteTotalMultiplier = Source.FWriteTotalMultiplier;
    FWriteTotalConstant = Source.FWriteTotalConstant;
    if (FComPort) FComPort->ApplyTimeouts();
}
void TComTimeouts::Set(int32_t& Field, int32_t Value) {
    if (Value == Field) return;
    Field = Value;
    if (FComPort) FComPort->ApplyTimeouts();
}
void TComTimeouts::SetReadInterval(int32_t Value) {
    Set(FReadInterval, Value);
}
void TComTimeouts::SetReadTotalMultiplier(int32_t Value) {
    Set(FReadTotalMultiplier, Value);
}
void TComTimeouts::SetReadTotalConstant(int32_t Value) {
    Set(FReadTotalConstant, Value);
}
void TComTimeouts::SetWriteTotalMultiplier(int32_t Value) {
    Set(FWriteTotalMultiplier, Value);
}
void TComTimeouts::SetWriteTotalConstant(int32_t Value) {
    Set(FWriteTotalConstant, Value);
}

// --- TComPort: life and properties -----------------------------------------

TComPort::TComPort(TComDeviceFactory DeviceFactory)
    : FDeviceFactory(std::move(DeviceFactory)),
      FOwnerContext(std::make_unique<TComOwnerContext>([this] { ServiceDelivery(); })),
      FDelivery(std::make_unique<TDelivery>()) {}

TComPort::~TComPort() {
    try {
        Close();
    } catch (const std::exception& E) {
        ReportComError(E.what());
    }
}

void TComPort::SetActive(bool Value) {
    if (Value == FActive) return;
    if (Value)
        Open();
    else
        Close();
}

void TComPort::SetBaudRate(int32_t Value) {
    if (Value == FBaudRate) return;
    FBaudRate = Value;
    ApplyLineSettings();
}

void TComPort::SetPort(const std::string& Value) {
    if (Value == FPort) return;
    FPort = Value;
    if (FActive) {
        Close();
        Open();
    }
}

void TComPort::SetParity(const TParity& Value) {
    FParity.Assign(Value);
}

void TComPort::SetStopBits(TStopBits Value) {
    if (Value == FStopBits) return;
    FStopBits = Value;
    ApplyLineSettings();
}

void TComPort::SetDataBits(TDataBits Value) {
    if (Value == FDataBits) return;
    FDataBits = Value;
    ApplyLineSettings();
}

void TComPort::SetDiscardNull(bool Value) {
    if (Value == FDiscardNull) return;
    FDiscardNull = Value;
    ApplyLineSettings();
}

void TComPort::SetEventChar(char Value) {
    if (Value == FEventChar) return;
    FEventChar = Value;
    ApplyLineSettings();
}

void TComPort::SetEvents(TEvents Value) {
    FEvents = Value;
}

void TComPort::SetWriteBufSize(int32_t Value) {
    if (Value == FWriteBufSize) return;
    FWriteBufSize = Value;
    ApplyBufferSizes();
}

void TComPort::SetReadBufSize(int32_t Value) {
    if (Value == FReadBufSize) return;
    FReadBufSize = Value;
    ApplyBufferSizes();
}

void TComPort::SetFlowControl(const TFlowControl& Value) {
    FFlowControl.Assign(Value);
}

void TComPort::SetTimeouts(const TComTimeouts& Value) {
    FTimeouts.Assign(Value);
}

void TComPort::SetSyncMethod(TSyncMethod Value) {
    if (Value == FSyncMethod) return;
    if (FActive) throw EComPort("Cannot set SyncMethod while connected");
    FSyncMethod = Value;
}

std::string TComPort::SystemText(int Code) const {
    return FDevice ? FDevice->ErrorText(Code) : std::generic_category().message(Code);
}

// --- Open and close ---------------------------------------------------------

void TComPort::Open() {
    // A handler that Close carries out may ask for the port again; the
    // closing device's event thread still runs and must not lose its device.
    if (FClosing) throw EComPort("Unable to open " + FPort + ": the port is being closed");
    Close();
    std::unique_ptr<TComDevice> Device = FDeviceFactory ? FDeviceFactory() : NewPlatformComDevice();
    if (int Error = Device->Open(FPort))
        throw EComPort("Unable to open " + FPort + ": " + Device->ErrorText(Error));
    FDevice = std::move(Device);
    FActive = true;
    try {
        ApplyBufferSizes();
        ApplyLineSettings();
        ApplyTimeouts();
    } catch (...) {
        FDevice->Close();
        FDevice.reset();
        FActive = false;
        throw;
    }
    FThreadCreated = !FEvents.Empty();
    if (FThreadCreated) {
        {
            std::lock_guard Lock(FDelivery->Mutex);
            FDelivery->Stopping = false;
            FDelivery->ThreadDone = false;
        }
        FEventThread = std::make_unique<TComThread>(*this);
        FEventThread->Start();
    }
    CallHandler(OnOpen, this);
}

void TComPort::Close() {
    // A handler run by the close below may itself close the port.
    if (!FActive || FClosing) return;
    FClosing = true;
    std::exception_ptr AbortFailure;
    try {
        AbortAllOperations();
    } catch (...) {
        // The port is closed all the same; the failure is raised at the end.
        AbortFailure = std::current_exception();
    }
    StopThread();
    FDevice->Close();
    FDevice.reset();
    FActive = false;
    FClosing = false;
    CallHandler(OnClose, this);
    if (AbortFailure) std::rethrow_exception(AbortFailure);
}

void TComPort::StopThread() {
    if (!FEventThread) return;
    TDelivery& D = *FDelivery;
    {
        std::lock_guard Lock(D.Mutex);
        D.Stopping = true;
    }
    D.Changed.notify_all();
    FEventThread->Stop();
    // Carry out deliveries the thread already asked for, so that it is never
    // left waiting for this (blocked) thread.
    std::unique_lock Lock(D.Mutex);
    for (;;) {
        if (D.Requested > D.Taken) {
            Lock.unlock();
            ServiceDelivery();
            Lock.lock();
            continue;
        }
        if (D.ThreadDone) break;
        D.Changed.wait(Lock);
    }
    Lock.unlock();
    FEventThread->Join();
    FEventThread.reset();
}

void TComPort::ServiceDelivery() {
    TDelivery& D = *FDelivery;
    uint64_t Number;
    uint32_t Mask;
    {
        std::lock_guard Lock(D.Mutex);
        if (D.Requested <= D.Taken) return;  // already carried out, or withdrawn
        Number = D.Taken = D.Requested;
        Mask = D.Mask;
    }
    try {
        DispatchEvents(Mask);
    } catch (const std::exception& E) {
        ReportComError(E.what());
    } catch (...) {
        ReportComError("Unknown exception in a serial port event handler");
    }
    {
        std::lock_guard Lock(D.Mutex);
        if (Number > D.Served) D.Served = Number;
    }
    D.Changed.notify_all();
}

void TComPort::DispatchEvents(uint32_t Mask) {
    if ((Mask & EV_RXCHAR) && OnRxChar) {
        TRxCharEvent Handler = OnRxChar;
        Handler(this, InputCount());
    }
    if (Mask & EV_TXEMPTY) CallHandler(OnTxEmpty, this);
    if (Mask & EV_BREAK) CallHandler(OnBreak, this);
    if (Mask & EV_RING) CallHandler(OnRing, this);
    if (Mask & EV_CTS) CallHandler(OnCTS, this);
    if (Mask & EV_DSR) CallHandler(OnDSR, this);
    if (Mask & EV_RXFLAG) CallHandler(OnRxFlag, this);
    if (Mask & EV_RLSD) CallHandler(OnRLSD, this);
    if (Mask & EV_ERR) CallHandler(OnError, this);
    if (Mask & EV_RX80FULL) CallHandler(OnRx80Full, this);
}

// --- Settings ---------------------------------------------------------------

void TComPort::ApplyBufferSizes() {
    if (!FActive) return;
    if (int Error = FDevice->SetQueueSizes(FReadBufSize, FWriteBufSize))
        throw EComPort("Unable to set up comm: " + SystemText(Error));
}

void TComPort::ApplyLineSettings() {
    if (!FActive) return;
    TComLineSettings S;
    S.BaudRate = static_cast<uint32_t>(FBaudRate);
    S.Parity = FParity.Check();
    S.OutxCtsFlow = FFlowControl.OutCtsFlow();
    S.OutxDsrFlow = FFlowControl.OutDsrFlow();
    S.DtrControl = FFlowControl.ControlDtr();
    S.OutX = FFlowControl.XonXoffOut();
    S.InX = FFlowControl.XonXoffIn();
    S.ErrorCharOn = FParity.Replace();
    if (FParity.Replace()) S.ErrorChar = FParity.ReplaceChar();
    S.Null = FDiscardNull;
    S.RtsControl = FFlowControl.ControlRts();
    S.XonLim = static_cast<uint16_t>(FReadBufSize / 4);
    S.XoffLim = S.XonLim;
    S.ByteSize = FDataBits;
    S.ParityBits = FParity.Bits();
    S.StopBits = FStopBits;
    S.EvtChar = FEventChar;
    if (int Error = FDevice->SetLineSettings(S))
        throw EComPort("Unable to set com state: " + SystemText(Error));
}

void TComPort::ApplyTimeouts() {
    if (!FActive) return;
    TComTimeoutValues T;
    T.ReadInterval = static_cast<uint32_t>(FTimeouts.ReadInterval());
    T.ReadTotalMultiplier = static_cast<uint32_t>(FTimeouts.ReadTotalMultiplier());
    T.ReadTotalConstant = static_cast<uint32_t>(FTimeouts.ReadTotalConstant());
    T.WriteTotalMultiplier = static_cast<uint32_t>(FTimeouts.WriteTotalMultiplier());
    T.WriteTotalConstant = static_cast<uint32_t>(FTimeouts.WriteTotalConstant());
    if (int Error = FDevice->SetTimeouts(T)) throw EOSError(Error, SystemText(Error));
}

// --- Transfers --------------------------------------------------------------

int32_t TComPort::Write(const std::string& Data, bool Wait) {
    if (!FActive) {
        const int Error = InvalidHandleError();
        throw EComPort(TransferFailure("Operation failed: ", Error, SystemText(Error)));
    }
    FPendingOps.push_back(FDevice->NewOperation());
    TComIoResult Result =
        FDevice->Write(*FPendingOps.back(), Data.data(), static_cast<int32_t>(Data.size()));
    if (Result.Status == TComIoResult::ioPending) return Wait ? WaitForLastOperation() : -1;
    FPendingOps.pop_back();
    if (Result.Status == TComIoResult::ioFailed)
        throw EComPort(
            TransferFailure("Operation failed: ", Result.Error, SystemText(Result.Error)));
    return Result.Count;
}

int32_t TComPort::Read(std::string& Data, int32_t Count, bool Wait) {
    Data.assign(static_cast<size_t>(Count > 0 ? Count : 0), '\0');
    if (!FActive) {
        const int Error = InvalidHandleError();
        throw EComPort(TransferFailure("Operation aborted: ", Error, SystemText(Error)));
    }
    FPendingOps.push_back(FDevice->NewOperation());
    TComIoResult Result =
        FDevice->Read(*FPendingOps.back(), Data.data(), static_cast<int32_t>(Data.size()));
    if (Result.Status == TComIoResult::ioPending) return Wait ? WaitForLastOperation() : -1;
    FPendingOps.pop_back();
    if (Result.Status == TComIoResult::ioFailed)
        throw EComPort(
            TransferFailure("Operation aborted: ", Result.Error, SystemText(Result.Error)));
    return Result.Count;
}

int32_t TComPort::WaitForLastOperation() {
    if (FPendingOps.empty()) return -2;
    std::unique_ptr<TComOperation> Op = std::move(FPendingOps.back());
    FPendingOps.pop_back();
    TComIoResult Result = FDevice->WaitOperation(*Op);
    Op.reset();
    if (Result.Status == TComIoResult::ioFailed)
        throw EComPort(
            TransferFailure("Operation failed: ", Result.Error, SystemText(Result.Error)));
    return Result.Count;
}

int32_t TComPort::InputCount() {
    int32_t Count = 0;
    const int Error = FActive ? FDevice->InputCount(Count) : InvalidHandleError();
    if (Error) throw EComPort("Unable to read com status: " + std::to_string(Error));
    return Count;
}

void TComPort::AbortAllOperations() {
    if (FPendingOps.empty()) return;
    const int Error = FActive ? FDevice->Purge() : InvalidHandleError();
    FPendingOps.clear();
    if (Error) throw EComPort("Cannot abort operation: " + std::to_string(Error));
}
