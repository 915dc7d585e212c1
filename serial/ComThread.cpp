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

TComThread::TComThread(TComPort& comPort) : FComPort(comPort) {
    FStopSignal = FComPort.FDevice->NewStopSignal();
    uint32_t mask = 0;
    for (int e = evRxChar; e <= evRx80Full; ++e)
        if (FComPort.FEvents.Contains(static_cast<TEvent>(e))) mask |= EventFlags[e];
    FComPort.FDevice->SetEventMask(mask);
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
    TComDevice& device = *FComPort.FDevice;
    for (;;) {
        uint32_t mask = 0;
        TComDevice::TWaitResult result = device.WaitEvent(*FStopSignal, mask);
        if (result == TComDevice::wrStopped) break;
        if (result == TComDevice::wrEvents) {
            FEventMask = mask;
            Deliver();
        }
    }
    device.Purge();
    TComPort::TDelivery& d = *FComPort.FDelivery;
    {
        std::lock_guard lock(d.Mutex);
        d.ThreadDone = true;
    }
    d.Changed.notify_all();
}

void TComThread::Deliver() {
    switch (FComPort.FSyncMethod) {
        case smNone:
            try {
                FComPort.DispatchEvents(FEventMask);
            } catch (const std::exception& e) {
                FComPort.ReportHandlerError(e.what());
            } catch (...) {
                FComPort.ReportHandlerError("Unknown exception in a serial port event handler");
            }
            break;
        case smSynchronize:
            HandOff(FEventMask);
            break;
        case smWindow:
            // One synchronous message per flag, in dispatch order.
            for (uint32_t flag : DispatchOrder)
                if (FEventMask & flag) HandOff(flag);
            break;
    }
}

void TComThread::HandOff(uint32_t mask) {
    TComPort::TDelivery& d = *FComPort.FDelivery;
    std::unique_lock lock(d.Mutex);
    if (d.Stopping) return;
    const uint64_t number = ++d.Requested;
    d.Mask = mask;
    lock.unlock();
    d.Changed.notify_all();  // wakes a Close that is waiting for this thread
    QCoreApplication::postEvent(FComPort.FOwnerContext.get(), new QEvent(ComDeliveryEventType()));
    lock.lock();
    // Served, or the owner is closing the port from inside this very delivery
    // (a handler that sets Active to False) and cannot finish it before we end.
    d.Changed.wait(lock, [&] { return d.Served >= number || (d.Stopping && d.Taken >= number); });
}
