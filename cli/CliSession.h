#pragma once

// One conversation of the command line: the engine over a link, driven by the
// command line's loop, with what the window would show going to the log and,
// for the countdown, to a terminal.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/CommLog.h"
#include "cli/CliLoop.h"
#include "conversation/Conversation.h"
#include "link/Link.h"

// How a conversation of the command line ended.
struct TCliOutcome {
    enum TKind {
        okJob,          // the job was read: Job
        okStored,       // the host confirmed the stored shape
        okNotStarted,   // the first packet could not be sent: Message
        okFailed,       // a step failed: Message, Failure
        okTimeout,      // the host did not answer in time
    } Kind = okFailed;
    std::string Message;
    TFailure Failure = fdShown;
    TJobData Job;
    std::optional<TStoreSource> Upload;  // what went to the host (store)
    std::size_t BytesSent = 0;           // on the line, both ways
    std::size_t BytesReceived = 0;
};

class TCliSession : public TConversationSink {
public:
    // Link must be open and its OnReceive free; Log collects the communication log.
    TCliSession(TLink& link, TCliLoop& loop, TCommLog& log);
    ~TCliSession() override;
    TCliSession(const TCliSession&) = delete;
    TCliSession& operator=(const TCliSession&) = delete;

    // The countdown of the last nine seconds goes here (a terminal); empty: nowhere.
    std::function<void(std::int32_t seconds)> OnCountdown;

    // Records the conversations from now on (the caller keeps Recorder).
    void SetRecorder(TTranscriptRecorder* recorder) { FEngine.SetRecorder(recorder); }

    TCliOutcome Request(const std::string& tray, const TConversationSettings& settings);
    TCliOutcome Store(const std::string& tray, TStoreSource source, double dbl,
                      const TConversationSettings& settings);

    std::int32_t Write(const std::string& bytes) override;
    void ReplyComplete() override;
    void LogToHost(const std::string& bytes) override;
    void LogFromHost(const std::string& bytes) override;
    void LogLine(const std::string& text) override;
    void ShowStatus(const std::string& text, int panel) override;
    void ShowCountdown(std::int32_t seconds) override;
    void TimerRunning(bool running) override;
    void EnableControls(bool) override {}
    void Pause(unsigned milliseconds) override;
    std::string Tray() override { return FTray; }
    TStoreSource StoreSource() override { return FSource; }
    double StoreDBL() override { return FDBL; }
    bool StartFailed(const std::string& message) override;
    void JobReading() override {}
    void ReplyNotUnderstood(const std::string&) override {}
    void JobNotFound() override {}
    void JobReceived(TJobData& job) override;
    void StoreUploading(const TStoreSource& upload) override { FOutcome.Upload = upload; }
    void JobStored() override;
    void Failed(const std::string& message, TFailure failure) override;
    void TimedOut() override;

private:
    TCliOutcome Run(const std::function<void()>& start);
    void End(TCliOutcome::TKind kind, const std::string& message);

    TLink& FLink;
    TCliLoop& FLoop;
    TCommLog& FLog;
    TConversation FEngine;
    std::string FTray;
    TStoreSource FSource;
    double FDBL = 0;
    TCliOutcome FOutcome;
    bool FEnded = false;
};
