// A scripted TComDevice: records what the port asks of it, fails on request,
// and produces device events when the test says so.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "serial/ComDevice.h"
#include "serial/ComHandOff.h"
#include "serial/Comms.h"

struct TFakeComState {
    std::mutex Mutex;  // guards Events and Calls (the event thread touches them)
    std::condition_variable EventsChanged;
    std::deque<uint32_t> Events;  // masks WaitEvent returns, oldest first
    std::vector<std::string> Calls;
    std::vector<std::string> Reports;  // handler failures the port reported

    std::string OpenedPort;
    TComLineSettings Line;
    TComTimeoutValues Timeouts;
    int32_t ReadSize = 0, WriteSize = 0;
    uint32_t EventMask = 0;
    int LineSettingsCalls = 0, TimeoutCalls = 0, QueueCalls = 0;

    // Error codes the next calls return (0: success).
    int OpenError = 0, QueueError = 0, LineError = 0, TimeoutError = 0, PurgeError = 0,
        InputCountError = 0, StopSignalError = 0, EventMaskError = 0;
    TComIoResult WriteResult{TComIoResult::ioDone, -1, 0};  // Count -1: all bytes
    TComIoResult ReadResult{TComIoResult::ioDone, -1, 0};
    TComIoResult WaitResult{TComIoResult::ioDone, 0, 0};
    std::string Written;
    std::string ToRead;
    int32_t InQueue = 0;
    std::atomic<int> LiveOperations{0};

    void ClearErrors() {
        OpenError = QueueError = LineError = TimeoutError = PurgeError = InputCountError = 0;
        StopSignalError = EventMaskError = 0;
    }
    void Post(uint32_t mask) {
        {
            std::lock_guard lock(Mutex);
            Events.push_back(mask);
        }
        EventsChanged.notify_all();
    }
    // Waits until the event thread has taken every posted event.
    bool WaitUntilTaken(std::chrono::milliseconds timeout) {
        std::unique_lock lock(Mutex);
        return EventsChanged.wait_for(lock, timeout, [&] { return Events.empty(); });
    }
    void Report(std::string message) {
        std::lock_guard lock(Mutex);
        Reports.push_back(std::move(message));
    }
    std::vector<std::string> TakeReports() {
        std::lock_guard lock(Mutex);
        return std::exchange(Reports, {});
    }
    void Log(std::string call) {
        std::lock_guard lock(Mutex);
        Calls.push_back(std::move(call));
    }
    std::vector<std::string> TakeCalls() {
        std::lock_guard lock(Mutex);
        return std::exchange(Calls, {});
    }
};

class TFakeComDevice : public TComDevice {
public:
    explicit TFakeComDevice(std::shared_ptr<TFakeComState> state) : FS(std::move(state)) {}

    int Open(const std::string& port) override {
        FS->Log("Open " + port);
        if (FS->OpenError) return FS->OpenError;
        FS->OpenedPort = port;
        return 0;
    }
    void Close() override { FS->Log("Close"); }
    int SetQueueSizes(int32_t readSize, int32_t writeSize) override {
        FS->Log("SetupComm");
        ++FS->QueueCalls;
        FS->ReadSize = readSize;
        FS->WriteSize = writeSize;
        return FS->QueueError;
    }
    int SetLineSettings(const TComLineSettings& settings) override {
        FS->Log("SetCommState");
        ++FS->LineSettingsCalls;
        if (FS->LineError) return FS->LineError;
        FS->Line = settings;
        return 0;
    }
    int SetTimeouts(const TComTimeoutValues& timeouts) override {
        FS->Log("SetCommTimeouts");
        ++FS->TimeoutCalls;
        if (FS->TimeoutError) return FS->TimeoutError;
        FS->Timeouts = timeouts;
        return 0;
    }
    int SetEventMask(uint32_t mask) override {
        FS->Log("SetCommMask");
        if (FS->EventMaskError) return FS->EventMaskError;
        FS->EventMask = mask;
        return 0;
    }

    class TStop : public TComStopSignal {
    public:
        explicit TStop(std::shared_ptr<TFakeComState> state) : S(std::move(state)) {}
        void Set() override {
            {
                std::lock_guard lock(S->Mutex);
                Stopped = true;
            }
            S->EventsChanged.notify_all();
        }
        std::shared_ptr<TFakeComState> S;
        bool Stopped = false;  // guarded by S->Mutex
    };
    int NewStopSignal(std::unique_ptr<TComStopSignal>& signal) override {
        FS->Log("CreateEvent");
        if (FS->StopSignalError) return FS->StopSignalError;
        signal = std::make_unique<TStop>(FS);
        return 0;
    }
    TWaitResult WaitEvent(TComStopSignal& stop, uint32_t& mask) override {
        auto& st = static_cast<TStop&>(stop);
        std::unique_lock lock(FS->Mutex);
        FS->EventsChanged.wait(lock, [&] { return st.Stopped || !FS->Events.empty(); });
        if (st.Stopped) return wrStopped;
        mask = FS->Events.front();
        FS->Events.pop_front();
        FS->EventsChanged.notify_all();  // for WaitUntilTaken
        return mask ? wrEvents : wrNothing;
    }

    class TOp : public TComOperation {
    public:
        explicit TOp(std::shared_ptr<TFakeComState> state) : S(std::move(state)) {
            ++S->LiveOperations;
        }
        ~TOp() override { --S->LiveOperations; }
        std::shared_ptr<TFakeComState> S;
    };
    std::unique_ptr<TComOperation> NewOperation() override { return std::make_unique<TOp>(FS); }
    TComIoResult Write(TComOperation&, const char* data, int32_t count) override {
        FS->Written.append(data, static_cast<size_t>(count));
        TComIoResult r = FS->WriteResult;
        if (r.Count < 0) r.Count = count;
        return r;
    }
    TComIoResult Read(TComOperation&, char* data, int32_t count) override {
        TComIoResult r = FS->ReadResult;
        const size_t n = std::min(FS->ToRead.size(), static_cast<size_t>(count));
        FS->ToRead.copy(data, n);
        FS->ToRead.erase(0, n);
        if (r.Count < 0) r.Count = static_cast<int32_t>(n);
        return r;
    }
    TComIoResult WaitOperation(TComOperation&) override {
        FS->Log("WaitOperation");
        return FS->WaitResult;
    }
    int InputCount(int32_t& count) override {
        count = FS->InQueue;
        return FS->InputCountError;
    }
    int Purge() override {
        FS->Log("PurgeComm");
        return FS->PurgeError;
    }
    std::string ErrorText(int code) const override { return "fake error " + std::to_string(code); }

private:
    std::shared_ptr<TFakeComState> FS;
};

// A port's hooks for the fake device; handler failures go to State's Reports,
// deliveries to Owner.
inline TComPortHooks FakeFactory(const std::shared_ptr<TFakeComState>& state,
                                 std::shared_ptr<TComOwnerThread> owner = {}) {
    TComPortHooks hooks;
    hooks.OwnerThread = std::move(owner);
    hooks.NewDevice = [state] { return std::make_unique<TFakeComDevice>(state); };
    hooks.ReportError = [state](const std::string& message) { state->Report(message); };
    return hooks;
}
