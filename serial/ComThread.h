// TComThread: the event thread of an open TComPort.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "serial/ComDevice.h"
#include "serial/ComHandOff.h"
#include "serial/Comms.h"

class TComThread {
public:
    // Waits for Device's events until stopped and delivers each set of them
    // by Method: through HandOff to the owner's thread, or with smNone by
    // calling DispatchHere on this thread (which must not throw). Its last
    // act is HandOff.ThreadEnded().
    TComThread(TComDevice& device, std::unique_ptr<TComStopSignal> stopSignal, TSyncMethod method,
               TComHandOff& handOff, std::function<void(uint32_t mask)> dispatchHere);
    ~TComThread();
    TComThread(const TComThread&) = delete;
    TComThread& operator=(const TComThread&) = delete;

    // Throws std::system_error when no thread can be had.
    void Start();
    // Sets the stop signal; the thread ends after its current delivery.
    void Stop();
    void Join();
    // True on the event thread itself.
    bool IsCurrent() const { return FThreadId.load() == std::this_thread::get_id(); }

private:
    void Execute();
    void Deliver(uint32_t mask);

    TComDevice& FDevice;
    std::unique_ptr<TComStopSignal> FStopSignal;
    TSyncMethod FMethod;
    TComHandOff& FHandOff;
    std::function<void(uint32_t)> FDispatchHere;
    uint32_t FEventMask = 0;
    std::atomic<std::thread::id> FThreadId{};
    std::thread FThread;
};
