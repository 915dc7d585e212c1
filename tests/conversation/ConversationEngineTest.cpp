// The conversation engine without a window or a line: the golden host replies
// of tests/data/replies fed whole and cut at every byte, the reply timer and
// the stale rule driven by ticks, and every ending leaving the engine idle.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

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

}  // namespace
