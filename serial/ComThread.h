// TComThread: the event thread of an open TComPort.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "serial/ComDevice.h"
#include "serial/Comms.h"

// The hand-off of one delivery from the event thread to the owner's thread.
// Requests are numbered so that a late or nested service never answers the
// wrong one.
struct TComPort::TDelivery {
    std::mutex Mutex;
    std::condition_variable Changed;
    uint64_t Requested = 0;  // number of the last request
    uint32_t Mask = 0;       // its events
    uint64_t Taken = 0;      // number of the last request the owner started
    uint64_t Served = 0;     // number of the last request the owner finished
    bool Stopping = false;   // Close has begun: no new hand-offs
    bool ThreadDone = false;
};

class TComThread {
public:
    // Creates the stop signal and sets the device's event mask from the
    // port's Events; the thread starts with Start.
    explicit TComThread(TComPort& comPort);
    ~TComThread();
    void Start();
    // Sets FStopSignal; the thread ends after its current delivery.
    void Stop();
    void Join();

private:
    void Execute();
    void Deliver();
    // Asks the owner's thread to dispatch Mask and waits until it has, or
    // until the port is closing while that dispatch runs.
    void HandOff(uint32_t mask);

    TComPort& FComPort;
    uint32_t FEventMask = 0;
    std::unique_ptr<TComStopSignal> FStopSignal;
    std::thread FThread;
};
