#include "serial/ComHandOff.h"

TComHandOff::TComHandOff(std::shared_ptr<TComOwnerThread> ownerThread, TDispatch dispatch)
    : FOwnerThread(std::move(ownerThread)), FDispatch(std::move(dispatch)) {}

void TComHandOff::Begin() {
    std::lock_guard lock(FMutex);
    FStopping = false;
    FThreadDone = false;
}

void TComHandOff::Deliver(uint32_t mask) {
    std::unique_lock lock(FMutex);
    if (FStopping) return;
    const uint64_t number = ++FRequested;
    FMask = mask;
    lock.unlock();
    FChanged.notify_all();  // wakes a Stop that waits for this thread
    // The task holds the hand-off only weakly: it may arrive after the port is gone.
    FOwnerThread->Post([weak = weak_from_this()] {
        if (std::shared_ptr<TComHandOff> self = weak.lock()) self->Serve();
    });
    lock.lock();
    FChanged.wait(lock, [&] { return FServed >= number || (FStopping && FTaken >= number); });
}

void TComHandOff::ThreadEnded() {
    {
        std::lock_guard lock(FMutex);
        FThreadDone = true;
    }
    FChanged.notify_all();
}

void TComHandOff::Serve() {
    uint64_t number;
    uint32_t mask;
    {
        std::lock_guard lock(FMutex);
        if (FRequested <= FTaken) return;  // already carried out, or none
        number = FTaken = FRequested;
        mask = FMask;
    }
    FDispatch(mask);
    {
        std::lock_guard lock(FMutex);
        if (number > FServed) FServed = number;
    }
    FChanged.notify_all();
}

void TComHandOff::Stop(const std::function<void()>& wakeThread) {
    {
        std::lock_guard lock(FMutex);
        FStopping = true;
    }
    FChanged.notify_all();
    wakeThread();
    std::unique_lock lock(FMutex);
    for (;;) {
        if (FRequested > FTaken) {
            lock.unlock();
            Serve();
            lock.lock();
            continue;
        }
        if (FThreadDone) break;
        FChanged.wait(lock);
    }
}
