// The hand-off between an event thread and the owner's thread, without a
// device or a port: a plain thread plays the event thread.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "serial/ComHandOff.h"
#include "tests/serial/TestOwnerThread.h"
#include "tests/serial/Watchdog.h"

namespace {

class TComHandOffTest : public ::testing::Test {
protected:
    std::shared_ptr<TTestOwnerThread> FOwner = std::make_shared<TTestOwnerThread>();
    std::mutex FMutex;
    std::vector<uint32_t> FMasks;
    std::vector<std::thread::id> FThreads;
    std::function<void(uint32_t)> FOnDispatch;
    std::shared_ptr<TComHandOff> FHandOff =
        std::make_shared<TComHandOff>(FOwner, [this](uint32_t mask) {
            {
                std::lock_guard lock(FMutex);
                FMasks.push_back(mask);
                FThreads.push_back(std::this_thread::get_id());
            }
            if (FOnDispatch) FOnDispatch(mask);
        });

    size_t Dispatched() {
        std::lock_guard lock(FMutex);
        return FMasks.size();
    }
    // A stand-in event thread: delivers Masks one after the other, then ends.
    std::future<void> EventThread(std::vector<uint32_t> masks) {
        FHandOff->Begin();
        return std::async(std::launch::async, [this, masks] {
            for (uint32_t mask : masks) FHandOff->Deliver(mask);
            FHandOff->ThreadEnded();
        });
    }
};

TEST_F(TComHandOffTest, EachDeliveryRunsOnTheOwnersThreadAndTheEventThreadWaitsForIt) {
    TWatchdog watchdog(60s);
    auto thread = EventThread({1, 2, 4});
    // The event thread cannot go on before the owner ran its first delivery.
    ASSERT_TRUE(FOwner->WaitPosted(1));
    EXPECT_EQ(thread.wait_for(50ms), std::future_status::timeout);
    EXPECT_EQ(FOwner->Waiting(), 1u);  // one request at a time
    ASSERT_TRUE(FOwner->RunUntil([&] { return Dispatched() == 3; }));
    thread.get();
    EXPECT_EQ(FMasks, (std::vector<uint32_t>{1, 2, 4}));
    for (std::thread::id id : FThreads) EXPECT_EQ(id, std::this_thread::get_id());
}

TEST_F(TComHandOffTest, StopCarriesOutARequestTheOwnersLoopNeverRan) {
    TWatchdog watchdog(60s);
    for (int round = 0; round < 20; ++round) {
        FMasks.clear();
        auto thread = EventThread({8});
        ASSERT_TRUE(FOwner->WaitPosted(static_cast<size_t>(round) + 1));
        bool woken = false;
        FHandOff->Stop([&] { woken = true; });
        EXPECT_TRUE(woken);
        thread.get();
        EXPECT_EQ(FMasks, std::vector<uint32_t>{8});
        // The posted task arrives late and finds nothing to do.
        FOwner->RunUntil([&] { return FOwner->Waiting() == 0; });
        EXPECT_EQ(Dispatched(), 1u);
    }
}

TEST_F(TComHandOffTest, NoRequestIsMadeOnceStopHasBegun) {
    TWatchdog watchdog(60s);
    FHandOff->Begin();
    std::promise<void> stopBegun;
    std::future<void> thread = std::async(std::launch::async, [&] {
        stopBegun.get_future().wait();
        FHandOff->Deliver(16);  // returns at once: the owner is closing
        FHandOff->ThreadEnded();
    });
    FHandOff->Stop([&] { stopBegun.set_value(); });
    thread.get();
    EXPECT_EQ(FOwner->Waiting(), 0u);
    EXPECT_EQ(Dispatched(), 0u);
}

// A handler that closes its own port stops the hand-off from inside the
// delivery the event thread is waiting for.
TEST_F(TComHandOffTest, AStopFromInsideADeliveryReleasesTheEventThread) {
    TWatchdog watchdog(60s);
    std::promise<void> wake;
    std::shared_future<void> woken = wake.get_future().share();
    FHandOff->Begin();
    std::future<void> thread = std::async(std::launch::async, [&] {
        FHandOff->Deliver(1);
        woken.wait();  // the stop signal
        FHandOff->ThreadEnded();
    });
    bool stopped = false;
    FOnDispatch = [&](uint32_t) {
        FHandOff->Stop([&] { wake.set_value(); });
        stopped = true;
    };
    ASSERT_TRUE(FOwner->RunUntil([&] { return stopped; }));
    thread.get();
    EXPECT_EQ(Dispatched(), 1u);
}

TEST_F(TComHandOffTest, ATaskArrivingAfterTheHandOffIsGoneDoesNothing) {
    TWatchdog watchdog(60s);
    auto thread = EventThread({32});
    ASSERT_TRUE(FOwner->WaitPosted(1));
    FHandOff->Stop([] {});  // carries the request out itself
    thread.get();
    FHandOff.reset();
    EXPECT_TRUE(FOwner->RunUntil([&] { return FOwner->Waiting() == 0; }));
    EXPECT_EQ(Dispatched(), 1u);
}

TEST_F(TComHandOffTest, EveryRoundAfterBeginDeliversAgain) {
    TWatchdog watchdog(60s);
    for (int round = 0; round < 3; ++round) {
        auto thread = EventThread({64});
        ASSERT_TRUE(FOwner->RunUntil([&] { return Dispatched() == static_cast<size_t>(round) + 1; }));
        FHandOff->Stop([] {});
        thread.get();
    }
    EXPECT_EQ(FMasks, (std::vector<uint32_t>{64, 64, 64}));
}

}  // namespace
