// A scripted TComDevice: records what the port asks of it, fails on request,
// and produces device events when the test says so.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "serial/ComDevice.h"
#include "serial/Comms.h"

struct TFakeComState {
    std::mutex Mutex;  // guards Events and Calls (the event thread touches them)
    std::condition_variable EventsChanged;
    std::deque<uint32_t> Events;  // masks WaitEvent returns, oldest first
    std::vector<std::string> Calls;

    std::string OpenedPort;
    TComLineSettings Line;
    TComTimeoutValues Timeouts;
    int32_t ReadSize = 0, WriteSize = 0;
    uint32_t EventMask = 0;
    int LineSettingsCalls = 0, TimeoutCalls = 0, QueueCalls = 0;

    // Error codes the next calls return (0: success).
    int OpenError = 0, QueueError = 0, LineError = 0, TimeoutError = 0, PurgeError = 0,
        InputCountError = 0;
    TComIoResult WriteResult{TComIoResult::ioDone, -1, 0};  // Count -1: all bytes
    TComIoResult ReadResult{TComIoResult::ioDone, -1, 0};
    TComIoResult WaitResult{TComIoResult::ioDone, 0, 0};
    std::string Written;
    std::string ToRead;
    int32_t InQueue = 0;
    std::atomic<int> LiveOperations{0};

    void ClearErrors() {
        OpenError = QueueError = LineError = TimeoutError = PurgeError = InputCountError = 0;
    }
    void Post(uint32_t Mask) {
        {
            std::lock_guard Lock(Mutex);
            Events.push_back(Mask);
        }
        EventsChanged.notify_all();
    }
    // Waits until the event thread has taken every posted event.
    bool WaitUntilTaken(std::chrono::milliseconds Timeout) {
        std::unique_lock Lock(Mutex);
        return EventsChanged.wait_for(Lock, Timeout, [&] { return Events.empty(); });
    }
    void Log(std::string Call) {
        std::lock_guard Lock(Mutex);
        Calls.push_back(std::move(Call));
    }
    std::vector<std::string> TakeCalls() {
        std::lock_guard Lock(Mutex);
        return std::exchange(Calls, {});
    }
};

class TFakeComDevice : public TComDevice {
public:
    explicit TFakeComDevice(std::shared_ptr<TFakeComState> State) : S(std::move(State)) {}

    int Open(const std::string& Port) override {
        S->Log("Open " + Port);
        if (S->OpenError) return S->OpenError;
        S->OpenedPort = Port;
        return 0;
    }
    void Close() override { S->Log("Close"); }
    int SetQueueSizes(int32_t ReadSize, int32_t WriteSize) override {
        S->Log("SetupComm");
        ++S->QueueCalls;
        S->ReadSize = ReadSize;
        S->WriteSize = WriteSize;
        return S->QueueError;
    }
    int SetLineSettings(const TComLineSettings& Settings) override {
        S->Log("SetCommState");
        ++S->LineSettingsCalls;
        if (S->LineError) return S->LineError;
        S->Line = Settings;
        return 0;
    }
    int SetTimeouts(const TComTimeoutValues& Timeouts) override {
        S->Log("SetCommTimeouts");
        ++S->TimeoutCalls;
        if (S->TimeoutError) return S->TimeoutError;
        S->Timeouts = Timeouts;
        return 0;
    }
    int SetEventMask(uint32_t Mask) override {
        S->Log("SetCommMask");
        S->EventMask = Mask;
        return 0;
    }

    class TStop : public TComStopSignal {
    public:
        explicit TStop(std::shared_ptr<TFakeComState> State) : S(std::move(State)) {}
        void Set() override {
            {
                std::lock_guard Lock(S->Mutex);
                Stopped = true;
            }
            S->EventsChanged.notify_all();
        }
        std::shared_ptr<TFakeComState> S;
        bool Stopped = false;  // guarded by S->Mutex
    };
    std::unique_ptr<TComStopSignal> NewStopSignal() override { return std::make_unique<TStop>(S); }
    TWaitResult WaitEvent(TComStopSignal& Stop, uint32_t& Mask) override {
        auto& St = static_cast<TStop&>(Stop);
        std::unique_lock Lock(S->Mutex);
        S->EventsChanged.wait(Lock, [&] { return St.Stopped || !S->Events.empty(); });
        if (St.Stopped) return wrStopped;
        Mask = S->Events.front();
        S->Events.pop_front();
        S->EventsChanged.notify_all();  // for WaitUntilTaken
        return Mask ? wrEvents : wrNothing;
    }

    class TOp : public TComOperation {
    public:
        explicit TOp(std::shared_ptr<TFakeComState> State) : S(std::move(State)) {
            ++S->LiveOperations;
        }
        ~TOp() override { --S->LiveOperations; }
        std::shared_ptr<TFakeComState> S;
    };
    std::unique_ptr<TComOperation> NewOperation() override { return std::make_unique<TOp>(S); }
    TComIoResult Write(TComOperation&, const char* Data, int32_t Count) override {
        S->Written.append(Data, static_cast<size_t>(Count));
        TComIoResult R = S->WriteResult;
        if (R.Count < 0) R.Count = Count;
        return R;
    }
    TComIoResult Read(TComOperation&, char* Data, int32_t Count) override {
        TComIoResult R = S->ReadResult;
        const size_t N = std::min(S->ToRead.size(), static_cast<size_t>(Count));
        S->ToRead.copy(Data, N);
        S->ToRead.erase(0, N);
        if (R.Count < 0) R.Count = static_cast<int32_t>(N);
        return R;
    }
    TComIoResult WaitOperation(TComOperation&) override {
        S->Log("WaitOperation");
        return S->WaitResult;
    }
    int InputCount(int32_t& Count) override {
        Count = S->InQueue;
        return S->InputCountError;
    }
    int Purge() override {
        S->Log("PurgeComm");
        return S->PurgeError;
    }
    std::string ErrorText(int Code) const override { return "fake error " + std::to_string(Code); }

private:
    std::shared_ptr<TFakeComState> S;
};

inline TComDeviceFactory FakeFactory(const std::shared_ptr<TFakeComState>& State) {
    return [State] { return std::make_unique<TFakeComDevice>(State); };
}
