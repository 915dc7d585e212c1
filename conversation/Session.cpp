#include "conversation/Session.h"

#include <algorithm>
#include <limits>

#include "base/NameValueList.h"
#include "base/Numbers.h"
#include "conversation/TranscriptFiles.h"
#include "link/LinkName.h"

TConversationSettings ConversationSettingsFrom(const TNameValueList& settings) {
    return {settings.Value("TracerMode") == "No Init", settings.Value("PauseMode") == "Y",
            settings.Value("VerifyChecksums") != "N"};
}

namespace {

// The whole number Key holds, or Fallback when the key is missing.
int WholeSetting(const TNameValueList& settings, const char* key, int fallback, int low, int high,
                 const char* range) {
    const std::string text = settings.Value(key);
    if (text.empty()) return fallback;
    int value = 0;
    try {
        value = StrToInt(text);
    } catch (const EConvertError&) {
        throw ESettingsValue(std::string(key) + "=" + text + " is not a number");
    }
    if (value < low || value > high)
        throw ESettingsValue(std::string(key) + "=" + text + " is not " + range);
    return value;
}

}  // namespace

TLinkSettings LinkSettingsFrom(const TNameValueList& settings) {
    TLinkSettings link;
    link.Port = settings.Value("Port");
    if (std::string fault = PortNameFault(link.Port); !fault.empty())
        throw ESettingsValue("Port=" + link.Port + ": " + fault);
    if (ParseLinkName(link.Port).Kind == lkSocket) return link;  // no line settings
    link.BaudRate = WholeSetting(settings, "BaudRate", 9600, 1, std::numeric_limits<int>::max(),
                                 "a line speed in baud");
    const std::string parity = settings.Value("Parity");
    link.Parity = parity == "Even" ? prEven : parity == "Odd" ? prOdd : prNone;
    link.DataBits = WholeSetting(settings, "DataBits", 8, 5, 8, "5, 6, 7 or 8 data bits");
    const std::string stopBits = settings.Value("StopBits");
    link.StopBits = stopBits == "1.5" ? sbOne5StopBits
                    : stopBits == "2" ? sbTwoStopBits
                                      : sbOneStopBit;
    return link;
}

TSession::TSession(TSessionFace& face, TComPortHooks hooks, TComPort& serialPort,
                   TSessionClock clock, TSessionOptions options)
    : FFace(face),
      FHooks(std::move(hooks)),
      FSerialPort(serialPort),
      FClock(std::move(clock)),
      FOptions(std::move(options)),
      FEngine(*this) {
    FLink = FOptions.NewLink ? FOptions.NewLink({}) : NewSerialLink(FSerialPort);
    FLink->OnReceive = [this](std::int32_t count) { COMPortRxChar(count); };
}

TSession::~TSession() {
    // The link's deliveries reach this session: they stop first.
    FLink.reset();
}

// --- The link -------------------------------------------------------------------------

std::string TSession::OpenLink(const TNameValueList& settings, const std::string& source) {
    FLink->Close();
    TLinkSettings link;
    try {
        link = LinkSettingsFrom(settings);
    } catch (const ESettingsValue& e) {
        FPortError = source.empty() ? e.what() : source + ": " + e.what();
        throw ESettingsValue(FPortError);
    }
    ChooseLink(link.Port);
    try {
        FLink->Open(link);
        FPortError.clear();
    } catch (const std::exception& e) {
        FPortError = e.what();
    }
    return FPortError;
}

void TSession::CloseLink() {
    FLink->Close();
}

void TSession::ChooseLink(const std::string& port) {
    // The port setting may have changed kind: a serial port, a network host.
    if (FLinkIsNetwork == IsNetworkPort(port)) return;
    FLink.reset();  // the serial link lets go of the port's handler first
    FLink = FOptions.NewLink ? FOptions.NewLink(port) : NewLink(port, FHooks, FSerialPort);
    FLinkIsNetwork = IsNetworkPort(port);
    FLink->OnReceive = [this](std::int32_t count) { COMPortRxChar(count); };
    FLink->OnClosed = [this](const std::string& reason) { LinkClosed(reason); };
    FLink->OnLogLine = [this](const std::string& text) { LogLine(text); };
    FLink->OnWarning = [this](const std::string& text) { LinkWarning(text); };
}

void TSession::ReopenClosedLink(const TNameValueList& settings) {
    // A network link that the host ended, or that could not connect, is
    // tried again at each conversation; a serial port waits for OpenLink.
    if (!FLinkIsNetwork || FLink->IsOpen() || FClosed) return;
    try {
        FLink->Open(LinkSettingsFrom(settings));
        FPortError.clear();
    } catch (const std::exception& e) {
        FPortError = e.what();
    }
}

void TSession::COMPortRxChar(std::int32_t count) {
    const std::uint32_t now = TickCount();
    // Bytes that arrive meanwhile are announced by the link's next event.
    const std::string bytes = FLink->Read(count);
    FBytesReceived += bytes.size();
    FEngine.Received(bytes, now);
}

void TSession::LinkClosed(const std::string& reason) {
    // Between conversations it is only noted: the next one connects again.
    if (FEngine.Talking())
        FEngine.LinkLost(reason);
    else
        LogLine(reason);
}

void TSession::LinkWarning(const std::string& text) {
    LogLine(text);
    FFace.LinkWarning(text);
}

std::int32_t TSession::Write(const std::string& bytes) {
    const std::int32_t sent = FLink->Write(bytes);
    FBytesSent += static_cast<std::size_t>(std::max(sent, 0));
    return sent;
}

// --- Conversations ------------------------------------------------------------------

void TSession::StartRequest(const TNameValueList& settings, const std::string& tray) {
    Start(settings, tray, "request");
}

void TSession::StartStore(const TNameValueList& settings, const std::string& tray) {
    Start(settings, tray, "store");
}

void TSession::Start(const TNameValueList& settings, const std::string& tray, const char* kind) {
    ReopenClosedLink(settings);
    BeginTranscript(settings, kind, tray);
    FBytesSent = 0;
    FBytesReceived = 0;
    if (std::string_view(kind) == "store")
        FEngine.StartStore(ConversationSettingsFrom(settings));
    else
        FEngine.StartRequest(ConversationSettingsFrom(settings));
}

void TSession::HostReply() {
    FEngine.HostReply();
}

void TSession::Tick() {
    FEngine.Tick();
}

bool TSession::Cancel() {
    return FEngine.Cancel();
}

void TSession::EndConversation(const std::string& message) {
    FEngine.Abandon();
    FinishTranscript();
    LogLine(message);
}

void TSession::SendToHost(const std::string& text) {
    FEngine.SendToHost(text);
}

void TSession::Abandon() {
    FEngine.Abandon();
    FinishTranscript();
    FEngine.StopTimer();
}

void TSession::Reset() {
    FEngine.Reset();
    FLog.Clear();
}

void TSession::Close() {
    if (FClosed) return;
    FClosed = true;
    // Nothing may reopen the log after this: no timeout, no late reply.
    FEngine.Cancel();
    FEngine.Abandon();
    FinishTranscript();
    FLink->Close();
    FLog.Clear();
}

// --- What the engine tells ---------------------------------------------------------

void TSession::ShowStatus(const std::string& text, int panel) {
    // Besides the step in panel 0 the engine only ever empties the countdown's panel.
    if (panel == 0)
        FFace.ShowStatus(text);
    else
        FFace.ShowCountdown(0);
}

bool TSession::StartFailed(const std::string& message) {
    FinishTranscript();
    const bool open = FLink->IsOpen();
    // A closed network link's own reason names the host and what went wrong.
    LogLine(!open && FLinkIsNetwork && !FPortError.empty() ? FPortError : message);
    FFace.Ended({TSessionEnd::seNotStarted, message, open, {}});
    return open;
}

void TSession::JobReceived(TJobData& job) {
    FinishTranscript();
    FFace.Busy(false);
    FFace.JobReceived(job);
}

void TSession::JobStored() {
    FinishTranscript();
    FFace.Busy(false);
    FFace.JobStored();
}

void TSession::Failed(const std::string& message, TFailure failure) {
    if (failure == fdQuiet) {
        FinishTranscript();
        FFace.Ended({TSessionEnd::seNotFound, message, true, FEngine.FailedReply()});
        return;
    }
    EndConversation(message);
    FFace.Ended({TSessionEnd::seFailed, message, true, FEngine.FailedReply()});
}

void TSession::TimedOut() {
    EndConversation(TimeoutMessage);
    FFace.Ended({TSessionEnd::seTimeout, TimeoutMessage, true, {}});
}

// --- The log and the transcript ---------------------------------------------------

void TSession::LogLine(const std::string& text) {
    FLog.AddEndLine(text, Stamp());
}

void TSession::LogData(TCommLog::TDirection direction, const std::string& bytes) {
    FLog.AddData(direction, bytes, Stamp());
}

void TSession::BeginTranscript(const TNameValueList& settings, const char* kind,
                               const std::string& tray) {
    FEngine.SetRecorder(nullptr);
    FTranscript.reset();
    FTranscriptStored = false;
    FTranscriptFileError.clear();
    const bool keep = !FOptions.TranscriptFolder.empty() && settings.Value("Transcripts") != "N";
    if (!keep && FOptions.TranscriptFile.empty()) return;
    const TTranscriptHeader header =
        TranscriptHeaderFor(settings, kind, tray, FOptions.Version, FOptions.Platform,
                            FClock.Now ? FClock.Now() : std::chrono::system_clock::now());
    FTranscript = std::make_unique<TTranscriptRecorder>(header, [this] { return TickCount(); });
    FEngine.SetRecorder(FTranscript.get());
}

void TSession::FinishTranscript() {
    if (!FTranscript || FTranscriptStored || !FTranscript->Ended()) return;
    FTranscriptStored = true;
    FLastTranscript = FTranscript->Text();
    std::string error;
    if (!FOptions.TranscriptFile.empty() &&
        !WriteTranscriptFile(FOptions.TranscriptFile, FLastTranscript, error))
        FTranscriptFileError = error;
    if (FOptions.TranscriptFolder.empty()) return;
    const TTranscriptHeader& header = FTranscript->Header();
    if (!StoreTranscript(FOptions.TranscriptFolder,
                         TranscriptFileName(header.Start, header.Kind, header.Tray),
                         FLastTranscript, error) &&
        !FTranscriptFailureLogged) {
        // Once: the conversations go on without their transcripts.
        FTranscriptFailureLogged = true;
        LogLine("Cannot write the session transcript in " + FOptions.TranscriptFolder + ": " +
                error);
    }
}

std::uint32_t TSession::TickCount() const {
    return FClock.TickCount ? FClock.TickCount() : MonotonicMs();
}

std::string TSession::Stamp() const {
    return FormatTimeStamp(FClock.LocalTime ? FClock.LocalTime() : LocalTimeOfDay());
}
