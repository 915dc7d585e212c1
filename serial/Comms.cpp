#include "serial/Comms.h"

#include <cstdio>
#include <exception>
#include <system_error>

#include "serial/ComDevice.h"
#include "serial/ComHandOff.h"
#include "serial/ComThread.h"

namespace {

// Ordinal of each TEvent as a device flag.
constexpr uint32_t EventFlags[] = {EV_RXCHAR, EV_TXEMPTY, EV_RXFLAG, EV_RING, EV_BREAK,
                                   EV_CTS,    EV_DSR,     EV_ERR,    EV_RLSD, EV_RX80FULL};

std::string TransferFailure(const char* prefix, int code, const std::string& reason) {
    // The decimal code as the operator's text has always shown it, then the
    // system's reason, so that a pulled adapter reads as such.
    return prefix + std::to_string(code) + " (" + reason + ")";
}

template <typename F>
void CallHandler(const F& handler, TComPort* sender) {
    if (handler) {
        F copy = handler;  // the handler may reassign itself
        copy(sender);
    }
}

}  // namespace

EOSError::EOSError(int code, const std::string& systemText)
    : std::runtime_error(code == 0 ? std::string("A call to an OS function failed")
                                   : "System Error.  Code: " + std::to_string(code) + ".\r\n" +
                                         systemText),
      FErrorCode(code) {}

// --- Sub-objects -----------------------------------------------------------

void TParity::Changed() {
    if (FComPort) FComPort->ApplyLineSettings();
}
bool TParity::operator==(const TParity& o) const {
    return FBits == o.FBits && FCheck == o.FCheck && FReplace == o.FReplace &&
           FReplaceChar == o.FReplaceChar;
}
void TParity::Assign(const TParity& source) {
    if (&source == this || *this == source) return;
    FBits = source.FBits;
    FCheck = source.FCheck;
    FReplace = source.FReplace;
    FReplaceChar = source.FReplaceChar;
    Changed();
}
void TParity::SetBits(TParityBits value) {
    if (value == FBits) return;
    FBits = value;
    Changed();
}
void TParity::SetCheck(bool value) {
    if (value == FCheck) return;
    FCheck = value;
    Changed();
}
void TParity::SetReplace(bool value) {
    if (value == FReplace) return;
    FReplace = value;
    Changed();
}
void TParity::SetReplaceChar(char value) {
    if (value == FReplaceChar) return;
    FReplaceChar = value;
    Changed();
}

void TFlowControl::Changed() {
    if (FComPort) FComPort->ApplyLineSettings();
}
bool TFlowControl::operator==(const TFlowControl& o) const {
    return FOutCtsFlow == o.FOutCtsFlow && FOutDsrFlow == o.FOutDsrFlow &&
           FControlDtr == o.FControlDtr && FControlRts == o.FControlRts &&
           FXonXoffOut == o.FXonXoffOut && FXonXoffIn == o.FXonXoffIn;
}
void TFlowControl::Assign(const TFlowControl& source) {
    if (&source == this || *this == source) return;
    FOutCtsFlow = source.FOutCtsFlow;
    FOutDsrFlow = source.FOutDsrFlow;
    FControlDtr = source.FControlDtr;
    FControlRts = source.FControlRts;
    FXonXoffOut = source.FXonXoffOut;
    FXonXoffIn = source.FXonXoffIn;
    Changed();
}
void TFlowControl::SetOutCtsFlow(bool value) {
    if (value == FOutCtsFlow) return;
    FOutCtsFlow = value;
    Changed();
}
void TFlowControl::SetOutDsrFlow(bool value) {
    if (value == FOutDsrFlow) return;
    FOutDsrFlow = value;
    Changed();
}
void TFlowControl::SetControlDtr(TDtrFlowControl value) {
    if (value == FControlDtr) return;
    FControlDtr = value;
    Changed();
}
void TFlowControl::SetControlRts(TRtsFlowControl value) {
    if (value == FControlRts) return;
    FControlRts = value;
    Changed();
}
void TFlowControl::SetXonXoffOut(bool value) {
    if (value == FXonXoffOut) return;
    FXonXoffOut = value;
    Changed();
}
void TFlowControl::SetXonXoffIn(bool value) {
    if (value == FXonXoffIn) return;
    FXonXoffIn = value;
    Changed();
}

bool TComTimeouts::operator==(const TComTimeouts& o) const {
    return FReadInterval == o.FReadInterval && FReadTotalMultiplier == o.FReadTotalMultiplier &&
           FReadTotalConstant == o.FReadTotalConstant &&
           FWriteTotalMultiplier == o.FWriteTotalMultiplier &&
           FWriteTotalConstant == o.FWriteTotalConstant;
}
void TComTimeouts::Assign(const TComTimeouts& source) {
    if (&source == this || *this == source) return;
    FReadInterval = source.FReadInterval;
    FReadTotalMultiplier = source.FReadTotalMultiplier;
    FReadTotalConstant = source.FReadTotalConstant;
    FWriteTotalMultiplier = source.FWriteTotalMultiplier;
    FWriteTotalConstant = source.FWriteTotalConstant;
    if (FComPort) FComPort->ApplyTimeouts();
}
void TComTimeouts::Set(int32_t& field, int32_t value) {
    if (value == field) return;
    field = value;
    if (FComPort) FComPort->ApplyTimeouts();
}
void TComTimeouts::SetReadInterval(int32_t value) {
    Set(FReadInterval, value);
}
void TComTimeouts::SetReadTotalMultiplier(int32_t value) {
    Set(FReadTotalMultiplier, value);
}
void TComTimeouts::SetReadTotalConstant(int32_t value) {
    Set(FReadTotalConstant, value);
}
void TComTimeouts::SetWriteTotalMultiplier(int32_t value) {
    Set(FWriteTotalMultiplier, value);
}
void TComTimeouts::SetWriteTotalConstant(int32_t value) {
    Set(FWriteTotalConstant, value);
}

// --- TComPort: life and properties -----------------------------------------

TComPort::TComPort(TComPortHooks hooks)
    : FHooks(std::move(hooks)),
      FHandOff(std::make_shared<TComHandOff>(FHooks.OwnerThread,
                                             [this](uint32_t mask) { DispatchReported(mask); })) {}

TComPort::~TComPort() {
    try {
        Close();
    } catch (const std::exception& e) {
        ReportHandlerError(e.what());
    }
}

void TComPort::ReportHandlerError(const std::string& message) const {
    if (FHooks.ReportError)
        FHooks.ReportError(message);
    else
        std::fprintf(stderr, "Serial port event handler failed: %s\n", message.c_str());
}

void TComPort::SetActive(bool value) {
    if (value == FActive) return;
    if (value)
        Open();
    else
        Close();
}

void TComPort::SetBaudRate(int32_t value) {
    if (value == FBaudRate) return;
    FBaudRate = value;
    ApplyLineSettings();
}

void TComPort::SetPort(const std::string& value) {
    if (value == FPort) return;
    if (FActive) RefuseOnEventThread("reopen");
    FPort = value;
    if (FActive) {
        Close();
        Open();
    }
}

void TComPort::SetParity(const TParity& value) {
    FParity.Assign(value);
}

void TComPort::SetStopBits(TStopBits value) {
    if (value == FStopBits) return;
    FStopBits = value;
    ApplyLineSettings();
}

void TComPort::SetDataBits(TDataBits value) {
    if (value == FDataBits) return;
    FDataBits = value;
    ApplyLineSettings();
}

void TComPort::SetDiscardNull(bool value) {
    if (value == FDiscardNull) return;
    FDiscardNull = value;
    ApplyLineSettings();
}

void TComPort::SetEventChar(char value) {
    if (value == FEventChar) return;
    FEventChar = value;
    ApplyLineSettings();
}

void TComPort::SetEvents(TEvents value) {
    FEvents = value;
}

void TComPort::SetWriteBufSize(int32_t value) {
    if (value == FWriteBufSize) return;
    FWriteBufSize = value;
    ApplyBufferSizes();
}

void TComPort::SetReadBufSize(int32_t value) {
    if (value == FReadBufSize) return;
    FReadBufSize = value;
    ApplyBufferSizes();
}

void TComPort::SetFlowControl(const TFlowControl& value) {
    FFlowControl.Assign(value);
}

void TComPort::SetTimeouts(const TComTimeouts& value) {
    FTimeouts.Assign(value);
}

void TComPort::SetSyncMethod(TSyncMethod value) {
    if (value == FSyncMethod) return;
    if (FActive) throw EComPort("Cannot set SyncMethod while connected");
    FSyncMethod = value;
}

std::string TComPort::SystemText(int code) const {
    return FDevice ? FDevice->ErrorText(code) : std::generic_category().message(code);
}

// --- Open and close ---------------------------------------------------------

bool TComPort::OnEventThread() const {
    return FEventThread && FEventThread->IsCurrent();
}

// With smNone the handlers run on the event thread: closing there would wait
// for that very thread to end, and the pending-transfer stack belongs to the
// owner's thread.
void TComPort::RefuseOnEventThread(const char* what) const {
    if (OnEventThread())
        throw EComPort(std::string("Cannot ") + what + " " + FPort +
                       " in an event handler run on its event thread (smNone)");
}

void TComPort::Open() {
    RefuseOnEventThread("open");
    // A handler that Close carries out may ask for the port again; the
    // closing device's event thread still runs and must not lose its device.
    if (FClosing) throw EComPort("Unable to open " + FPort + ": the port is being closed");
    Close();
    if (!FEvents.Empty() && FSyncMethod != smNone && !FHandOff->HasOwnerThread())
        throw EComPort("Unable to open " + FPort + ": no owner thread to deliver events to");
    std::unique_ptr<TComDevice> device =
        FHooks.NewDevice ? FHooks.NewDevice() : NewPlatformComDevice();
    const std::string deviceName = FHooks.DevicePath ? FHooks.DevicePath(FPort) : FPort;
    if (int error = device->Open(deviceName))
        throw EComPort("Unable to open " + FPort + ": " + device->ErrorText(error) +
                       device->OpenAdvice(deviceName, error));
    FDevice = std::move(device);
    FActive = true;
    try {
        ApplyBufferSizes();
        ApplyLineSettings();
        ApplyTimeouts();
        if (!FEvents.Empty()) StartThread();
    } catch (...) {
        CloseDevice();
        throw;
    }
    CallHandler(OnOpen, this);
}

// Any failure leaves no thread behind: a port that counts as open always has
// its event thread running, or Close would wait for it forever.
void TComPort::StartThread() {
    std::unique_ptr<TComStopSignal> stopSignal;
    if (int error = FDevice->NewStopSignal(stopSignal))
        throw EComPort("Unable to start the event thread: " + SystemText(error));
    uint32_t mask = 0;
    for (int e = evRxChar; e <= evRx80Full; ++e)
        if (FEvents.Contains(static_cast<TEvent>(e))) mask |= EventFlags[e];
    if (int error = FDevice->SetEventMask(mask))
        throw EComPort("Unable to set comm mask: " + SystemText(error));
    FHandOff->Begin();
    auto thread = std::make_unique<TComThread>(*FDevice, std::move(stopSignal), FSyncMethod,
                                               *FHandOff,
                                               [this](uint32_t m) { DispatchReported(m); });
    try {
        thread->Start();
    } catch (const std::system_error& e) {
        throw EComPort("Unable to start the event thread: " + e.code().message());
    }
    FEventThread = std::move(thread);
}

void TComPort::CloseDevice() {
    FDevice->Close();
    FDevice.reset();
    FActive = false;
}

void TComPort::Close() {
    // A handler run by the close below may itself close the port.
    if (!FActive || FClosing) return;
    RefuseOnEventThread("close");
    FClosing = true;
    // What was written goes out before the purge below empties the queues.
    FDevice->WaitOutputSent();
    std::exception_ptr abortFailure;
    try {
        AbortAllOperations();
    } catch (...) {
        // The port is closed all the same; the failure is raised at the end.
        abortFailure = std::current_exception();
    }
    StopThread();
    CloseDevice();
    FClosing = false;
    CallHandler(OnClose, this);
    if (abortFailure) std::rethrow_exception(abortFailure);
}

void TComPort::StopThread() {
    if (!FEventThread) return;
    FHandOff->Stop([this] { FEventThread->Stop(); });
    FEventThread->Join();
    FEventThread.reset();
}

void TComPort::DispatchReported(uint32_t mask) noexcept {
    try {
        DispatchEvents(mask);
    } catch (const std::exception& e) {
        ReportHandlerError(e.what());
    } catch (...) {
        ReportHandlerError("Unknown exception in a serial port event handler");
    }
}

void TComPort::DispatchEvents(uint32_t mask) {
    if ((mask & EV_RXCHAR) && OnRxChar) {
        TRxCharEvent handler = OnRxChar;
        handler(this, InputCount());
    }
    if (mask & EV_TXEMPTY) CallHandler(OnTxEmpty, this);
    if (mask & EV_BREAK) CallHandler(OnBreak, this);
    if (mask & EV_RING) CallHandler(OnRing, this);
    if (mask & EV_CTS) CallHandler(OnCTS, this);
    if (mask & EV_DSR) CallHandler(OnDSR, this);
    if (mask & EV_RXFLAG) CallHandler(OnRxFlag, this);
    if (mask & EV_RLSD) CallHandler(OnRLSD, this);
    if (mask & EV_ERR) CallHandler(OnError, this);
    if (mask & EV_RX80FULL) CallHandler(OnRx80Full, this);
}

// --- Settings ---------------------------------------------------------------

void TComPort::ApplyBufferSizes() {
    if (!FActive) return;
    if (int error = FDevice->SetQueueSizes(FReadBufSize, FWriteBufSize))
        throw EComPort("Unable to set up comm: " + SystemText(error));
}

void TComPort::ApplyLineSettings() {
    if (!FActive) return;
    TComLineSettings s;
    s.BaudRate = static_cast<uint32_t>(FBaudRate);
    s.Parity = FParity.Check();
    s.OutxCtsFlow = FFlowControl.OutCtsFlow();
    s.OutxDsrFlow = FFlowControl.OutDsrFlow();
    s.DtrControl = FFlowControl.ControlDtr();
    s.OutX = FFlowControl.XonXoffOut();
    s.InX = FFlowControl.XonXoffIn();
    s.ErrorCharOn = FParity.Replace();
    if (FParity.Replace()) s.ErrorChar = FParity.ReplaceChar();
    s.Null = FDiscardNull;
    s.RtsControl = FFlowControl.ControlRts();
    s.XonLim = static_cast<uint16_t>(FReadBufSize / 4);
    s.XoffLim = s.XonLim;
    s.ByteSize = FDataBits;
    s.ParityBits = FParity.Bits();
    s.StopBits = FStopBits;
    s.EvtChar = FEventChar;
    if (int error = FDevice->SetLineSettings(s))
        throw EComPort("Unable to set com state: " + SystemText(error));
}

void TComPort::ApplyTimeouts() {
    if (!FActive) return;
    TComTimeoutValues t;
    t.ReadInterval = static_cast<uint32_t>(FTimeouts.ReadInterval());
    t.ReadTotalMultiplier = static_cast<uint32_t>(FTimeouts.ReadTotalMultiplier());
    t.ReadTotalConstant = static_cast<uint32_t>(FTimeouts.ReadTotalConstant());
    t.WriteTotalMultiplier = static_cast<uint32_t>(FTimeouts.WriteTotalMultiplier());
    t.WriteTotalConstant = static_cast<uint32_t>(FTimeouts.WriteTotalConstant());
    if (int error = FDevice->SetTimeouts(t)) throw EOSError(error, SystemText(error));
}

// --- Transfers --------------------------------------------------------------

int32_t TComPort::Write(const std::string& data, bool wait) {
    if (!FActive) {
        const int error = InvalidHandleError();
        throw EComPort(TransferFailure("Operation failed: ", error, SystemText(error)));
    }
    if (OnEventThread())
        return TransferOnEventThread("write to", "Operation failed: ", wait, [&](TComOperation& op) {
            return FDevice->Write(op, data.data(), static_cast<int32_t>(data.size()));
        });
    FPendingOps.push_back(FDevice->NewOperation());
    TComIoResult result =
        FDevice->Write(*FPendingOps.back(), data.data(), static_cast<int32_t>(data.size()));
    if (result.Status == TComIoResult::ioPending) return wait ? WaitForLastOperation() : -1;
    FPendingOps.pop_back();
    if (result.Status == TComIoResult::ioFailed)
        throw EComPort(
            TransferFailure("Operation failed: ", result.Error, SystemText(result.Error)));
    return result.Count;
}

int32_t TComPort::Read(std::string& data, int32_t count, bool wait) {
    data.assign(static_cast<size_t>(count > 0 ? count : 0), '\0');
    if (!FActive) {
        const int error = InvalidHandleError();
        throw EComPort(TransferFailure("Operation aborted: ", error, SystemText(error)));
    }
    if (OnEventThread())
        return TransferOnEventThread("read from", "Operation aborted: ", wait, [&](TComOperation& op) {
            return FDevice->Read(op, data.data(), static_cast<int32_t>(data.size()));
        });
    FPendingOps.push_back(FDevice->NewOperation());
    TComIoResult result =
        FDevice->Read(*FPendingOps.back(), data.data(), static_cast<int32_t>(data.size()));
    if (result.Status == TComIoResult::ioPending) return wait ? WaitForLastOperation() : -1;
    FPendingOps.pop_back();
    if (result.Status == TComIoResult::ioFailed)
        throw EComPort(
            TransferFailure("Operation aborted: ", result.Error, SystemText(result.Error)));
    return result.Count;
}

// A transfer made by a handler on the event thread (smNone) never joins the
// owner's pending-transfer stack: it is finished before the call returns.
int32_t TComPort::TransferOnEventThread(
    const char* what, const char* failurePrefix, bool wait,
    const std::function<TComIoResult(TComOperation& op)>& start) {
    if (!wait)
        throw EComPort(std::string("Cannot ") + what + " " + FPort +
                       " without waiting in an event handler run on its event thread (smNone)");
    std::unique_ptr<TComOperation> op = FDevice->NewOperation();
    TComIoResult result = start(*op);
    if (result.Status == TComIoResult::ioPending) result = FDevice->WaitOperation(*op);
    if (result.Status == TComIoResult::ioFailed)
        throw EComPort(TransferFailure(failurePrefix, result.Error, SystemText(result.Error)));
    return result.Count;
}

int32_t TComPort::WaitForLastOperation() {
    RefuseOnEventThread("wait for the last operation of");
    if (FPendingOps.empty()) return -2;
    std::unique_ptr<TComOperation> op = std::move(FPendingOps.back());
    FPendingOps.pop_back();
    TComIoResult result = FDevice->WaitOperation(*op);
    op.reset();
    if (result.Status == TComIoResult::ioFailed)
        throw EComPort(
            TransferFailure("Operation failed: ", result.Error, SystemText(result.Error)));
    return result.Count;
}

int32_t TComPort::InputCount() {
    int32_t count = 0;
    const int error = FActive ? FDevice->InputCount(count) : InvalidHandleError();
    if (error) throw EComPort("Unable to read com status: " + std::to_string(error));
    return count;
}

void TComPort::AbortAllOperations() {
    RefuseOnEventThread("abort the operations of");
    if (FPendingOps.empty()) return;
    const int error = FActive ? FDevice->Purge() : InvalidHandleError();
    FPendingOps.clear();
    if (error) throw EComPort("Cannot abort operation: " + std::to_string(error));
}
