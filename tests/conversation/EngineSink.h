#pragma once

// A driver for the conversation engine in tests: it keeps everything the
// engine tells it as one event list, answers its questions from fields the
// test sets, and runs a complete reply at once (as the command line does).

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "conversation/Conversation.h"

class TRecordingSink : public TConversationSink {
public:
    // Every call, in order: "write <bytes>", "status0 <text>", "timer on", ...
    std::vector<std::string> Events;
    std::vector<std::string> Written;  // each Write's bytes
    std::string LogText;               // log entries: "> " to host, "< " from host, "! " lines
    std::optional<TJobData> Job;
    std::optional<TStoreSource> Upload;
    bool Stored = false;
    std::string FailedWith;
    std::optional<TFailure> Failure;
    bool TimedOutFlag = false;
    std::string Clipboard;
    std::vector<unsigned> Pauses;

    // Answers to the engine's questions.
    std::string TrayValue = "R360_3";
    std::string TrayFault;  // thrown by Tray when set
    TStoreSource Source;
    std::optional<double> DBL = 18.0;
    // Write: how many bytes go (nothing: all), or a failure text.
    std::function<std::int32_t(const std::string&)> WriteHook;
    bool LinkOpen = true;
    bool RunRepliesAtOnce = true;
    TConversation* Engine = nullptr;
    int RepliesAnnounced = 0;

    std::int32_t Write(const std::string& bytes) override {
        Events.push_back("write " + bytes);
        if (WriteHook) return WriteHook(bytes);
        Written.push_back(bytes);
        return static_cast<std::int32_t>(bytes.size());
    }
    void ReplyComplete() override {
        ++RepliesAnnounced;
        if (RunRepliesAtOnce && Engine) Engine->HostReply();
    }
    void LogToHost(const std::string& bytes) override { LogText += "> " + bytes + "\n"; }
    void LogFromHost(const std::string& bytes) override { LogText += "< " + bytes + "\n"; }
    void LogLine(const std::string& text) override { LogText += "! " + text + "\n"; }
    void LogIncompleteReply(const std::string& bytes) override {
        LogText += "<? " + bytes + "\n";
    }
    void ShowStatus(const std::string& text, int panel) override {
        Events.push_back("status" + std::to_string(panel) + " " + text);
    }
    void ShowCountdown(std::int32_t seconds) override {
        Events.push_back("countdown " + std::to_string(seconds));
    }
    void TimerRunning(bool running) override {
        Events.push_back(running ? "timer on" : "timer off");
    }
    void EnableControls(bool enable) override {
        Events.push_back(enable ? "controls on" : "controls off");
    }
    void Pause(unsigned milliseconds) override {
        Pauses.push_back(milliseconds);
        Events.push_back("pause " + std::to_string(milliseconds));
    }
    std::string Tray() override {
        if (!TrayFault.empty()) throw std::runtime_error(TrayFault);
        return TrayValue;
    }
    TStoreSource StoreSource() override { return Source; }
    double StoreDBL() override {
        if (!DBL) throw std::runtime_error("no DBL");
        return *DBL;
    }
    bool StartFailed(const std::string& message) override {
        Events.push_back("start failed " + message);
        return LinkOpen;
    }
    void JobReading() override { Events.push_back("job reading"); }
    void ReplyNotUnderstood(const std::string& reply) override { Clipboard = reply; }
    void JobNotFound() override { Events.push_back("job not found"); }
    void JobReceived(TJobData& job) override {
        Events.push_back("job received");
        Job = job;
    }
    void StoreUploading(const TStoreSource& upload) override { Upload = upload; }
    void JobStored() override {
        Events.push_back("stored");
        Stored = true;
    }
    void Failed(const std::string& message, TFailure failure) override {
        Events.push_back("failed " + message);
        FailedWith = message;
        Failure = failure;
    }
    void TimedOut() override {
        Events.push_back("timed out");
        TimedOutFlag = true;
        // As the window does: the ending leaves the engine idle.
        if (Engine) Engine->Abandon();
    }

    bool Has(const std::string& event) const {
        for (const std::string& e : Events)
            if (e == event) return true;
        return false;
    }
};
