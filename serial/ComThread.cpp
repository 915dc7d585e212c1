#include "serial/ComThread.h"

namespace {

// The order in which handlers run for the flags of one event wait.
constexpr uint32_t DispatchOrder[] = {EV_RXCHAR, EV_TXEMPTY, EV_BREAK, EV_RING, EV_CTS,
                                      EV_DSR,    EV_RXFLAG,  EV_RLSD,  EV_ERR,  EV_RX80FULL};

}  // namespace

TComThread::TComThread(TComDevice& device, std::unique_ptr<TComStopSignal> stopSignal,
                       TSyncMethod method, TComHandOff& handOff,
                       std::function<void(uint32_t mask)> dispatchHere)
    : FDevice(device),
      FStopSignal(std::move(stopSignal)),
      FMethod(method),
      FHandOff(handOff),
      FDispatchHere(std::move(dispatchHere)) {}

TComThread::~TComThread() {
    if (FThread.joinable()) {
        Stop();
        FThread.join();
    }
}

void TComThread::Start() {
    FThread = std::thread([this] {
        FThreadId = std::this_thread::get_id();
        Execute();
    });
}

void TComThread::Stop() {
    FStopSignal->Set();
}

void TComThread::Join() {
    if (FThread.joinable()) FThread.join();
}

void TComThread::Execute() {
    for (;;) {
        uint32_t mask = 0;
        const TComDevice::TWaitResult result = FDevice.WaitEvent(*FStopSignal, mask);
        if (result == TComDevice::wrStopped) break;
        if (result == TComDevice::wrEvents) {
            FEventMask = mask;
            Deliver(FEventMask);
        }
    }
    FDevice.Purge();
    FHandOff.ThreadEnded();
}

void TComThread::Deliver(uint32_t mask) {
    switch (FMethod) {
        case smNone:
            FDispatchHere(mask);
            break;
        case smSynchronize:
            FHandOff.Deliver(mask);
            break;
        case smWindow:
            // One synchronous message per flag, in dispatch order.
            for (uint32_t flag : DispatchOrder)
                if (mask & flag) FHandOff.Deliver(flag);
            break;
    }
}
