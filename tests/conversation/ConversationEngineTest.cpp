// The conversation engine without a window or a line: the golden host replies
// of tests/data/replies fed whole and cut at every byte, the reply timer and
// the stale rule driven by ticks, and every ending leaving the engine idle.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "link/Telnet.h"
#include "oma/OMAMach.h"
#include "shape/TrceCalc.h"
#include "tests/conversation/EngineSink.h"
#include "tests/support/PacketFiles.h"

namespace {


std::string Reply(const std::string& name) {
    return ReplyFile(name);
}

// The first trace of the sample job, read the plain way: the R lines after its
// first TRCFMT record, each value padded to four digits.
std::string SampleTrace() {
    std::istringstream lines(FileBytes(std::filesystem::path(TREVALON_SAMPLES_DIR) / "R360_3.oma"));
    std::string line;
    while (std::getline(lines, line) && line.rfind("TRCFMT=", 0) != 0) {
    }
    std::string radii;
    while (std::getline(lines, line) && line.rfind("R=", 0) == 0) {
        std::istringstream values(line.substr(2));
        std::string value;
        while (std::getline(values, value, ';')) {
            while (!value.empty() && (value.back() == '\r' || value.back() == ' ')) value.pop_back();
            radii += std::string(4 - value.size(), '0') + value;
        }
    }
    return radii;
}

// One conversation: the replies the host gives, in order, and what must come of it.
struct TScript {
    std::string Name;
    bool Store = false;
    bool NoInit = false;
    std::vector<std::string> Replies;
    enum TEnd { enJob, enStored, enFailed } End = enJob;
    std::string Message;                  // enFailed: the operator's text
    TFailure Failure = fdShown;           // enFailed: how it ends
    int Points = 0;                       // enJob: points received
};

void PrintTo(const TScript& script, std::ostream* out) {
    *out << script.Name;
}

const std::vector<TScript> Scripts = {
    {"RequestFormat1", false, false, {"init-fmt1", "edger-fmt1", "job-fmt1"}, TScript::enJob, "", fdShown, 360},
    {"RequestFormat2", false, false, {"init-fmt2", "edger-fmt2", "job-fmt2"}, TScript::enJob, "", fdShown, 360},
    {"RequestFormat3", false, false, {"init-fmt3", "edger-fmt3", "job-fmt3"}, TScript::enJob, "", fdShown, 360},
    {"RequestFormat4", false, false, {"init-fmt4", "edger-fmt4", "job-fmt4"}, TScript::enJob, "", fdShown, 360},
    {"RequestNoSuchTray", false, false, {"init-def12", "edger-def12", "job-def12"}, TScript::enFailed,
     "Tray nosuchtray not found", fdQuiet, 0},
    {"RequestInitRefused", false, false, {"init-status-fault"}, TScript::enFailed,
     "Did not receive status 0 on init", fdShown, 0},
    {"RequestWithoutDEF", false, false, {"init-fmt1", "edger-status-fault"}, TScript::enFailed,
     "Did not receive DEF from host (init 2)", fdShown, 0},
    {"RequestJobLocked", false, false, {"init-fmt1", "edger-fmt1", "job-status-fault"}, TScript::enFailed,
     "Job locked", fdQuiet, 0},
    {"StoreNegotiated", true, false, {"storeinit-ok", "tracer-ok", "grant-ok", "verdict-ok"}, TScript::enStored, "", fdShown, 0},
    {"StoreFormat3", true, false, {"storeinit-abc", "tracer-abc", "grant-abc", "verdict-abc"}, TScript::enStored, "", fdShown, 0},
    {"StoreNoInit", true, true, {"storeinit-noinit", "grant-noinit", "verdict-noinit"}, TScript::enStored, "", fdShown, 0},
    {"StoreRefused", true, false, {"storeinit-refused", "tracer-refused", "grant-refused", "verdict-refused"},
     TScript::enFailed, "Job locked", fdShown, 0},
    {"StoreTracerFault", true, false, {"storeinit-status-fault", "tracer-status-fault"}, TScript::enFailed,
     "Did not get positive response from host", fdShown, 0},
    {"StoreGrantFault", true, false, {"storeinit-ok", "tracer-ok", "grant-status-fault"}, TScript::enFailed,
     "Did not get positive response from host", fdShown, 0},
    {"StoreVerdictFault", true, false, {"storeinit-ok", "tracer-ok", "grant-ok", "verdict-status-fault"},
     // The host's STATUS record has no text: its "text" runs on to the checksum record.
     TScript::enFailed, "\x1E" "CRC=39509", fdShown, 0},
};

// A circle of radius 25 mm at 360 points, as the operator's working shape.
TStoreSource CircleSource() {
    TStoreSource source;
    for (int i = 0; i < 360; ++i) source.Working.Radii += "2500";
    source.Working.HBox = 50;
    source.Working.VBox = 50;
    source.Working.Circ = 157.08;
    source.Records.Add("JOB=\"R360_3\"");
    source.Records.Add("HBOX=51.00;51.00");
    source.Records.Add("FOO=bar ");
    source.Records.Add("ZFMT=1;10;E;R;F");
    return source;
}

// What a run of a script left behind.
struct TRun {
    TRecordingSink Sink;
    TConversation Engine{Sink};
    TRun() { Sink.Engine = &Engine; }
};

// Runs Script with the reply numbered Cut delivered in the pieces Cuts gives
// (offsets into it); every other reply whole. Returns the sink.
void RunScript(TRun& run, const TScript& script, std::size_t cutReply = SIZE_MAX,
               const std::vector<std::size_t>& cuts = {}) {
    run.Sink.TrayValue = script.Name == "RequestNoSuchTray" ? "nosuchtray" : "R360_3";
    run.Sink.Source = CircleSource();
    const TConversationSettings settings{script.NoInit, false};
    if (script.Store)
        run.Engine.StartStore(settings);
    else
        run.Engine.StartRequest(settings);
    std::uint32_t now = 1000;
    for (std::size_t i = 0; i < script.Replies.size(); ++i) {
        // The host's ACK before its packet, as hosts send it.
        const std::string reply = std::string(1, ACK) + Reply(script.Replies[i]);
        std::size_t from = 0;
        if (i == cutReply) {
            for (std::size_t cut : cuts) {
                run.Engine.Received(reply.substr(from, cut - from), now += 10);
                from = cut;
            }
        }
        run.Engine.Received(reply.substr(from), now += 10);
    }
}

// The outcome of a run as one text, so cut runs compare with the whole one.
std::string Outcome(const TRun& run) {
    std::ostringstream out;
    for (const std::string& event : run.Sink.Events) out << event << "\n";
    out << "log\n" << run.Sink.LogText;
    return out.str();
}

class TScriptTest : public ::testing::TestWithParam<TScript> {};

TEST_P(TScriptTest, WholeRepliesGiveTheScriptedEnding) {
    const TScript& script = GetParam();
    TRun run;
    RunScript(run, script);
    EXPECT_FALSE(run.Engine.Talking());
    EXPECT_TRUE(run.Engine.Buffer().empty());
    switch (script.End) {
        case TScript::enJob: {
            ASSERT_TRUE(run.Sink.Job.has_value()) << Outcome(run);
            EXPECT_EQ(run.Sink.Job->Radii, SampleTrace());
            EXPECT_EQ(RadiusCount(run.Sink.Job->Radii), script.Points);
            EXPECT_DOUBLE_EQ(run.Sink.Job->DBL, 20.0);
            // The sample states its own box: the shape that came is the sample's.
            TTraceInfo shape;
            shape.Radii = run.Sink.Job->Radii;
            MeasureTrace(shape);
            EXPECT_NEAR(shape.HBox, 51.00, 0.01);
            EXPECT_NEAR(shape.VBox, 44.01, 0.01);
            EXPECT_EQ(run.Sink.Events.back(), "status0 ");
            break;
        }
        case TScript::enStored:
            EXPECT_TRUE(run.Sink.Stored) << Outcome(run);
            EXPECT_TRUE(run.Sink.Has("status0 Job stored"));
            break;
        case TScript::enFailed:
            EXPECT_EQ(run.Sink.FailedWith, script.Message) << Outcome(run);
            EXPECT_EQ(run.Sink.Failure, script.Failure);
            EXPECT_TRUE(run.Sink.Has("status0 " + script.Message));
            EXPECT_FALSE(run.Sink.Job.has_value());
            EXPECT_FALSE(run.Sink.Stored);
            break;
    }
    // Every reply the steps took was acknowledged once, and nothing was
    // written after the last reply but its ACK.
    int acks = 0;
    for (const std::string& bytes : run.Sink.Written) acks += bytes == std::string(1, ACK);
    const int replies = static_cast<int>(script.Replies.size());
    const bool lastAcked = script.End != TScript::enFailed || script.Failure == fdQuiet ||
                           script.Message == "Job locked" ||
                           script.Name == "StoreVerdictFault";
    EXPECT_EQ(acks, lastAcked ? replies : replies - 1) << Outcome(run);
}

TEST_P(TScriptTest, EveryCutInTwoGivesTheSameConversation) {
    const TScript& script = GetParam();
    TRun whole;
    RunScript(whole, script);
    const std::string expected = Outcome(whole);
    for (std::size_t r = 0; r < script.Replies.size(); ++r) {
        const std::size_t size = Reply(script.Replies[r]).size() + 1;
        for (std::size_t cut = 1; cut < size; ++cut) {
            TRun run;
            RunScript(run, script, r, {cut});
            // Cutting a reply changes only how the bytes before FS are
            // logged; the rest of the conversation must read the same.
            ASSERT_EQ(Outcome(run), expected) << script.Replies[r] << " cut at " << cut;
            if (::testing::Test::HasFailure()) return;
        }
    }
}

TEST_P(TScriptTest, CutsInThreeGiveTheSameConversation) {
    const TScript& script = GetParam();
    TRun whole;
    RunScript(whole, script);
    const std::string expected = Outcome(whole);
    for (std::size_t r = 0; r < script.Replies.size(); ++r) {
        const std::size_t size = Reply(script.Replies[r]).size() + 1;
        // Every byte position as the first cut.
        for (std::size_t first = 1; first + 1 < size; ++first) {
            const std::size_t rest = size - first - 1;
            // One second cut per first: right after it every 8th time, else
            // at a spread of places up to the byte before the GS.
            for (std::size_t second : {first % 8 == 0 ? first + 1 : first + 1 + (first * 7919) % rest}) {
                if (second <= first || second >= size) continue;
                TRun run;
                RunScript(run, script, r, {first, second});
                ASSERT_EQ(Outcome(run), expected)
                    << script.Replies[r] << " cut at " << first << " and " << second;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Golden, TScriptTest, ::testing::ValuesIn(Scripts),
                         [](const auto& row) { return row.param.Name; });

// --- The upload ------------------------------------------------------------------

// The packets a run wrote, each from its FS to its GS (ACKs left out).
std::vector<std::string> SentPackets(const TRun& run) {
    std::string line;
    for (const std::string& bytes : run.Sink.Written) line += bytes;
    std::vector<std::string> packets;
    for (std::size_t at = line.find(FS); at != std::string::npos; at = line.find(FS, at + 1))
        packets.push_back(line.substr(at, line.find(GS, at) + 1 - at));
    return packets;
}

TEST(TPackets, EveryConversationSendsTheGoldenPackets) {
    {
        TRun run;
        run.Sink.TrayValue = "1234";
        run.Engine.StartRequest({});
        run.Engine.Received(Reply("init-fmt1"), 100);
        run.Engine.Received(Reply("edger-granted-1-400"), 200);
        EXPECT_EQ(SentPackets(run), (std::vector<std::string>{PacketFile("init"), PacketFile("edger-description"),
                                                               PacketFile("job-request")}));
    }
    {
        TRun run;
        run.Sink.TrayValue = "1234";
        run.Engine.StartStore({false, false});
        run.Engine.Received(Reply("storeinit-ok"), 100);
        run.Engine.Received(Reply("tracer-ok"), 200);
        EXPECT_EQ(SentPackets(run), (std::vector<std::string>{PacketFile("init"), PacketFile("tracer-description"),
                                                               PacketFile("store-request")}));
    }
    {
        TRun run;
        run.Sink.TrayValue = "1234";
        run.Engine.StartStore({true, false});
        run.Engine.Received(Reply("storeinit-noinit"), 100);
        EXPECT_EQ(SentPackets(run),
                  (std::vector<std::string>{PacketFile("init"), PacketFile("store-request-no-init")}));
    }
}

TEST(TStoreUpload, EchoesTheJobsRecordsAfterTheTraceAndDropsTheProgramsOwn) {
    TRun run;
    RunScript(run, Scripts[8]);  // negotiated, format 1 at 400 points
    ASSERT_TRUE(run.Sink.Stored);
    // The upload is the packet after the grant's ACK.
    std::string upload;
    for (const std::string& bytes : run.Sink.Written)
        if (bytes.rfind(std::string(1, FS) + "ANS=", 0) == 0) upload = bytes;
    ASSERT_FALSE(upload.empty());
    EXPECT_EQ(upload, PacketFile("upload-circle-400"));
    // The window's records are what went: the program's own labels are gone.
    ASSERT_TRUE(run.Sink.Upload.has_value());
    EXPECT_EQ(run.Sink.Upload->Records.IndexOfName("JOB"), -1);
    EXPECT_EQ(run.Sink.Upload->Records.IndexOfName("ZFMT"), -1);
    EXPECT_EQ(RadiusCount(run.Sink.Upload->Working.Radii), 400);
}

TEST(TStoreUpload, AMissingDBLFailsAfterTheShapeWasResampled) {
    TRun run;
    run.Sink.Source = CircleSource();
    run.Sink.DBL.reset();
    run.Engine.StartStore({false, false});
    for (const char* name : {"storeinit-ok", "tracer-ok", "grant-ok"})
        run.Engine.Received(Reply(name), 100);
    EXPECT_EQ(run.Sink.FailedWith, "no DBL");
    ASSERT_TRUE(run.Sink.Upload.has_value());
    EXPECT_EQ(RadiusCount(run.Sink.Upload->Working.Radii), 400);
    EXPECT_FALSE(run.Engine.Talking());
}

TEST(TStoreUpload, AGrantBeyondThePointTablesIsRefused) {
    TRun run;
    run.Sink.Source = CircleSource();
    run.Engine.StartStore({true, false});
    run.Engine.Received(Reply("storeinit-noinit"), 100);
    run.Engine.Received(Reply("grant-noinit-5000"), 200);
    EXPECT_EQ(run.Sink.FailedWith, "Cannot store a trace of 5000 points");
}

// --- Receiving --------------------------------------------------------------------

TEST(TReceivingHelpers, TicksApartIsWrapSafeAndSymmetric) {
    struct TRow {
        std::uint32_t Now, Last;
        bool Apart;
    } rows[] = {
        {120000, 100000, false},
        {120001, 100000, true},
        {100000, 120001, true},
        {5000, 0xFFFFFFFFu - 14999, false},
        {5001, 0xFFFFFFFFu - 14999, true},
        {0, 0, false},
    };
    for (const TRow& r : rows)
        EXPECT_EQ(TicksApart(r.Now, r.Last, RxStaleMs), r.Apart) << r.Now << " " << r.Last;
}

TEST(TReceivingHelpers, DropBeforeFSKeepsFromTheFirstFS) {
    std::string buffer = std::string("\x06xy") + FS + "A" + FS;
    EXPECT_EQ(DropBeforeFS(buffer), "\x06xy");
    EXPECT_EQ(buffer, std::string(1, FS) + "A" + FS);
    std::string noise = "\x06\x15";
    EXPECT_EQ(DropBeforeFS(noise), "\x06\x15");
    EXPECT_TRUE(noise.empty());
}


TEST(TReceiving, BytesBeforeFSAreLoggedOneByOneAndDropped) {
    TRun run;
    run.Engine.StartRequest({});
    run.Engine.Received(std::string("\x06\x15x") + Reply("init-fmt1"), 100);
    EXPECT_NE(run.Sink.LogText.find("< \x06\n< \x15\n< x\n< \x1C"), std::string::npos)
        << run.Sink.LogText;
    EXPECT_EQ(run.Engine.State(), cvAwaitDefinition);
}

TEST(TReceiving, APacketWhileIdleIsLoggedAndNotAcknowledged) {
    TRun run;
    run.Engine.Received(Reply("init-fmt1"), 100);
    EXPECT_TRUE(run.Sink.Written.empty());
    EXPECT_NE(run.Sink.LogText.find("< \x1C"), std::string::npos);
    EXPECT_TRUE(run.Engine.Buffer().empty());
}

TEST(TReceiving, APieceOlderThanTwentySecondsIsDropped) {
    const std::string reply = Reply("init-fmt1");
    for (std::uint32_t gap : {20000u, 20001u}) {
        TRun run;
        run.Engine.StartRequest({});
        // Across the tick counter's wrap, too.
        const std::uint32_t start = 0xFFFFF000u;
        run.Engine.Received(reply.substr(0, 10), start);
        run.Engine.Received(reply.substr(10), start + gap);
        if (gap == 20000u) {
            EXPECT_EQ(run.Engine.State(), cvAwaitDefinition) << gap;
        } else {
            // The rest alone has no FS: logged byte by byte, nothing processed.
            EXPECT_EQ(run.Engine.State(), cvAwaitInitAnswer) << gap;
            EXPECT_TRUE(run.Engine.Buffer().empty());
        }
    }
}

TEST(TReceiving, BytesAfterGSInTheSameDeliveryAreProcessedWithTheReply) {
    TRun run;
    run.Sink.RunRepliesAtOnce = false;
    run.Engine.StartRequest({});
    run.Engine.Received(Reply("init-fmt1") + "\x1C" "ANS", 100);
    EXPECT_EQ(run.Sink.RepliesAnnounced, 1);
    run.Engine.HostReply();
    EXPECT_EQ(run.Engine.State(), cvAwaitDefinition);
    EXPECT_TRUE(run.Engine.Buffer().empty());
    // A second announcement of the same reply finds nothing to do.
    run.Engine.HostReply();
    EXPECT_EQ(run.Engine.State(), cvAwaitDefinition);
}

TEST(TReceiving, AFloodWithoutGSIsDroppedOnceItPassesTheLimit) {
    TRun run;
    run.Engine.StartRequest({});
    run.Engine.Received("\x1C" + std::string(MaxRxBuffer - 1, 'x'), 100);
    EXPECT_EQ(run.Engine.Buffer().size(), MaxRxBuffer);
    run.Engine.Received("y", 101);
    EXPECT_TRUE(run.Engine.Buffer().empty());
    EXPECT_NE(run.Sink.LogText.find("! Receive buffer overflow: 1048577 bytes without GS dropped"),
              std::string::npos);
    EXPECT_TRUE(run.Engine.Talking());  // the timer still ends it
}

// --- Time -------------------------------------------------------------------------

TEST(TTicks, TheCountdownShowsTheLastNineSecondsAndTheFifteenthTickEndsIt) {
    TRun run;
    run.Engine.StartRequest({});
    ASSERT_TRUE(run.Engine.TimerOn());
    run.Sink.Events.clear();
    for (int tick = 1; tick <= 5; ++tick) run.Engine.Tick();
    EXPECT_TRUE(run.Sink.Events.empty());
    run.Engine.Tick();
    EXPECT_EQ(run.Sink.Events, std::vector<std::string>{"countdown 9"});
    for (int tick = 7; tick <= 14; ++tick) run.Engine.Tick();
    EXPECT_EQ(run.Sink.Events.back(), "countdown 1");
    EXPECT_FALSE(run.Sink.TimedOutFlag);
    run.Engine.Tick();
    EXPECT_TRUE(run.Sink.TimedOutFlag);
    EXPECT_FALSE(run.Engine.TimerOn());
    EXPECT_FALSE(run.Engine.Talking());
    EXPECT_EQ(run.Sink.Events.back(), "countdown 0");
}

TEST(TTicks, EachSendRestartsTheCountdownWithoutRestartingTheTimer) {
    TRun run;
    run.Engine.StartRequest({});
    for (int tick = 0; tick < 10; ++tick) run.Engine.Tick();
    run.Sink.Events.clear();
    run.Engine.Received(Reply("init-fmt1"), 100);
    EXPECT_EQ(run.Engine.Countdown(), ReplyTimeoutSeconds);
    EXPECT_FALSE(run.Sink.Has("timer on"));
    for (int tick = 0; tick < 14; ++tick) run.Engine.Tick();
    EXPECT_FALSE(run.Sink.TimedOutFlag);
    run.Engine.Tick();
    EXPECT_TRUE(run.Sink.TimedOutFlag);
}

TEST(TTicks, TheTimerStopsAtTheFirstTickAfterAJobArrived) {
    TRun run;
    RunScript(run, Scripts[0]);
    ASSERT_TRUE(run.Sink.Job.has_value());
    EXPECT_TRUE(run.Engine.TimerOn());  // the job's ACK started the countdown again
    run.Engine.Tick();
    EXPECT_FALSE(run.Engine.TimerOn());
    EXPECT_FALSE(run.Sink.TimedOutFlag);
}

TEST(TTicks, EscapeEndsOnlyAConversationWhoseTimerRuns) {
    TRun run;
    EXPECT_FALSE(run.Engine.Cancel());
    run.Engine.StartRequest({});
    EXPECT_TRUE(run.Engine.Cancel());
    EXPECT_FALSE(run.Engine.TimerOn());
    EXPECT_FALSE(run.Engine.Cancel());
}

TEST(TTicks, ThePauseAfterInitializationIsAskedForWhenSet) {
    for (bool pause : {false, true}) {
        TRun run;
        run.Engine.StartRequest({false, pause});
        run.Engine.Received(Reply("init-fmt1"), 100);
        run.Engine.Received(Reply("edger-fmt1"), 200);
        ASSERT_EQ(run.Engine.State(), cvAwaitJob);
        EXPECT_EQ(run.Sink.Pauses, pause ? std::vector<unsigned>{PauseAfterInitMs}
                                         : std::vector<unsigned>{});
        if (pause) {
            // The pause lies between the definition's ACK and the job request.
            const auto at = std::find(run.Sink.Events.begin(), run.Sink.Events.end(), "pause 4000");
            ASSERT_NE(at, run.Sink.Events.end());
            EXPECT_EQ(*(at - 1), "write \x06");
            EXPECT_EQ((at + 1)->rfind("status0 Requesting job R360_3", 0), 0u);
        }
    }
}

// --- Starting and sending ------------------------------------------------------------

TEST(TSending, AShortWriteFailsTheStepWithWhatWent) {
    TRun run;
    run.Engine.StartRequest({});
    run.Sink.WriteHook = [](const std::string&) { return 0; };
    run.Engine.Received(Reply("init-fmt1"), 100);
    EXPECT_EQ(run.Sink.FailedWith, "Timeout sending to host: 0 of 1 bytes sent");
    EXPECT_FALSE(run.Engine.Talking());
}

TEST(TSending, AFirstPacketThatCannotGoLeavesTheEngineIdle) {
    for (bool open : {false, true}) {
        TRun run;
        run.Sink.LinkOpen = open;
        run.Sink.WriteHook = [](const std::string&) -> std::int32_t {
            throw std::runtime_error("Operation failed: 5 (Input/output error)");
        };
        if (open)
            EXPECT_THROW(run.Engine.StartRequest({}), std::runtime_error);
        else
            EXPECT_NO_THROW(run.Engine.StartRequest({}));
        EXPECT_FALSE(run.Engine.Talking());
        EXPECT_FALSE(run.Engine.TimerOn());
        EXPECT_EQ(run.Sink.Events.back(), "start failed Operation failed: 5 (Input/output error)");
    }
}

TEST(TSending, ATrayThatBreaksThePacketEndsTheConversationAtItsPacket) {
    TRun run;
    run.Engine.StartRequest({});
    run.Engine.Received(Reply("init-fmt1"), 100);
    run.Sink.TrayFault = "The tray number must not hold a double quote";
    run.Engine.Received(Reply("edger-fmt1"), 200);
    EXPECT_EQ(run.Sink.FailedWith, "The tray number must not hold a double quote");
    for (const std::string& bytes : run.Sink.Written) EXPECT_EQ(bytes.find("REQ=7"), std::string::npos);
}

TEST(TReplies, AJobReplyThatCannotBeReadGoesToTheClipboard) {
    TRun run;
    run.Engine.StartRequest({});
    run.Engine.Received(Reply("init-fmt1"), 100);
    run.Engine.Received(Reply("edger-fmt1"), 200);
    const std::string reply = Reply("job-other-answer");
    run.Engine.Received(reply, 300);
    EXPECT_EQ(run.Sink.FailedWith, "Did not understand response from host");
    EXPECT_EQ(run.Sink.Clipboard, reply);
    EXPECT_TRUE(run.Sink.Has("job reading"));
}

TEST(TReplies, AHungUpJobReplyEndsByTheTimer) {
    TRun run;
    run.Engine.StartRequest({});
    run.Engine.Received(Reply("init-fmt1"), 100);
    run.Engine.Received(Reply("edger-fmt1"), 200);
    run.Engine.Received(Reply("job-hangup"), 300);
    EXPECT_TRUE(run.Engine.Talking());
    for (int tick = 0; tick < ReplyTimeoutSeconds; ++tick) run.Engine.Tick();
    EXPECT_TRUE(run.Sink.TimedOutFlag);
    EXPECT_TRUE(run.Engine.Buffer().empty());
}

// --- Checksums ----------------------------------------------------------------------

// One bit flipped on the line, at one of three places of a reply.
enum TDamage { dgRecord, dgTrace, dgChecksum };
constexpr TDamage Damages[] = {dgRecord, dgTrace, dgChecksum};
const char* DamageName(TDamage damage) {
    return damage == dgRecord ? "record" : damage == dgTrace ? "trace" : "checksum";
}

// Where Damage flips a bit of Reply; npos when the reply has no such place.
std::size_t DamageAt(const std::string& reply, TDamage damage) {
    switch (damage) {
        case dgRecord:
            return 2;  // the first record's label
        case dgTrace: {
            const std::size_t r = reply.find("\rR=");
            return r == std::string::npos ? r : r + 6;  // a digit of format 1 stays one
        }
        case dgChecksum:
            return reply.rfind('\r') - 1;  // the checksum's last digit
    }
    return std::string::npos;
}

std::string Damaged(std::string reply, TDamage damage) {
    const std::size_t at = DamageAt(reply, damage);
    reply[at] = static_cast<char>(reply[at] ^ 0x02);
    return reply;
}

// The digits of the checksum record a golden reply carries, read the plain way.
std::string CarriedDigits(const std::string& reply) {
    const std::size_t at = reply.rfind("CRC=") + 4;
    return reply.substr(at, reply.find('\r', at) - at);
}

// The host's side of Script: each reply after its ACK; reply Damaged arrives
// damaged Copies times (after NAKs the host sends the packet alone), then
// whole when Resend is set. Nothing follows a reply that never came whole.
std::vector<std::string> HostSide(const TScript& script, std::size_t damaged = SIZE_MAX,
                                  TDamage damage = dgRecord, int copies = 1, bool resend = true) {
    std::vector<std::string> deliveries;
    for (std::size_t i = 0; i < script.Replies.size(); ++i) {
        const std::string reply = Reply(script.Replies[i]);
        if (i != damaged) {
            deliveries.push_back(std::string(1, ACK) + reply);
            continue;
        }
        for (int copy = 0; copy < copies; ++copy)
            deliveries.push_back((copy == 0 ? std::string(1, ACK) : std::string()) +
                                 Damaged(reply, damage));
        if (!resend) break;
        deliveries.push_back(reply);
    }
    return deliveries;
}

// Plays Deliveries as the host; delivery CutAt arrives cut at Cut.
void Play(TRun& run, const TScript& script, const std::vector<std::string>& deliveries,
          bool verify = true, std::size_t cutAt = SIZE_MAX, std::size_t cut = 0) {
    run.Sink.TrayValue = script.Name == "RequestNoSuchTray" ? "nosuchtray" : "R360_3";
    run.Sink.Source = CircleSource();
    const TConversationSettings settings{script.NoInit, false, verify};
    if (script.Store)
        run.Engine.StartStore(settings);
    else
        run.Engine.StartRequest(settings);
    std::uint32_t now = 1000;
    for (std::size_t i = 0; i < deliveries.size(); ++i) {
        if (i == cutAt) {
            run.Engine.Received(deliveries[i].substr(0, cut), now += 10);
            run.Engine.Received(deliveries[i].substr(cut), now += 10);
        } else {
            run.Engine.Received(deliveries[i], now += 10);
        }
    }
}

std::vector<std::string> Without(std::vector<std::string> items, const std::string& item) {
    items.erase(std::remove(items.begin(), items.end(), item), items.end());
    return items;
}

const std::string Nak(1, NAK);

int NakCount(const TRun& run) {
    return static_cast<int>(std::count(run.Sink.Written.begin(), run.Sink.Written.end(), Nak));
}

TEST_P(TScriptTest, ADamagedReplyIsAskedForAgainAndTheResendTakenAsIfNothingHappened) {
    const TScript& script = GetParam();
    TRun whole;
    RunScript(whole, script);
    for (std::size_t r = 0; r < script.Replies.size(); ++r) {
        const std::string reply = Reply(script.Replies[r]);
        for (TDamage damage : Damages) {
            if (DamageAt(reply, damage) == std::string::npos) continue;
            SCOPED_TRACE(script.Replies[r] + " damaged in its " + DamageName(damage));
            TRun run;
            Play(run, script, HostSide(script, r, damage));
            EXPECT_EQ(NakCount(run), 1);
            // Apart from the NAK the host saw and the operator was shown
            // exactly what an undamaged conversation gives.
            EXPECT_EQ(Without(run.Sink.Written, Nak), whole.Sink.Written);
            EXPECT_EQ(Without(run.Sink.Events, "write " + Nak), whole.Sink.Events);
            EXPECT_EQ(run.Sink.Job.has_value(), whole.Sink.Job.has_value());
            if (run.Sink.Job) {
                EXPECT_EQ(run.Sink.Job->Radii, SampleTrace());
            }
            EXPECT_EQ(run.Sink.FailedWith, whole.Sink.FailedWith);
            EXPECT_EQ(run.Sink.Stored, whole.Sink.Stored);
            // A damaged checksum is the received one; damaged records make
            // another expected one.
            const std::string digits = CarriedDigits(reply);
            const std::string line =
                damage == dgChecksum
                    ? "! Checksum error: expected CRC=" + digits +
                          ", received CRC=" + CarriedDigits(Damaged(reply, damage)) + "\n"
                    : ", received CRC=" + digits + "\n";
            EXPECT_NE(run.Sink.LogText.find(line), std::string::npos) << run.Sink.LogText;
            EXPECT_EQ(run.Sink.LogText.find("! Checksum error: expected CRC=" + digits +
                                            ", received CRC=" + digits + "\n"),
                      std::string::npos);
            // The damaged packet is in the log as it came, before its NAK.
            EXPECT_NE(run.Sink.LogText.find("< " + Damaged(reply, damage) + "\n! Checksum error"),
                      std::string::npos);
        }
    }
}

TEST_P(TScriptTest, TheSameDamageOnEveryResendEndsWithTheChecksumTextAfterTwoResends) {
    const TScript& script = GetParam();
    for (std::size_t r = 0; r < script.Replies.size(); ++r) {
        const std::string reply = Reply(script.Replies[r]);
        for (TDamage damage : Damages) {
            if (DamageAt(reply, damage) == std::string::npos) continue;
            SCOPED_TRACE(script.Replies[r] + " damaged in its " + DamageName(damage));
            TRun run;
            Play(run, script, HostSide(script, r, damage, 3, false));
            EXPECT_EQ(run.Sink.FailedWith, ChecksumMessage);
            EXPECT_EQ(run.Sink.Failure, fdShown);
            EXPECT_EQ(NakCount(run), 2);
            // The third damaged copy is answered with nothing.
            EXPECT_EQ(run.Sink.Written.back(), Nak);
            EXPECT_FALSE(run.Sink.Job.has_value());
            EXPECT_FALSE(run.Sink.Has("job reading"));
            EXPECT_FALSE(run.Sink.Stored);
            // The upload is built only from a grant taken whole.
            TRun before;
            std::vector<std::string> earlier = HostSide(script);
            earlier.resize(r);
            Play(before, script, earlier);
            EXPECT_EQ(run.Sink.Upload.has_value(), before.Sink.Upload.has_value());
            EXPECT_FALSE(run.Engine.Talking());
            EXPECT_FALSE(run.Engine.TimerOn());
            EXPECT_TRUE(run.Engine.Buffer().empty());
        }
    }
}

TEST_P(TScriptTest, RepliesWithoutChecksumsAreTakenAndNotedOnce) {
    const TScript& script = GetParam();
    // This host's verdict text runs on into the checksum record.
    if (script.Name == "StoreVerdictFault") return;
    TRun whole;
    RunScript(whole, script);
    std::vector<std::string> deliveries = HostSide(script);
    for (std::string& delivery : deliveries) {
        const std::size_t rs = delivery.rfind('\x1E');
        delivery = delivery.substr(0, rs) + '\x1D';
    }
    TRun run;
    Play(run, script, deliveries);
    EXPECT_EQ(run.Sink.Events, whole.Sink.Events);
    EXPECT_EQ(run.Sink.Written, whole.Sink.Written);
    const std::string note = "! The host's packet carries no checksum: taken unchecked\n";
    const std::size_t at = run.Sink.LogText.find(note);
    EXPECT_NE(at, std::string::npos);
    EXPECT_EQ(run.Sink.LogText.find(note, at + 1), std::string::npos);
}

TEST_P(TScriptTest, WithoutVerificationNothingChangesByteForByte) {
    const TScript& script = GetParam();
    TRun checked;
    RunScript(checked, script);
    TRun unchecked;
    Play(unchecked, script, HostSide(script), false);
    EXPECT_EQ(Outcome(unchecked), Outcome(checked));
}

TEST(TChecksums, AHostThatNeverResendsEndsWithTheChecksumTextAtTheTimeout) {
    TRun run;
    run.Engine.StartRequest({});
    run.Engine.Received(Reply("init-fmt1"), 100);
    run.Engine.Received(Reply("edger-fmt1"), 200);
    for (int tick = 0; tick < 9; ++tick) run.Engine.Tick();
    run.Engine.Received(Damaged(Reply("job-fmt1"), dgTrace), 300);
    ASSERT_EQ(run.Sink.Written.back(), Nak);
    // The NAK started the countdown again.
    for (int tick = 1; tick < ReplyTimeoutSeconds; ++tick) run.Engine.Tick();
    EXPECT_TRUE(run.Engine.Talking());
    run.Engine.Tick();
    EXPECT_FALSE(run.Sink.TimedOutFlag);
    EXPECT_EQ(run.Sink.FailedWith, ChecksumMessage);
    EXPECT_EQ(run.Sink.Failure, fdShown);
    EXPECT_FALSE(run.Engine.Talking());
    EXPECT_FALSE(run.Sink.Job.has_value());
}

TEST(TChecksums, AResendAnsweredLateStillCounts) {
    // Two damaged copies, then a whole one: within the two resends.
    TRun run;
    Play(run, Scripts[3], HostSide(Scripts[3], 2, dgTrace, 2, true));
    EXPECT_EQ(NakCount(run), 2);
    ASSERT_TRUE(run.Sink.Job.has_value());
    EXPECT_EQ(run.Sink.Job->Radii, SampleTrace());
}

TEST(TChecksums, ResendsAreCountedPerPacket) {
    // Two NAKs for each of three packets still fetch the job.
    TRun run;
    std::vector<std::string> deliveries;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::string reply = Reply(Scripts[3].Replies[i]);
        deliveries.push_back(Damaged(reply, dgRecord));
        deliveries.push_back(Damaged(reply, dgChecksum));
        deliveries.push_back(reply);
    }
    Play(run, Scripts[3], deliveries);
    EXPECT_EQ(NakCount(run), 6);
    ASSERT_TRUE(run.Sink.Job.has_value());
}

TEST(TChecksums, WithoutVerificationADamagedTraceIsTakenAsItCame) {
    TRun run;
    Play(run, Scripts[0], HostSide(Scripts[0], 2, dgTrace, 1, false), false);
    EXPECT_EQ(NakCount(run), 0);
    ASSERT_TRUE(run.Sink.Job.has_value());
    // One radius differs from the sample's: the damage drawn as a notch.
    const std::string sample = SampleTrace();
    ASSERT_EQ(run.Sink.Job->Radii.size(), sample.size());
    int differing = 0;
    for (std::size_t at = 0; at < sample.size(); at += 4)
        differing += run.Sink.Job->Radii.compare(at, 4, sample, at, 4) != 0;
    EXPECT_EQ(differing, 1);
    EXPECT_EQ(run.Sink.LogText.find("Checksum error"), std::string::npos);
}

TEST(TChecksums, ALinkThatFailsUnderTheNakEndsWithItsOwnText) {
    TRun run;
    run.Engine.StartRequest({});
    run.Sink.WriteHook = [](const std::string&) -> std::int32_t {
        throw std::runtime_error("The host closed the connection");
    };
    run.Engine.Received(Damaged(Reply("init-fmt1"), dgRecord), 100);
    EXPECT_EQ(run.Sink.FailedWith, "The host closed the connection");
    EXPECT_FALSE(run.Engine.Talking());
}

// Every cut of a damaged reply and of its resend reads as the whole ones do.
TEST(TChecksums, EveryCutOfADamagedReplyOrItsResendGivesTheSameConversation) {
    for (const TScript* script : {&Scripts[3], &Scripts[8]}) {
        const std::size_t r = script->Replies.size() - 2;
        for (TDamage damage : Damages) {
            if (DamageAt(Reply(script->Replies[r]), damage) == std::string::npos) continue;
            const std::vector<std::string> deliveries = HostSide(*script, r, damage, 1, true);
            TRun whole;
            Play(whole, *script, deliveries);
            const std::string expected = Outcome(whole);
            for (std::size_t d : {r, r + 1}) {
                for (std::size_t cut = 1; cut < deliveries[d].size(); ++cut) {
                    TRun run;
                    Play(run, *script, deliveries, true, d, cut);
                    ASSERT_EQ(Outcome(run), expected) << script->Name << " " << DamageName(damage)
                                                      << " delivery " << d << " cut at " << cut;
                }
            }
        }
    }
}

// A raw TCP port read as a Telnet server: each 0xFF of a binary trace is
// taken for a command and the trace is damaged. Its checksum refuses it.
TEST(TChecksums, ABinaryTraceReadThroughTheWrongFramingIsRefused) {
    for (const char* name : {"job-fmt3", "job-fmt4"}) {
        SCOPED_TRACE(name);
        TTelnetClient telnet;
        telnet.Start({});
        std::string replies;
        std::vector<std::string> notes;
        const std::string reply = Reply(name);
        const std::string read = telnet.Feed(reply, replies, notes);
        ASSERT_NE(read, reply);
        TRun run;
        run.Engine.StartRequest({});
        run.Engine.Received(Reply(name[6] == '3' ? "init-fmt3" : "init-fmt4"), 100);
        run.Engine.Received(Reply(name[6] == '3' ? "edger-fmt3" : "edger-fmt4"), 200);
        for (int copy = 0; copy < 3; ++copy) run.Engine.Received(read, 300 + copy);
        EXPECT_EQ(run.Sink.FailedWith, ChecksumMessage);
        EXPECT_FALSE(run.Sink.Job.has_value());
    }
}

// --- Floods -------------------------------------------------------------------------

TEST(TFloods, BytesBeforeFSAreLoggedOneByOneUpToTheBoundThenCounted) {
    TRun run;
    run.Engine.StartRequest({});
    const std::size_t flood = 3 * 1024 * 1024;
    for (std::size_t sent = 0; sent < flood; sent += 64 * 1024)
        run.Engine.Received(std::string(64 * 1024, 'x'),
                            100 + static_cast<std::uint32_t>(sent / 65536));
    const std::string logged = run.Sink.LogText;
    EXPECT_EQ(static_cast<std::size_t>(std::count(logged.begin(), logged.end(), 'x')),
              MaxDroppedLogged);
    // The count comes when the run of dropped bytes ends: here with a packet.
    EXPECT_EQ(logged.find("more bytes"), std::string::npos);
    run.Engine.Received(Reply("init-fmt1"), 200);
    EXPECT_NE(run.Sink.LogText.find("! " + std::to_string(flood - MaxDroppedLogged) +
                                    " more bytes before FS dropped (only the first 4096 are logged "
                                    "one by one)\n< \x1C"),
              std::string::npos);
    EXPECT_EQ(run.Engine.State(), cvAwaitDefinition);
    // The next run is logged one by one again.
    run.Engine.Received("\x06", 300);
    EXPECT_NE(run.Sink.LogText.rfind("< \x06\n"), std::string::npos);
}

TEST(TFloods, AFloodingHostIsEndedByTheTimerWithTheCountInTheLog) {
    for (bool afterFS : {false, true}) {
        TRun run;
        run.Engine.StartRequest({});
        if (afterFS) run.Engine.Received("\x06\x1C", 50);
        for (int second = 0; second < ReplyTimeoutSeconds; ++second) {
            for (int chunk = 0; chunk < 8; ++chunk)
                run.Engine.Received(std::string(32 * 1024, 'y'),
                                    100 + static_cast<std::uint32_t>(second * 1000 + chunk));
            EXPECT_FALSE(run.Sink.TimedOutFlag) << second;
            run.Engine.Tick();
        }
        EXPECT_TRUE(run.Sink.TimedOutFlag) << afterFS;
        EXPECT_FALSE(run.Engine.Talking());
        // Before FS: everything was dropped. After it: the first 1 MiB went
        // with the overflow, the rest was dropped.
        EXPECT_NE(run.Sink.LogText.find(" more bytes before FS dropped"), std::string::npos)
            << afterFS;
        EXPECT_EQ(run.Sink.LogText.find("Receive buffer overflow") != std::string::npos, afterFS);
    }
}

}  // namespace
