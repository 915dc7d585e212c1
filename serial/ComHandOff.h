// The hand-off of event deliveries from a port's event thread to the thread
// that owns the port (smSynchronize, smWindow).
//
// The event thread asks for a delivery and blocks until the owner's thread has
// carried it out; only then does it wait for the next device event. The owner
// closes the port on its own thread, so a naive Close that waits for the event
// thread to end could wait for a thread that waits for it. The rules that
// prevent this, all kept here:
//   - Stop (Close) first forbids new requests, then carries out every request
//     already made itself until the event thread says it has ended; so the
//     event thread is never left waiting for an owner that is busy closing.
//   - Requests are numbered; Serve carries out the newest request not yet
//     taken, so a late or nested Serve (the posted task arriving after Close
//     already served it) does nothing.
//   - A handler may close its own port while it runs. The event thread then
//     stops waiting once the request is taken and the port is stopping: the
//     owner cannot finish the delivery before the event thread has ended.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

// "Run this on the owner's thread". The program implements it with its event
// loop; tests with a queue they run themselves.
class TComOwnerThread {
public:
    virtual ~TComOwnerThread() = default;
    // Called on an event thread. Task must run later on the owner's thread,
    // never inside Post; it may be dropped when the owner's loop has ended.
    virtual void Post(std::function<void()> task) = 0;
};

class TComHandOff : public std::enable_shared_from_this<TComHandOff> {
public:
    // Dispatch runs on the owner's thread with the events of one request and
    // must not throw.
    using TDispatch = std::function<void(uint32_t mask)>;
    TComHandOff(std::shared_ptr<TComOwnerThread> ownerThread, TDispatch dispatch);
    TComHandOff(const TComHandOff&) = delete;
    TComHandOff& operator=(const TComHandOff&) = delete;

    bool HasOwnerThread() const { return FOwnerThread != nullptr; }

    // Owner's thread, before an event thread starts.
    void Begin();
    // Event thread: has Mask dispatched on the owner's thread and returns when
    // that is done, when it is taken by a Stop, or at once while stopping.
    void Deliver(uint32_t mask);
    // Event thread: its last act.
    void ThreadEnded();
    // Owner's thread: carries out the newest request not yet taken, if any.
    void Serve();
    // Owner's thread: no new requests; WakeThread is called to end the event
    // thread's wait; returns when the thread has ended, having carried out
    // every request made before that.
    void Stop(const std::function<void()>& wakeThread);

private:
    std::shared_ptr<TComOwnerThread> FOwnerThread;
    TDispatch FDispatch;

    std::mutex FMutex;  // guards the fields below
    std::condition_variable FChanged;
    uint64_t FRequested = 0;  // number of the last request
    uint32_t FMask = 0;       // its events
    uint64_t FTaken = 0;      // number of the last request the owner started
    uint64_t FServed = 0;     // number of the last request the owner finished
    bool FStopping = false;   // Stop has begun: no new requests
    bool FThreadDone = false;
};
