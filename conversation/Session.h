#pragma once

// TSession: a face's conversations with the host, whole. It opens the link the
// settings name, feeds the engine (Conversation.h) the link's bytes and the
// timer's ticks, keeps the communication log, records the transcript and
// applies the end-of-conversation rule, so the window and the command line
// give the same answers. A face (TSessionFace) gives it its event loop and
// its inputs and shows what it is told.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "base/Clock.h"
#include "conversation/CommLog.h"
#include "conversation/Conversation.h"
#include "conversation/Transcript.h"
#include "link/Link.h"

class TNameValueList;

// The settings a conversation follows ("TracerMode", "PauseMode", "VerifyChecksums").
TConversationSettings ConversationSettingsFrom(const TNameValueList& settings);
// A setting that cannot be used: what() names the key and its value, after
// the settings file when the caller named it ("trevalon.dat: BaudRate=fast
// is not a number").
class ESettingsValue : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The link settings the settings list names ("Port", "BaudRate", "Parity",
// "DataBits", "StopBits"). A missing line setting takes its default (9600
// baud, 8 data bits, no parity, one stop bit); a network host by socket://
// uses none of them, so none is read. Throws ESettingsValue.
TLinkSettings LinkSettingsFrom(const TNameValueList& settings);

// How a conversation ended without its result.
struct TSessionEnd {
    enum TKind : std::uint8_t {
        seNotStarted,  // the first packet could not be sent
        seNotFound,    // the host has no such job: nothing goes to the log
        seFailed,      // a step failed, or the link closed under it
        seTimeout,     // the host did not answer in time
    } Kind = seFailed;
    std::string Message;
    // seNotStarted: whether the link was open. A closed one has its reason in
    // TSession::PortError.
    bool LinkOpen = true;
    // seNotFound, seFailed: the host's reply that ended it, when one did.
    std::string HostReply;
};

// What a session asks of the face that runs it, and tells it. Calls arrive in
// the order in which the operator and the host are to see their effects.
class TSessionFace {
public:
    virtual ~TSessionFace() = default;

    // --- The face's event loop -------------------------------------------------
    // A complete reply waits: TSession::HostReply must run soon, after the
    // delivery that completed it has returned.
    virtual void ReplyWaiting() = 0;
    // TSession::Tick is to run once a second (or no longer). Starting a
    // running timer must not restart its rhythm.
    virtual void TimerRunning(bool running) = 0;
    // Blocks for the pause after initialization.
    virtual void Pause(unsigned milliseconds) = 0;

    // --- Inputs, read when a step needs them -----------------------------------------
    // The tray for the next packet, asked at every packet that carries it;
    // throws with the operator's text when it would break the packet.
    virtual std::string Tray() = 0;
    // The shape and records to upload, asked once the host has granted the store.
    virtual TStoreSource StoreSource() = 0;
    // The DBL to upload; throws with the operator's text when there is none.
    virtual double StoreDBL() = 0;

    // --- What the operator sees ----------------------------------------------------------
    // The conversation's step, result or failure.
    virtual void ShowStatus(const std::string& /*text*/) {}
    // The countdown of the last nine seconds; 0 empties it.
    virtual void ShowCountdown(std::int32_t /*seconds*/) {}
    // While busy (from a start to any ending), no conversation may be started.
    virtual void Busy(bool /*busy*/) {}
    // What the operator must know about the link, beyond the log (which
    // already holds it): a network link that does not match its server.
    virtual void LinkWarning(const std::string& /*text*/) {}

    // --- Outcomes ----------------------------------------------------------------------------
    // The job reply is being read: the received shape goes, whatever comes.
    virtual void JobReading() {}
    // The job could not be read; Reply is the host's reply as received.
    virtual void ReplyNotUnderstood(const std::string& /*reply*/) {}
    // The host has no such job (told before Ended).
    virtual void JobNotFound() {}
    // The job has been read: the received shape and the job's records.
    virtual void JobReceived(TJobData& job) = 0;
    // The upload as it goes to the host: the shape at the granted point count
    // and the records as echoed. Also told when the DBL then fails.
    virtual void StoreUploading(const TStoreSource& /*upload*/) {}
    // The host confirmed the stored shape.
    virtual void JobStored() = 0;
    // The conversation ended without its result. The log already holds its
    // end (nothing for seNotFound). For seNotStarted with the link open, the
    // Start call then throws the message as well.
    virtual void Ended(const TSessionEnd& end) = 0;
};

// The clocks a session reads; empty members mean the real ones.
struct TSessionClock {
    std::function<std::uint32_t()> TickCount;                    // MonotonicMs
    std::function<TTimeOfDay()> LocalTime;                       // LocalTimeOfDay
    std::function<std::chrono::system_clock::time_point()> Now;  // system_clock::now
};

// Where a session's transcripts go and how their headers name the program.
struct TSessionOptions {
    std::string Version;
    std::string Platform;
    // Each transcript is kept here (the newest KeptTranscripts), unless the
    // settings say "Transcripts=N". Empty: not kept.
    std::string TranscriptFolder;
    // Each transcript is written to this file, whatever the settings say.
    std::string TranscriptFile;
    // Makes the link a port name asks for (an empty name: the first link).
    // Empty: the serial port, or a network host for a network URL.
    std::function<std::unique_ptr<TLink>(const std::string& port)> NewLink;
};

class TSession : private TConversationSink {
public:
    // The serial link goes over SerialPort (the caller keeps it, and outlives
    // the session); network links deliver through Hooks' owner's thread.
    TSession(TSessionFace& face, TComPortHooks hooks, TComPort& serialPort,
             TSessionClock clock = {}, TSessionOptions options = {});
    ~TSession() override;
    TSession(const TSession&) = delete;
    TSession& operator=(const TSession&) = delete;

    // --- The link ---------------------------------------------------------------------------
    // Closes the link, makes it the kind of link the settings' port names and
    // opens it. Returns empty when it opened, else why not (PortError). A
    // setting that cannot be used throws ESettingsValue after Source (the
    // settings file's name, for the message), PortError saying the same.
    std::string OpenLink(const TNameValueList& settings, const std::string& source = {});
    // Closes the link; nothing is delivered after it returns.
    void CloseLink();
    TLink& Link() { return *FLink; }
    bool LinkIsNetwork() const { return FLinkIsNetwork; }
    // Why the link is closed: the last opening's error, or that none was
    // made yet. Empty while it is open.
    const std::string& PortError() const { return FPortError; }

    // --- Conversations ------------------------------------------------------------------
    // Starts the request or the store conversation with the settings' tracer
    // and pause modes; Tray names the transcript (the face checked it). A
    // network link that is closed is connected again first.
    void StartRequest(const TNameValueList& settings, const std::string& tray);
    void StartStore(const TNameValueList& settings, const std::string& tray);
    // The link's receive event, on the owner's thread: Count bytes wait.
    void COMPortRxChar(std::int32_t count);
    // Runs the engine's step on a complete reply (after ReplyWaiting).
    void HostReply();
    // One tick of the one-second timer.
    void Tick();
    // Escape: ends a conversation whose timer runs; returns whether it did.
    // The face then ends it with EndConversation.
    bool Cancel();
    // Ends the conversation, if one runs, with Message as the log's end line.
    void EndConversation(const std::string& message);
    // Writes Text, logs it and, during a conversation, restarts the countdown.
    void SendToHost(const std::string& text);
    // Leaves a conversation still waiting for the host (a late reply is
    // ignored) and stops its timer now rather than at its next tick, which
    // could otherwise still report a timeout for it.
    void Abandon();
    // The point count in force for a job reply without TRCFMT.
    void SetPointCount(std::string count) { FEngine.SetPointCount(std::move(count)); }
    // Back to the state of a fresh session: engine, log.
    void Reset();
    // The face closes: the conversation ends, the link closes, the log is
    // emptied, and nothing starts again.
    void Close();

    bool Talking() const { return FEngine.Talking(); }
    const TConversation& Engine() const { return FEngine; }

    // --- The log and the transcript ---------------------------------------------------
    TCommLog& Log() { return FLog; }
    const TCommLog& Log() const { return FLog; }
    // A line of its own in the log, stamped now.
    void LogLine(const std::string& text);
    // Data as it went to or came from the host, stamped now.
    void LogData(TCommLog::TDirection direction, const std::string& bytes);
    // The last ended conversation's transcript; empty when none was recorded.
    const std::string& LastTranscript() const { return FLastTranscript; }
    // Why the transcript file (TSessionOptions::TranscriptFile) could not be
    // written; empty when it was, or none was asked for.
    const std::string& TranscriptFileError() const { return FTranscriptFileError; }

    // Bytes on the line since the conversation started, both ways.
    std::size_t BytesSent() const { return FBytesSent; }
    std::size_t BytesReceived() const { return FBytesReceived; }

private:
    void Start(const TNameValueList& settings, const std::string& tray, const char* kind);
    void ChooseLink(const std::string& port);
    void ReopenClosedLink(const TNameValueList& settings);
    void LinkClosed(const std::string& reason);
    void LinkWarning(const std::string& text);
    void BeginTranscript(const TNameValueList& settings, const char* kind, const std::string& tray);
    void FinishTranscript();
    std::uint32_t TickCount() const;
    std::string Stamp() const;

    // TConversationSink
    std::int32_t Write(const std::string& bytes) override;
    void ReplyComplete() override { FFace.ReplyWaiting(); }
    void LogToHost(const std::string& bytes) override { LogData(TCommLog::ldToHost, bytes); }
    void LogFromHost(const std::string& bytes) override { LogData(TCommLog::ldFromHost, bytes); }
    void LogIncompleteReply(const std::string& bytes) override {
        LogData(TCommLog::ldFromHostIncomplete, bytes);
    }
    void ShowStatus(const std::string& text, int panel) override;
    void ShowCountdown(std::int32_t seconds) override { FFace.ShowCountdown(seconds); }
    void TimerRunning(bool running) override { FFace.TimerRunning(running); }
    void EnableControls(bool enable) override { FFace.Busy(!enable); }
    void Pause(unsigned milliseconds) override { FFace.Pause(milliseconds); }
    std::string Tray() override { return FFace.Tray(); }
    TStoreSource StoreSource() override { return FFace.StoreSource(); }
    double StoreDBL() override { return FFace.StoreDBL(); }
    bool StartFailed(const std::string& message) override;
    void JobReading() override { FFace.JobReading(); }
    void ReplyNotUnderstood(const std::string& reply) override { FFace.ReplyNotUnderstood(reply); }
    void JobNotFound() override { FFace.JobNotFound(); }
    void JobReceived(TJobData& job) override;
    void StoreUploading(const TStoreSource& upload) override { FFace.StoreUploading(upload); }
    void JobStored() override;
    void Failed(const std::string& message, TFailure failure) override;
    void TimedOut() override;

    TSessionFace& FFace;
    TComPortHooks FHooks;
    TComPort& FSerialPort;
    TSessionClock FClock;
    TSessionOptions FOptions;

    std::unique_ptr<TLink> FLink;
    bool FLinkIsNetwork = false;
    std::string FPortError = "no port is chosen";
    bool FClosed = false;

    TConversation FEngine;
    TCommLog FLog;
    std::size_t FBytesSent = 0;
    std::size_t FBytesReceived = 0;

    std::unique_ptr<TTranscriptRecorder> FTranscript;
    bool FTranscriptStored = false;
    bool FTranscriptFailureLogged = false;
    std::string FLastTranscript;
    std::string FTranscriptFileError;
};
