// Session transcripts: every byte survives the text, a malformed transcript
// says where it is wrong, and each golden transcript (trevalon-cli recorded
// against trevalon-host, tests/data/transcripts) replayed against the engine
// gives the identical conversation.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "oma/JobFile.h"
#include "shape/TrceCalc.h"
#include "tests/conversation/EngineSink.h"
#include "tests/support/PacketFiles.h"

#include <nlohmann/json.hpp>

namespace {

namespace fs = std::filesystem;
const fs::path TranscriptDir = fs::path(TREVALON_TEST_DATA_DIR) / ".." / "data" / "transcripts";

TTranscriptHeader Header() {
    TTranscriptHeader header;
    header.Version = "1.0.0";
    header.Port = "COM1";
    header.Kind = "request";
    header.Tray = "J\xFCrgen";
    header.Start = "2026-12-07T12:00:00.000Z";
    return header;
}

TEST(TTranscriptText, EveryByteSurvivesBothWays) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte) all += static_cast<char>(byte);
    std::uint32_t now = 100;
    TTranscriptRecorder recorder(Header(), [&] { return now; });
    recorder.ToHost(all);
    now = 130;
    recorder.FromHost(std::string(all.rbegin(), all.rend()));
    recorder.Event("state", "cvAwaitJob");
    recorder.Outcome("failed", "Trace type 6 is unsupported");
    recorder.Outcome("job", "");  // the first outcome counts
    const TTranscript read = ReadTranscript(recorder.Text());
    EXPECT_EQ(read.Header.Tray, "J\xFCrgen");
    ASSERT_EQ(read.Entries.size(), 4u);
    EXPECT_EQ(read.Entries[0].Data, all);
    EXPECT_EQ(read.Entries[0].Ms, 0u);
    EXPECT_EQ(read.Entries[1].Data, std::string(all.rbegin(), all.rend()));
    EXPECT_EQ(read.Entries[1].Ms, 30u);
    EXPECT_EQ(read.Entries[2].Detail, "cvAwaitJob");
    EXPECT_EQ(read.Entries[3].Detail, "failed");
    EXPECT_EQ(read.Entries[3].Message, "Trace type 6 is unsupported");
    // One JSON object a line, nothing but printable ASCII in it.
    for (char c : recorder.Text()) EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F));
}

// A device flooding the line: the transcript keeps the host's first
// MaxRecordedFromHost bytes as they came and counts the rest in one event
// before the outcome; what the client sent is all there.
TEST(TTranscriptText, AFloodIsRecordedUpToItsBoundAndTheRestCounted) {
    TTranscriptRecorder recorder(Header(), [] { return 0u; });
    recorder.ToHost("\x1cREQ=INI\r");
    const std::string block(1000 * 1000, 'z');
    for (int i = 0; i < 10; ++i) recorder.FromHost(block);
    recorder.ToHost("\x15");
    recorder.FromHost("!");
    recorder.Outcome("timeout", "Timeout waiting for host");
    EXPECT_LT(recorder.Text().size(), MaxRecordedFromHost + 4096);
    const TTranscript read = ReadTranscript(recorder.Text());
    std::string fromHost;
    std::string toHost;
    for (const TTranscriptEntry& entry : read.Entries) {
        if (entry.Kind == TTranscriptEntry::teFromHost) fromHost += entry.Data;
        if (entry.Kind == TTranscriptEntry::teToHost) toHost += entry.Data;
    }
    EXPECT_EQ(fromHost, std::string(4u << 20, 'z'));
    EXPECT_EQ(toHost, "\x1cREQ=INI\r\x15");
    ASSERT_GE(read.Entries.size(), 2u);
    const TTranscriptEntry& counted = read.Entries[read.Entries.size() - 2];
    EXPECT_EQ(counted.Event, "not recorded");
    EXPECT_EQ(counted.Detail,
              std::to_string(10 * 1000 * 1000 + 1 - (4 << 20)) + " bytes from the host");
    EXPECT_EQ(read.Entries.back().Detail, "timeout");

    // Within the bound nothing is counted.
    TTranscriptRecorder quiet(Header(), [] { return 0u; });
    quiet.FromHost(std::string(MaxRecordedFromHost, 'q'));
    quiet.Outcome("job", "");
    EXPECT_EQ(quiet.Text().find("not recorded"), std::string::npos);
}

// Chunk lines are written without the JSON library; they must be the very
// text the library writes for the same object, byte by byte.
TEST(TTranscriptText, ChunkLinesAreTheJsonLibrarysOwnText) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte) all += static_cast<char>(byte);
    std::uint32_t now = 7;
    TTranscriptRecorder recorder(Header(), [&] { return now; });
    const std::size_t headerEnd = recorder.Text().size();
    now = 4294967295u;
    recorder.ToHost(all);
    recorder.FromHost(
        "\x1c"
        "ANS=7\r\"quoted\" back\\slash\r\x1d");
    std::string expected;
    for (const auto& [direction, bytes] : {std::pair<const char*, std::string>{"out", all},
                                           {"in",
                                            "\x1c"
                                            "ANS=7\r\"quoted\" back\\slash\r\x1d"}}) {
        nlohmann::ordered_json line;
        line["ms"] = 4294967288u;
        line["dir"] = direction;
        std::string characters;  // bytes as the code points U+0000..U+00FF
        for (char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x80) {
                characters += c;
            } else {
                characters += static_cast<char>(0xC0 | (byte >> 6));
                characters += static_cast<char>(0x80 | (byte & 0x3F));
            }
        }
        line["data"] = characters;
        expected += line.dump(-1, ' ', true) + "\n";
    }
    EXPECT_EQ(recorder.Text().substr(headerEnd), expected);
}

TEST(TTranscriptText, TheHeaderTimeIsUtcWithMilliseconds) {
    using namespace std::chrono;
    const sys_days day = year{2026} / December / 7;
    EXPECT_EQ(TranscriptTime(system_clock::time_point(day + hours(21) + minutes(5) + seconds(9) +
                                                      milliseconds(42))),
              "2026-12-07T21:05:09.042Z");
}

TEST(TTranscriptText, AMalformedTranscriptSaysWhereItIsWrong) {
    const std::string head = R"({"transcript":1,"kind":"request"})"
                             "\n";
    const struct {
        std::string Text;
        std::string Message;
    } rows[] = {
        {"", "the transcript is empty"},
        {"not json\n", "line 1: not a JSON object"},
        {R"({"transcript":2,"kind":"request"})",
         "line 1: not a session transcript (no \"transcript\":1)"},
        {R"({"transcript":1})", "line 1: \"kind\" is missing"},
        {head + R"({"dir":"out","data":"x"})", "line 2: \"ms\" is missing"},
        {head + R"({"ms":-1,"dir":"out","data":"x"})", "line 2: \"ms\" is missing"},
        {head + R"({"ms":1,"dir":"up","data":"x"})", "line 2: \"dir\" is neither in nor out"},
        {head + R"({"ms":1,"dir":"in"})", "line 2: \"data\" is missing"},
        {head + R"({"ms":1,"dir":"in","data":"\u0100"})",
         "line 2: data holds a character that is no byte"},
        {head + R"({"ms":5,"dir":"in","data":"a"})"
                "\n"
                R"({"ms":4,"dir":"in","data":"b"})",
         "line 3: time runs backwards"},
        {head + R"({"ms":5})", "line 2: \"event\" is missing"},
        {head + "[1,2]", "line 2: not a JSON object"},
    };
    for (const auto& row : rows) {
        try {
            ReadTranscript(row.Text);
            ADD_FAILURE() << "read: " << row.Text;
        } catch (const ETranscript& e) {
            EXPECT_EQ(std::string(e.what()), row.Message) << row.Text;
        }
    }
}

// --- The golden transcripts against the engine -------------------------------------------

// A transcript's entries without their times, as one text to compare.
std::string Conversation(const TTranscript& transcript) {
    std::string text;
    for (const TTranscriptEntry& e : transcript.Entries) {
        if (e.Kind == TTranscriptEntry::teEvent)
            text += "event " + e.Event + " " + e.Detail + " " + e.Message + "\n";
        else
            text += (e.Kind == TTranscriptEntry::teToHost ? "out " : "in ") + e.Data + "\n";
    }
    return text;
}

class TGoldenTranscript : public ::testing::TestWithParam<std::string> {};

TEST_P(TGoldenTranscript, ReplayedAgainstTheEngineGivesTheIdenticalConversation) {
    const TTranscript golden = ReadTranscript(FileBytes(TranscriptDir / (GetParam() + ".jsonl")));
    TRecordingSink sink;
    TConversation engine(sink);
    sink.Engine = &engine;
    sink.TrayValue = golden.Header.Tray;
    // A store uploads the sample as trevalon-cli read it from its file.
    const TJobFileData file =
        ParseJobFile(FileBytes(fs::path(TREVALON_SAMPLES_DIR) / "R360_3.oma"));
    sink.Source.Working.Radii = file.Radii;
    sink.Source.Working.DBL = file.DBL;
    MeasureTrace(sink.Source.Working);
    for (const std::string& record : file.Records) sink.Source.Records.Add(record);
    sink.DBL = file.DBL;

    std::uint32_t now = 0;
    TTranscriptRecorder recorder(golden.Header, [&] { return now; });
    engine.SetRecorder(&recorder);
    const TConversationSettings settings{golden.Header.TracerMode == "No Init",
                                         golden.Header.PauseMode == "Y"};
    if (golden.Header.Kind == "store")
        engine.StartStore(settings);
    else
        engine.StartRequest(settings);
    for (const TTranscriptEntry& entry : golden.Entries)
        if (entry.Kind == TTranscriptEntry::teFromHost) engine.Received(entry.Data, now += 5);
    // A host that fell silent: the timer ends it.
    for (int tick = 0; tick < ReplyTimeoutSeconds && engine.Talking(); ++tick) engine.Tick();
    EXPECT_FALSE(engine.Talking());
    EXPECT_EQ(Conversation(ReadTranscript(recorder.Text())), Conversation(golden));
}

INSTANTIATE_TEST_SUITE_P(Golden, TGoldenTranscript,
                         ::testing::Values("request-init", "request-noinit", "request-format4",
                                           "request-split", "request-noise", "request-not-found",
                                           "request-init-refused", "request-hang-up", "store-init",
                                           "store-noinit", "store-refused", "store-grant-refused"),
                         [](const auto& row) {
                             std::string name = row.param;
                             for (char& c : name)
                                 if (c == '-') c = '_';
                             return name;
                         });

}  // namespace
