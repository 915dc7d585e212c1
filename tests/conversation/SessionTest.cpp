// The session over a link kept in memory: what the faces rely on. The golden
// host replies of tests/data/replies drive whole conversations; the log, the
// transcript and the endings are read as a face and support would.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "base/NameValueList.h"
#include "conversation/Session.h"
#include "oma/OMAMach.h"
#include "serial/Comms.h"
#include "shape/Convert.h"
#include "shape/TrceCalc.h"
#include "tests/support/PacketFiles.h"

namespace {

namespace fs = std::filesystem;

// A link whose far end is the test: what is written is kept, what the test
// delivers is announced to the session at once.
class TMemoryLink : public TLink {
public:
    std::vector<std::string> Sent;
    std::string OpenFailure;   // Open throws it when set
    std::string WriteFailure;  // Write throws it when set
    TLinkSettings Settings;

    void Open(const TLinkSettings& settings) override {
        if (!OpenFailure.empty()) throw std::runtime_error(OpenFailure);
        Settings = settings;
        FOpen = true;
    }
    void Close() override { FOpen = false; }
    bool IsOpen() const override { return FOpen; }
    std::int32_t Write(const std::string& bytes) override {
        if (!WriteFailure.empty()) throw std::runtime_error(WriteFailure);
        if (!FOpen) throw std::runtime_error("The link is closed");
        Sent.push_back(bytes);
        return static_cast<std::int32_t>(bytes.size());
    }
    std::string Read(std::int32_t count) override {
        std::string bytes = FIncoming.substr(0, static_cast<std::size_t>(count));
        FIncoming.erase(0, bytes.size());
        return bytes;
    }
    void Deliver(const std::string& bytes) {
        FIncoming += bytes;
        OnReceive(static_cast<std::int32_t>(FIncoming.size()));
    }
    // The far end hangs up (a network host closing its connection).
    void HangUp(const std::string& reason) {
        FOpen = false;
        if (OnClosed) OnClosed(reason);
    }

private:
    bool FOpen = false;
    std::string FIncoming;
};

// A face that keeps what it is told and runs a waiting reply when the test
// pumps it, as an event loop would after the delivery returned.
class TTestFace : public TSessionFace {
public:
    TSession* Session = nullptr;
    int Waiting = 0;
    bool TimerOn = false;
    bool BusyNow = false;
    std::vector<std::string> Statuses;
    std::optional<TJobData> Job;
    bool Stored = false;
    std::optional<TSessionEnd> End;
    std::string TrayValue = "1234";
    TStoreSource Source;

    void ReplyWaiting() override { ++Waiting; }
    void TimerRunning(bool running) override { TimerOn = running; }
    void Pause(unsigned) override {}
    std::string Tray() override { return TrayValue; }
    TStoreSource StoreSource() override { return Source; }
    double StoreDBL() override { return 18; }
    void ShowStatus(const std::string& text) override { Statuses.push_back(text); }
    void Busy(bool busy) override { BusyNow = busy; }
    void JobReceived(TJobData& job) override { Job = job; }
    void JobStored() override { Stored = true; }
    void Ended(const TSessionEnd& end) override { End = end; }
    void LinkWarning(const std::string& text) override { Warnings.push_back(text); }
    std::vector<std::string> Warnings;

    void Pump() {
        while (Waiting > 0) {
            --Waiting;
            Session->HostReply();
        }
    }
};

TNameValueList Settings(const std::string& port = "COM1") {
    TNameValueList settings;
    for (const char* line : {"BaudRate=9600", "Parity=None", "DataBits=8", "StopBits=1",
                             "TracerMode=Init", "PauseMode=N"})
        settings.Add(line);
    settings.SetValue("Port", port);
    return settings;
}

// A session whose every link is a memory link the test holds, on a fixed
// time of day so the log's stamps are known.
class TSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        FDir = fs::temp_directory_path() /
               ("trevalon-session-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(FDir);
        fs::create_directories(FDir);
    }
    void TearDown() override {
        FSession.reset();
        fs::remove_all(FDir);
    }

    void Make(TSessionOptions options = {}) {
        options.Version = "9.9.9";
        options.Platform = "test";
        options.NewLink = [this](const std::string&) {
            auto link = std::make_unique<TMemoryLink>();
            FLink = link.get();
            return link;
        };
        TSessionClock clock;
        clock.TickCount = [this] { return FNow; };
        clock.LocalTime = [] { return TTimeOfDay{14, 3, 27, 45}; };
        FSession = std::make_unique<TSession>(FFace, TComPortHooks{}, FPort, clock, options);
        FFace.Session = FSession.get();
        ASSERT_EQ(FSession->OpenLink(Settings()), "");
    }

    // The host's answer to the last packet: its ACK, then the reply.
    void Answer(const std::string& replyName) {
        FNow += 10;
        FLink->Deliver(std::string(1, ACK) + ReplyFile(replyName));
        FFace.Pump();
    }

    std::vector<std::string> LogLines() const {
        const std::deque<std::string>& lines = FSession->Log().Lines();
        return {lines.begin(), lines.end()};
    }
    bool LogHas(const std::string& line) const {
        const std::vector<std::string> lines = LogLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    fs::path FDir;
    TComPort FPort{TComPortHooks{}};
    TTestFace FFace;
    TMemoryLink* FLink = nullptr;
    std::unique_ptr<TSession> FSession;
    std::uint32_t FNow = 1000;
};

const std::string SessionStamp = "14:03:27:045";

TEST_F(TSessionTest, ARequestSendsTheGoldenPacketsAndLogsEveryExchange) {
    TSessionOptions options;
    options.TranscriptFile = (FDir / "request.jsonl").string();
    Make(options);
    FSession->StartRequest(Settings(), "1234");
    EXPECT_TRUE(FFace.BusyNow);
    EXPECT_TRUE(FFace.TimerOn);
    Answer("init-fmt4");
    Answer("edger-fmt4");
    Answer("job-fmt4");
    ASSERT_TRUE(FFace.Job.has_value());
    EXPECT_EQ(RadiusCount(FFace.Job->Radii), 360);
    EXPECT_FALSE(FFace.BusyNow);
    EXPECT_FALSE(FSession->Talking());
    // Each packet, and the ACK of each of the host's answers before the next.
    const std::string ack(1, ACK);
    ASSERT_EQ(FLink->Sent.size(), 6u);
    EXPECT_EQ(FLink->Sent[0], PacketFile("init"));
    EXPECT_EQ(FLink->Sent[1], ack);
    EXPECT_EQ(FLink->Sent[2], PacketFile("edger-description"));
    EXPECT_EQ(FLink->Sent[3], ack);
    EXPECT_NE(FLink->Sent[4].find("JOB=\"1234\"\r"), std::string::npos);
    EXPECT_EQ(FLink->Sent[5], ack);
    // Every write and every reply is in the log, under its stamp; no end line.
    const std::vector<std::string> lines = LogLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         SessionStamp + " ------------ Data To Host ---------"),
              6);
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         SessionStamp + " ------------ Data From Host ---------"),
              6);  // each ACK, dropped before FS, and each reply
    EXPECT_EQ(FSession->BytesReceived(), 3 + ReplyFile("init-fmt4").size() +
                                             ReplyFile("edger-fmt4").size() +
                                             ReplyFile("job-fmt4").size());
    // The transcript went to its file, whole, and reads back.
    EXPECT_EQ(FSession->TranscriptFileError(), "");
    const TTranscript transcript = ReadTranscript(FileBytes(FDir / "request.jsonl"));
    EXPECT_EQ(transcript.Header.Kind, "request");
    EXPECT_EQ(transcript.Header.Tray, "1234");
    EXPECT_EQ(transcript.Header.Version, "9.9.9");
    ASSERT_FALSE(transcript.Entries.empty());
    EXPECT_EQ(transcript.Entries.back().Detail, "job");
    EXPECT_EQ(FSession->LastTranscript(), FileBytes(FDir / "request.jsonl"));
}

TEST_F(TSessionTest, AStoreUploadsTheFaceShapeWhenGranted) {
    Make();
    FFace.Source.Working.Radii.clear();
    for (int i = 0; i < 360; ++i) FFace.Source.Working.Radii += "2500";
    FFace.Source.Working.HBox = 50;
    FFace.Source.Working.VBox = 50;
    FFace.Source.Working.Circ = 157.08;
    FFace.Source.Records.Add("JOB=\"R360_3\"");
    FFace.Source.Records.Add("HBOX=51.00;51.00");
    FFace.Source.Records.Add("FOO=bar ");
    FFace.Source.Records.Add("ZFMT=1;10;E;R;F");
    FFace.TrayValue = "R360_3";
    FSession->StartStore(Settings(), "R360_3");
    for (const char* reply : {"storeinit-ok", "tracer-ok", "grant-ok", "verdict-ok"}) Answer(reply);
    EXPECT_TRUE(FFace.Stored);
    EXPECT_FALSE(FFace.End.has_value());
    const auto upload = std::find_if(
        FLink->Sent.begin(), FLink->Sent.end(),
        [](const std::string& bytes) { return bytes.find(";E;R;F\r") != std::string::npos; });
    ASSERT_NE(upload, FLink->Sent.end());
    EXPECT_EQ(*upload, PacketFile("upload-circle-400"));
}

TEST_F(TSessionTest, FailuresEndWithTheirLineInTheLogButAMissingJobQuietly) {
    Make();
    FSession->StartRequest(Settings(), "1234");
    Answer("init-status-fault");
    ASSERT_TRUE(FFace.End.has_value());
    EXPECT_EQ(FFace.End->Kind, TSessionEnd::seFailed);
    EXPECT_EQ(FFace.End->Message, "Did not receive status 0 on init");
    EXPECT_EQ(LogLines().back(),
              SessionStamp + " ------------ Did not receive status 0 on init ---------");
    EXPECT_FALSE(FSession->Talking());
    EXPECT_FALSE(FFace.BusyNow);

    FFace.End.reset();
    FFace.TrayValue = "nosuchtray";
    FSession->StartRequest(Settings(), "nosuchtray");
    for (const char* reply : {"init-def12", "edger-def12", "job-def12"}) Answer(reply);
    ASSERT_TRUE(FFace.End.has_value());
    EXPECT_EQ(FFace.End->Kind, TSessionEnd::seNotFound);
    EXPECT_EQ(FFace.End->Message, "Tray nosuchtray not found");
    EXPECT_FALSE(LogHas(SessionStamp + " ------------ Tray nosuchtray not found ---------"));
}

TEST_F(TSessionTest, ATimeoutLogsTheReplyThatNeverEndedBeforeItsEndLine) {
    Make();
    FSession->StartRequest(Settings(), "1234");
    Answer("init-fmt4");
    Answer("edger-fmt4");
    const std::string job = ReplyFile("job-fmt4");
    const std::string part = job.substr(0, job.size() / 2);
    FLink->Deliver(std::string(1, ACK) + part);
    FFace.Pump();
    for (int tick = 0; tick < 15 && !FFace.End; ++tick) FSession->Tick();
    ASSERT_TRUE(FFace.End.has_value());
    EXPECT_EQ(FFace.End->Kind, TSessionEnd::seTimeout);
    EXPECT_FALSE(FSession->Talking());
    EXPECT_FALSE(FFace.Job.has_value());
    // The half reply is there, rendered as replies are, marked, then the end.
    TCommLog expected;
    expected.AddData(TCommLog::ldFromHostIncomplete, part, SessionStamp);
    expected.AddEndLine(TimeoutMessage, SessionStamp);
    const std::vector<std::string> lines = LogLines();
    const std::vector<std::string> tail(lines.end() - static_cast<long>(expected.Count()),
                                        lines.end());
    EXPECT_EQ(tail, std::vector<std::string>(expected.Lines().begin(), expected.Lines().end()));
    EXPECT_EQ(tail.front(),
              SessionStamp + " ------------ Data From Host (incomplete reply) ---------");
    EXPECT_EQ(tail[1], SessionStamp + " <fs>" + part.substr(1, part.find('\r') - 1) + "<cr>")
        << "the reply's first record";
}

// A job reply with one digit of its trace damaged on the line, every time.
std::string DamagedJob() {
    std::string job = ReplyFile("job-fmt1");
    job[job.find("\rR=") + 6] ^= 0x02;
    return job;
}

TEST_F(TSessionTest, AReplyDamagedOnEveryResendEndsWithTheChecksumTextAndTheLogShown) {
    Make();
    FSession->StartRequest(Settings(), "1234");
    Answer("init-fmt1");
    Answer("edger-fmt1");
    for (int copy = 0; copy < 3; ++copy) {
        FLink->Deliver(DamagedJob());
        FFace.Pump();
    }
    ASSERT_TRUE(FFace.End.has_value());
    EXPECT_EQ(FFace.End->Kind, TSessionEnd::seFailed);
    EXPECT_EQ(FFace.End->Message, ChecksumMessage);
    EXPECT_EQ(LogLines().back(), SessionStamp + " ------------ " + ChecksumMessage + " ---------");
    EXPECT_FALSE(FFace.Job.has_value());
    EXPECT_EQ(std::count(FLink->Sent.begin(), FLink->Sent.end(), std::string(1, NAK)), 2);
    // Each NAK is in the log as data to the host.
    EXPECT_TRUE(LogHas(SessionStamp + " <nak>"));
}

TEST_F(TSessionTest, VerifyChecksumsNTakesADamagedReplyAsItCame) {
    Make();
    TNameValueList settings = Settings();
    settings.SetValue("VerifyChecksums", "N");
    FSession->StartRequest(settings, "1234");
    Answer("init-fmt1");
    Answer("edger-fmt1");
    FLink->Deliver(DamagedJob());
    FFace.Pump();
    ASSERT_TRUE(FFace.Job.has_value());
    EXPECT_EQ(std::count(FLink->Sent.begin(), FLink->Sent.end(), std::string(1, NAK)), 0);
}

TEST_F(TSessionTest, ALinkWarningReachesTheFaceAndTheLog) {
    Make();
    ASSERT_EQ(FSession->OpenLink(Settings("rfc2217://127.0.0.1:1")), "");
    FLink->OnWarning("The device server does not answer");
    EXPECT_EQ(FFace.Warnings, std::vector<std::string>{"The device server does not answer"});
    EXPECT_EQ(LogLines().back(),
              SessionStamp + " ------------ The device server does not answer ---------");
}

TEST_F(TSessionTest, AHostThatHangsUpMidReplyFailsTheConversationWithWhatCame) {
    Make();
    ASSERT_EQ(FSession->OpenLink(Settings("socket://127.0.0.1:1")), "");
    ASSERT_TRUE(FSession->LinkIsNetwork());
    FSession->StartRequest(Settings("socket://127.0.0.1:1"), "1234");
    FLink->Deliver(std::string(1, ACK) + ReplyFile("init-fmt4").substr(0, 5));
    FLink->HangUp("The host closed the connection");
    ASSERT_TRUE(FFace.End.has_value());
    EXPECT_EQ(FFace.End->Kind, TSessionEnd::seFailed);
    EXPECT_EQ(FFace.End->Message, "The host closed the connection");
    EXPECT_TRUE(LogHas(SessionStamp + " ------------ Data From Host (incomplete reply) ---------"));
    EXPECT_EQ(LogLines().back(),
              SessionStamp + " ------------ The host closed the connection ---------");
    // Between conversations a hang-up is only noted, and the next start connects again.
    FFace.End.reset();
    FLink->HangUp("The host closed the connection");
    EXPECT_FALSE(FFace.End.has_value());
    FSession->StartRequest(Settings("socket://127.0.0.1:1"), "1234");
    EXPECT_TRUE(FLink->IsOpen());
    EXPECT_EQ(FLink->Sent.back(), PacketFile("init"));
}

TEST_F(TSessionTest, AFirstPacketThatCannotGoSaysWhyAndWhetherTheLinkWasOpen) {
    Make();
    // A closed serial port: the session does not throw, the log has the port's text.
    FSession->CloseLink();
    FSession->StartRequest(Settings(), "1234");
    ASSERT_TRUE(FFace.End.has_value());
    EXPECT_EQ(FFace.End->Kind, TSessionEnd::seNotStarted);
    EXPECT_FALSE(FFace.End->LinkOpen);
    EXPECT_EQ(LogLines().back(), SessionStamp + " ------------ The link is closed ---------");
    EXPECT_FALSE(FSession->Talking());
    EXPECT_FALSE(FFace.BusyNow);

    // An open line that fails: the start throws the failure after telling the face.
    ASSERT_EQ(FSession->OpenLink(Settings()), "");
    FLink->WriteFailure = "Operation failed: 5 (Input/output error)";
    FFace.End.reset();
    EXPECT_THROW(FSession->StartRequest(Settings(), "1234"), std::runtime_error);
    ASSERT_TRUE(FFace.End.has_value());
    EXPECT_TRUE(FFace.End->LinkOpen);
    EXPECT_EQ(LogLines().back(),
              SessionStamp + " ------------ Operation failed: 5 (Input/output error) ---------");
}

TEST_F(TSessionTest, LinkSettingsThatCannotBeUsedKeepTheLinkClosedWithTheirReason) {
    Make();
    TNameValueList settings = Settings();
    settings.SetValue("BaudRate", "fast");
    try {
        FSession->OpenLink(settings, "lab.dat");
        ADD_FAILURE() << "a baud rate that is no number was taken";
    } catch (const ESettingsValue& e) {
        EXPECT_STREQ(e.what(), "lab.dat: BaudRate=fast is not a number");
    }
    EXPECT_EQ(FSession->PortError(), "lab.dat: BaudRate=fast is not a number");
    EXPECT_FALSE(FLink->IsOpen());

    FLink->OpenFailure = "Unable to open COM1: Device or resource busy";
    EXPECT_EQ(FSession->OpenLink(Settings()), "Unable to open COM1: Device or resource busy");
    EXPECT_EQ(FSession->PortError(), "Unable to open COM1: Device or resource busy");
}

// A raw TCP host uses no line setting, so none can keep it closed; a device
// server with port control is sent them, so they must be usable.
TEST(TLinkSettings, OnlyTheSettingsALinkUsesAreRead) {
    TNameValueList settings;
    settings.SetValue("BaudRate", "fast");
    settings.SetValue("DataBits", "");
    settings.SetValue("Port", "socket://127.0.0.1:4001");
    EXPECT_EQ(LinkSettingsFrom(settings).Port, "socket://127.0.0.1:4001");
    settings.SetValue("Port", "rfc2217://127.0.0.1:4001");
    EXPECT_THROW(LinkSettingsFrom(settings), ESettingsValue);
    // Nothing but the port: every line setting takes its default.
    TNameValueList portOnly;
    portOnly.SetValue("Port", "COM3");
    const TLinkSettings link = LinkSettingsFrom(portOnly);
    EXPECT_EQ(link.BaudRate, 9600);
    EXPECT_EQ(link.DataBits, 8);
    EXPECT_EQ(link.Parity, prNone);
    EXPECT_EQ(link.StopBits, sbOneStopBit);
}

TEST_F(TSessionTest, TranscriptsThatCannotBeWrittenNeverChangeTheOutcome) {
    const fs::path blocked = FDir / "a-file";
    std::ofstream(blocked) << "not a folder";
    TSessionOptions options;
    options.TranscriptFolder = (blocked / "transcripts").string();
    options.TranscriptFile = (blocked / "t.jsonl").string();
    Make(options);
    for (int round = 0; round < 2; ++round) {
        FFace.Job.reset();
        FSession->StartRequest(Settings(), "1234");
        for (const char* reply : {"init-fmt4", "edger-fmt4", "job-fmt4"}) Answer(reply);
        EXPECT_TRUE(FFace.Job.has_value());
        EXPECT_FALSE(FFace.End.has_value());
        EXPECT_NE(FSession->TranscriptFileError(), "");
        EXPECT_FALSE(FSession->LastTranscript().empty());
    }
    // The folder's failure is logged once, not at every conversation.
    const std::vector<std::string> lines = LogLines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.find("Cannot write the session transcript in ") !=
                                       std::string::npos;
                            }),
              1);
}

TEST_F(TSessionTest, TranscriptsAreKeptUnlessTheSettingsTurnThemOff) {
    TSessionOptions options;
    options.TranscriptFolder = (FDir / "kept").string();
    Make(options);
    FSession->StartRequest(Settings(), "1234");
    for (const char* reply : {"init-fmt4", "edger-fmt4", "job-fmt4"}) Answer(reply);
    ASSERT_TRUE(fs::is_directory(FDir / "kept"));
    EXPECT_EQ(std::distance(fs::directory_iterator(FDir / "kept"), fs::directory_iterator()), 1);

    TNameValueList off = Settings();
    off.SetValue("Transcripts", "N");
    FSession->StartRequest(off, "1234");
    for (const char* reply : {"init-fmt4", "edger-fmt4", "job-fmt4"}) Answer(reply);
    EXPECT_EQ(std::distance(fs::directory_iterator(FDir / "kept"), fs::directory_iterator()), 1);
}

TEST_F(TSessionTest, EscapeEndsARunningConversationWithWhatArrivedLogged) {
    Make();
    FSession->StartRequest(Settings(), "1234");
    FLink->Deliver(std::string(1, ACK) + ReplyFile("init-fmt4").substr(0, 8));
    ASSERT_TRUE(FSession->Cancel());
    FSession->EndConversation("Cancelled by the operator");
    EXPECT_FALSE(FSession->Talking());
    EXPECT_TRUE(LogHas(SessionStamp + " ------------ Data From Host (incomplete reply) ---------"));
    EXPECT_EQ(LogLines().back(),
              SessionStamp + " ------------ Cancelled by the operator ---------");
    // Nothing runs any more: a second Escape has nothing to end.
    EXPECT_FALSE(FSession->Cancel());
}

}  // namespace
