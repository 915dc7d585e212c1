#include "serial/ComThread.h"

#include <QCoreApplication>
#include <QEvent>
#include <exception>

namespace {

// Ordinal of each TEvent as a device flag.
constexpr uint32_t EventFlags[] = {EV_RXCHAR, EV_TXEMPTY, EV_RXFLAG, EV_RING, EV_BREAK,
                                   EV_CTS,    EV_DSR,     EV_ERR,    EV_RLSD, EV_RX80FULL};

// The order in which handlers run for the flags of one event wait.
constexpr uint32_t DispatchOrder[] = {EV_RXCHAR, EV_TXEMPTY, EV_BREAK, EV_RING, EV_CTS,
                                      EV_DSR,    EV_RXFLAG,  EV_RLSD,  EV_ERR,  EV_RX80FULL};

}  // namespace

QEvent::Type ComDeliveryEventType();

TComThread::TComThread(TComPort& ComPort) : FComPort(ComPort) {
    FStopSignal = FComPort.FDevice->NewStopSignal();
    uint32_t Mask = 0;
    for (int E = evRxChar; E <= evRx80Full; ++E)
        if (FComPort.FEvents.Contains(static_cast<TEvent>(E))) Mask |= EventFlags[E];
    FComPort.FDevice->SetEventMask(Mask);
}

TComThread::~TComThread() {
    if (FThread.joinable()) {
        Stop();
        FThread.join();
    }
}

void TComThread::Start() {
    FThread = std::thread([this] { Execute(); });
}

void TComThread::Stop() {
    if (FStopSignal) FStopSignal->Set();
}

void TComThread::Join() {
    if (FThread.joinable()) FThread.join();
}

void TComThread::Execute() {
    TComDevice& Device = *FComPort.FDevice;
    for (;;) {
        uint32_t Mask = 0;
        TComDevice::TWaitResult Result = Device.WaitEvent(*FStopSignal, Mask);
        if (Result == TComDevice::wrStopped) break;
        if (Result == TComDevice::wrEvents) {
            FEventMask = Mask;
            Deliver();
        }
    }
    Device.Purge();
    TComPort::TDelivery& D = *FComPort.FDelivery;
    {
        std::lock_guard Lock(D.Mutex);
        D.ThreadDone = true;
    }
    D.Changed.notify_all();
}

void TComThread::Deliver() {
    switch (FComPort.FSyncMethod) {
        case smNone:
            try {
                FComPort.DispatchEvents(FEventMask);
            } catch (const std::exception& E) {
                ReportComError(E.what());
            } catch (...) {
                ReportComError("Unknown exception in a serial port event handler");
            }
            break;
        case smSynchronize:
            HandOff(FEventMask);
            break;
        case smWindow:
            // One synchronous message per flag, in dispatch order.
            for (uint32_t Flag : DispatchOrder)
                if (FEventMask & Flag) HandOff(Flag);
            break;
    }
}

void TComThread::HandOff(uint32_t Mask) {
    TComPort::TDelivery& D = *FComPort.FDelivery;
    std::unique_lock Lock(D.Mutex);
    if (D.Stopping) return;
    const uint64_t Number = ++D.Requested;
    D.Mask = Mask;
    Lock.unlock();
    D.Changed.notify_all();  // wakes a Close that is waiting for this thread
    QCoreApplication::postEvent(FComPort.FOwnerContext.get(), new QEvent(ComDeliveryEventType()));
    Lock.lock();
    // Served, or the owner is closing the port from inside this very delivery
    // (a handler that sets Active to False) and cannot finish it before we end.
    D.Changed.wait(Lock, [&] { return D.Served >= Number || (D.Stopping && D.Taken >= Number); });
}
