// The owner's thread of the ports under test: the test's own thread, which
// runs the posted deliveries when it calls RunUntil.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "serial/ComHandOff.h"

using namespace std::chrono_literals;

class TTestOwnerThread : public TComOwnerThread {
public:
    void Post(std::function<void()> task) override {
        {
            std::lock_guard lock(FMutex);
            FTasks.push_back(std::move(task));
            ++FPosted;
        }
        FChanged.notify_all();
    }

    // Runs posted tasks on the calling thread until Condition holds or Timeout
    // passes; returns the final value of Condition. Conditions that other
    // threads change without posting are looked at every 10 ms.
    bool RunUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!condition()) {
            std::function<void()> task;
            {
                std::unique_lock lock(FMutex);
                const auto now = std::chrono::steady_clock::now();
                if (now >= deadline) return condition();
                FChanged.wait_until(lock, std::min(deadline, now + 10ms),
                                    [&] { return !FTasks.empty(); });
                if (FTasks.empty()) continue;
                task = std::move(FTasks.front());
                FTasks.pop_front();
            }
            task();
        }
        return true;
    }

    // Waits, without running anything, until Count tasks in all were posted.
    bool WaitPosted(size_t count, std::chrono::milliseconds timeout = 5s) {
        std::unique_lock lock(FMutex);
        return FChanged.wait_for(lock, timeout, [&] { return FPosted >= count; });
    }

    // Drops the tasks not yet run, as an event loop that has ended does.
    void Drop() {
        std::lock_guard lock(FMutex);
        FTasks.clear();
    }

    size_t Waiting() {
        std::lock_guard lock(FMutex);
        return FTasks.size();
    }

private:
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::deque<std::function<void()>> FTasks;
    size_t FPosted = 0;
};
