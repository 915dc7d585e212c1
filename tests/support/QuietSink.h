#pragma once

// A conversation sink that keeps nothing: every byte written counts as sent,
// a complete reply runs at once, and questions get plain answers (tray 1234,
// nothing to store, DBL 0). Benchmarks and fuzz targets derive from it and
// override only what they watch.

#include <cstdint>
#include <string>

#include "conversation/Conversation.h"

class TQuietSink : public TConversationSink {
public:
    TConversation* Engine = nullptr;

    std::int32_t Write(const std::string& bytes) override {
        return static_cast<std::int32_t>(bytes.size());
    }
    void ReplyComplete() override { Engine->HostReply(); }
    void LogToHost(const std::string&) override {}
    void LogFromHost(const std::string&) override {}
    void LogLine(const std::string&) override {}
    void LogIncompleteReply(const std::string&) override {}
    void ShowStatus(const std::string&, int) override {}
    void ShowCountdown(std::int32_t) override {}
    void TimerRunning(bool) override {}
    void EnableControls(bool) override {}
    void Pause(unsigned) override {}
    std::string Tray() override { return "1234"; }
    TStoreSource StoreSource() override { return {}; }
    double StoreDBL() override { return 0; }
    bool StartFailed(const std::string&) override { return false; }
    void JobReading() override {}
    void ReplyNotUnderstood(const std::string&) override {}
    void JobNotFound() override {}
    void JobReceived(TJobData&) override {}
    void StoreUploading(const TStoreSource&) override {}
    void JobStored() override {}
    void Failed(const std::string&, TFailure) override {}
    void TimedOut() override {}
};
