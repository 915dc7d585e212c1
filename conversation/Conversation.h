#pragma once

// TConversation: the client side of the host conversations, request and
// store. Fed the bytes the link delivers and the ticks of a one-second timer,
// it reads each complete reply with the reply readers of oma/, answers it and
// tells its driver (the session, conversation/Session.h) what to send, log
// and show through TConversationSink. It owns no link, no clock and no
// widget: the driver gives it the time with every delivery and decides how a
// pause or a "reply complete" is carried out.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "conversation/Transcript.h"
#include "oma/HostReplies.h"
#include "base/NameValueList.h"
#include "shape/TrceCalc.h"

// Conversation states.
enum TConversationState : std::uint8_t {
    cvIdle = 0,
    cvAwaitInitAnswer = 1,
    cvAwaitDefinition = 2,
    cvAwaitJob = 3,
    cvAwaitStoreInit = 4,
    cvAwaitStoreGrant = 5,
    cvAwaitStoreResult = 6,
    cvAwaitStoreDefinition = 7,
};
inline constexpr int ConversationStateCount = 8;

// A reply still without GS is dropped once the receive buffer holds more than
// this, so a device that floods the line cannot exhaust memory.
inline constexpr std::size_t MaxRxBuffer = std::size_t{1} << 20;

// A partial reply older than this (milliseconds) is dropped.
inline constexpr std::uint32_t RxStaleMs = 20000;

// Seconds a reply may take before the conversation ends with a timeout.
inline constexpr std::int32_t ReplyTimeoutSeconds = 15;

// The pause after initialization, when the settings ask for one.
inline constexpr unsigned PauseAfterInitMs = 4000;

inline constexpr char TimeoutMessage[] = "Timeout waiting for host";

// A packet whose checksum does not match is asked for again this many times
// (NAK); then the conversation ends with ChecksumMessage.
inline constexpr int MaxResends = 2;
inline constexpr char ChecksumMessage[] =
    "The host's reply was damaged on the line (checksum error); if this host is known to send "
    "wrong checksums, turn off checksum verification in Settings";

// Bytes before FS are logged one by one up to this many in a row; the rest of
// the run is counted in one line, so a flooding device costs little.
inline constexpr std::size_t MaxDroppedLogged = 4096;

// Whether two readings of a 32-bit millisecond tick count lie more than Limit
// apart, in either direction, across the counter's wrap.
bool TicksApart(std::uint32_t now, std::uint32_t last, std::uint32_t limit);

// Removes every byte before the first FS from Buffer and returns them, in
// order. With no FS at all the whole buffer goes.
std::string DropBeforeFS(std::string& buffer);

// The settings a conversation follows.
struct TConversationSettings {
    bool NoInit = false;          // tracer mode "No Init": store without negotiating
    bool PauseAfterInit = false;  // pause mode "Y"
    // Received checksums are checked ("VerifyChecksums" other than "N"): a
    // damaged packet gets NAK and is asked for again.
    bool VerifyChecksums = true;
};

// What the store conversation uploads, taken when the host has granted it.
struct TStoreSource {
    TTraceInfo Working;      // the shape to store
    TNameValueList Records;  // the job's records
    std::string Format;      // the upload's trace format, "1" to "4" (empty before it)
};

// How a conversation that failed ends.
enum TFailure : std::uint8_t {
    fdQuiet,  // the host has no such job: the message only
    fdShown,  // any other failure: the message, and the log is shown
};

// What the engine asks of its driver and tells it. Calls arrive in the order
// in which the operator and the host are to see their effects.
class TConversationSink {
public:
    virtual ~TConversationSink() = default;

    // --- The link ------------------------------------------------------------
    // Writes Bytes and waits until they have gone; returns how many went
    // (fewer when the link's write time ran out); throws with the link's own
    // text when the link fails.
    virtual std::int32_t Write(const std::string& bytes) = 0;
    // A complete reply waits: HostReply must run soon, after the delivery that
    // completed it has returned (the window posts itself a message).
    virtual void ReplyComplete() = 0;

    // --- The communication log -------------------------------------------------
    virtual void LogToHost(const std::string& bytes) = 0;
    virtual void LogFromHost(const std::string& bytes) = 0;
    // A line of its own: a failure or the receive buffer's overflow.
    virtual void LogLine(const std::string& text) = 0;
    // What had arrived of a reply that never ended (a timeout, Escape, a
    // link that closed): support needs to see how far the host got.
    virtual void LogIncompleteReply(const std::string& bytes) = 0;

    // --- What the operator sees ---------------------------------------------------
    // Panel 0 (the step, the result or the failure) or panel 1 (emptied).
    virtual void ShowStatus(const std::string& text, int panel) = 0;
    // The countdown of the last nine seconds in panel 1; 0 empties it. Unlike
    // ShowStatus it leaves the hint alone.
    virtual void ShowCountdown(std::int32_t seconds) = 0;
    // The one-second timer that drives Tick is to run (or stop). Starting a
    // running timer must not restart its rhythm.
    virtual void TimerRunning(bool running) = 0;
    // The commands that start conversations are offered or not.
    virtual void EnableControls(bool enable) = 0;
    // Blocks for the pause after initialization.
    virtual void Pause(unsigned milliseconds) = 0;

    // --- Inputs taken when a step needs them ---------------------------------
    // The tray for the next packet; throws with the operator's text when it
    // would break the packet. Asked at every packet that carries it.
    virtual std::string Tray() = 0;
    // The shape and records to upload, asked once the host has granted the store.
    virtual TStoreSource StoreSource() = 0;
    // The DBL to upload; throws with the operator's text when there is none.
    virtual double StoreDBL() = 0;

    // --- Outcomes ------------------------------------------------------------------
    // The first packet could not be sent: the conversation did not start.
    // Returns whether the failure is to reach the caller of Start as well.
    virtual bool StartFailed(const std::string& message) = 0;
    // The job reply is being read: the received shape goes, whatever comes.
    virtual void JobReading() = 0;
    // The job could not be read; Reply is the host's reply as received.
    virtual void ReplyNotUnderstood(const std::string& reply) = 0;
    // The host has no such job.
    virtual void JobNotFound() = 0;
    // The job has been read: the received shape and the job's records.
    virtual void JobReceived(TJobData& job) = 0;
    // The upload as it goes to the host: the shape at the granted point count
    // and the records as echoed. Also told when the DBL then fails.
    virtual void StoreUploading(const TStoreSource& upload) = 0;
    // The host confirmed the stored shape.
    virtual void JobStored() = 0;
    // The conversation failed with Message (already in panel 0).
    virtual void Failed(const std::string& message, TFailure failure) = 0;
    // The host did not answer in time: the conversation is to end with
    // TimeoutMessage, as any ending with the log shown.
    virtual void TimedOut() = 0;
};

class TConversation {
public:
    explicit TConversation(TConversationSink& sink) : FSink(sink) {}

    TConversationState State() const { return static_cast<TConversationState>(FState); }
    bool Talking() const { return FState != cvIdle; }
    bool TimerOn() const { return FTimerOn; }
    std::int32_t Countdown() const { return FCountdown; }
    // Unprocessed reply bytes; starts with FS once anything survives.
    const std::string& Buffer() const { return FRxBuffer; }
    // The point count in force for a job reply without TRCFMT.
    const std::string& PointCount() const { return FPointCount; }
    void SetPointCount(std::string count) { FPointCount = std::move(count); }

    // Starts the request conversation (the caller has checked the tray).
    void StartRequest(const TConversationSettings& settings);
    // Starts the store conversation (the caller has checked the tray).
    void StartStore(const TConversationSettings& settings);

    // Bytes the link delivered at tick Now (milliseconds).
    void Received(const std::string& bytes, std::uint32_t now);
    // Runs the step of the current state on a complete reply; a reply already
    // handled is not handled again. A reply whose checksum does not match is
    // answered with NAK instead and waited for again (MaxResends times).
    void HostReply();
    // One tick of the one-second timer.
    void Tick();
    // Escape: ends a conversation whose timer runs. Returns whether it did, and
    // the driver then ends it as any ending with the log shown.
    bool Cancel();
    // The link ended under a running conversation (a network host closed its
    // connection): the conversation fails with Message. Idle: nothing.
    void LinkLost(const std::string& message);
    // The conversation is over (ended, or abandoned): back to idle, buffer empty.
    void Abandon();
    // Stops the timer now, emptying the countdown, rather than at its next tick.
    void StopTimer();
    // Back to the state of a fresh engine.
    void Reset();
    // Records the conversations from now on into Recorder (the caller's, which
    // outlives them); nothing records them.
    void SetRecorder(TTranscriptRecorder* recorder) { FRecorder = recorder; }

    // The reply that the last conversation failed on, as received; empty when
    // it ended otherwise (a timeout, a link lost) or has not failed.
    const std::string& FailedReply() const { return FFailedReply; }

    // Writes Text, logs it and, during a conversation, restarts the countdown.
    void SendToHost(const std::string& text);

private:
    void StartConversation(TConversationState state, const TConversationSettings& settings);
    void ProcessReply();
    void Fail(const std::string& message, TFailure failure);
    void SetTimer(bool on);
    void SetState(std::uint8_t state);
    void Record(std::string_view result, std::string_view message);
    void PauseAfterInit();
    void LogUnfinishedReply();
    bool ChecksumAccepted();
    void LogDropped(const std::string& dropped);
    void LogDroppedCount();

    void InitAnswerStep();
    void DefinitionStep();
    void JobStep();
    void StoreInitStep();
    void StoreGrantStep();
    void StoreResultStep();
    void StoreDefinitionStep();

    TConversationSink& FSink;
    TConversationSettings FSettings;
    std::string FRxBuffer;
    std::uint32_t FLastRxTick = 0;
    std::uint8_t FState = cvIdle;
    std::int32_t FCountdown = 0;
    bool FTimerOn = false;
    std::string FHostDef;
    std::string FPointCount;
    std::string FStoreInitReply;
    std::string FFailedReply;
    TTranscriptRecorder* FRecorder = nullptr;
    // NAKs sent for the packet now awaited; a resend is awaited while above 0.
    int FResends = 0;
    // The log has noted that the host's packets carry no checksum.
    bool FUncheckedNoted = false;
    // Bytes before FS in the current run: logged one by one, then only counted.
    std::size_t FDroppedLogged = 0;
    std::size_t FDroppedCounted = 0;
};
