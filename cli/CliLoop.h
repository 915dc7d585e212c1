#pragma once

// The command line's event loop: the serial port's owner's thread (its
// deliveries run here), and the one-second tick of the reply timer. No Qt:
// a queue and a condition variable.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "serial/ComHandOff.h"

class TCliLoop : public TComOwnerThread, public std::enable_shared_from_this<TCliLoop> {
public:
    using TClock = std::chrono::steady_clock;

    void Post(std::function<void()> task) override;
    // Runs posted tasks and, once a second while the timer runs, OnTick, until
    // Done says so; returns at once when it already does.
    void Run(const std::function<bool()>& done);
    void StartTimer();
    void StopTimer();
    bool TimerRunning() const { return FTimerOn; }
    std::function<void()> OnTick;

private:
    std::mutex FMutex;
    std::condition_variable FPosted;
    std::deque<std::function<void()>> FTasks;
    bool FTimerOn = false;
    TClock::time_point FNextTick;
};
