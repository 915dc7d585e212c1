// Ends the test program when a step that must not block does block, so that
// a deadlock shows as a failure rather than a hung test run.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <mutex>

class TWatchdog {
public:
    explicit TWatchdog(std::chrono::seconds limit)
        : FDone(std::async(std::launch::async, [this, limit] {
              std::unique_lock lock(FMutex);
              if (!FCondition.wait_for(lock, limit, [this] { return FStop; })) {
                  std::fprintf(stderr, "watchdog: a step did not return\n");
                  std::abort();
              }
          })) {}
    ~TWatchdog() {
        {
            std::lock_guard lock(FMutex);
            FStop = true;
        }
        FCondition.notify_all();
    }

private:
    std::mutex FMutex;
    std::condition_variable FCondition;
    bool FStop = false;
    std::future<void> FDone;
};
