#include "cli/CliLoop.h"

void TCliLoop::Post(std::function<void()> task) {
    {
        std::lock_guard lock(FMutex);
        FTasks.push_back(std::move(task));
    }
    FPosted.notify_one();
}

void TCliLoop::StartTimer() {
    // Like the window's timer: starting a running timer keeps its rhythm.
    if (FTimerOn) return;
    FTimerOn = true;
    FNextTick = TClock::now() + std::chrono::seconds(1);
}

void TCliLoop::StopTimer() {
    FTimerOn = false;
}

void TCliLoop::Run(const std::function<bool()>& done) {
    while (!done()) {
        std::function<void()> task;
        {
            std::unique_lock lock(FMutex);
            auto ready = [this] { return !FTasks.empty(); };
            if (FTimerOn)
                FPosted.wait_until(lock, FNextTick, ready);
            else
                FPosted.wait(lock, ready);
            if (!FTasks.empty()) {
                task = std::move(FTasks.front());
                FTasks.pop_front();
            }
        }
        // A line that never stops delivering must not hold the timer off.
        if (FTimerOn && TClock::now() >= FNextTick) {
            FNextTick += std::chrono::seconds(1);
            if (OnTick) OnTick();
        }
        if (task) task();
    }
}
