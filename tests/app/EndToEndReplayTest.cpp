// The window against the replayed host side of golden transcripts (recorded
// from trevalon-cli against trevalon-host): it must say and send exactly what
// the recorded client did, so the replay ends with the client as recorded.
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

#include "conversation/TranscriptFiles.h"
#include "conversation/Transcript.h"
#include "EndToEndHost.h"

namespace {

std::string GoldenTranscript(const std::string& name) {
    return (std::filesystem::path(TREVALON_TEST_DATA_DIR) / ".." / "data" / "transcripts" /
            (name + ".jsonl"))
        .string();
}

class TReplayTest : public THostFixture {
protected:
    // The simulator's exit code once the replay ends by itself.
    int ReplayExit() {
        int status = 0;
        const bool ended =
            ProcessEventsUntil([&] { return waitpid(FPid, &status, WNOHANG) == FPid; }, 10s);
        if (!ended) return -1;
        FPid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
};

TEST_F(TReplayTest, RequestsGiveTheRecordedEndings) {
    const struct {
        const char* Name;
        const char* Panel;
    } rows[] = {
        {"request-init", ""},
        {"request-noinit", ""},
        {"request-format4", ""},
        {"request-split", ""},
        {"request-noise", ""},
        {"request-not-found", "Tray 4711 not found"},
        {"request-init-refused", "Did not receive status 0 on init"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        const std::string name = row.Name;
        Start({"--replay", GoldenTranscript(name), "--fast"},
              name == "request-noinit" ? "TracerMode=No Init\r\n" : "");
        Request(name == "request-not-found" ? "4711" : "1234");
        EXPECT_EQ(Panel(0).toStdString(), row.Panel);
        EXPECT_EQ(ReplayExit(), 0) << FileText(HostLog());
        // The sample's stated box A; format 4 carries the shape at 400 points.
        if (name == "request-init" || name == "request-noinit" || name == "request-format4") {
            EXPECT_NEAR(Received().HBox, 51.0, 0.1);
        }
        FForm.reset();
        std::filesystem::remove(FLink);
    }
}

// A host that hangs up after the job request: the replay has played every
// byte, and the window's reply timeout ends the conversation as recorded.
TEST_F(TReplayTest, AHostThatHangsUpEndsInTheRecordedTimeout) {
    Start({"--replay", GoldenTranscript("request-hang-up"), "--fast"});
    FForm->TrayEdit->setText(QStringLiteral("1234"));
    FForm->ReqButton->click();
    EXPECT_EQ(ReplayExit(), 0) << FileText(HostLog());
    Settle();
    ASSERT_TRUE(FForm->Talking()) << Panel(0).toStdString();
    for (int second = 0; second < 20 && FForm->Talking(); ++second) FForm->TimeoutTimerTimer();
    Settle();
    EXPECT_EQ(Panel(0), "Timeout waiting for host");
}

TEST_F(TReplayTest, StoresOfAnOpenedJobFileGiveTheRecordedEndings) {
    const struct {
        const char* Name;
        const char* Panel;
    } rows[] = {
        {"store-init", "Job stored"},
        {"store-noinit", "Job stored"},
        {"store-refused", "Job locked"},
        {"store-grant-refused", "Did not get positive response from host"},
    };
    for (const auto& [name, panel] : rows) {
        SCOPED_TRACE(name);
        const bool noInit = std::string(name) == "store-noinit";
        Start({"--replay", GoldenTranscript(name), "--fast"},
              noInit ? "TracerMode=No Init\r\n" : "TracerMode=Init\r\n");
        ASSERT_TRUE(FForm->OpenJobFile(QString::fromStdString(
            (std::filesystem::path(TREVALON_SAMPLES_DIR) / "R360_3.oma").string())));
        FForm->TrayEdit->setText(QStringLiteral("1234"));
        Run(FForm->SaveButton);
        EXPECT_EQ(Panel(0), panel);
        EXPECT_EQ(ReplayExit(), 0) << FileText(HostLog());
        FForm.reset();
        std::filesystem::remove(FLink);
    }
}

}  // namespace

namespace {

// --- Where the window keeps its transcripts ------------------------------------------

class TTranscriptKeepingTest : public THostFixture {
protected:
    std::vector<std::filesystem::path> Kept() const {
        std::vector<std::filesystem::path> files;
        const std::filesystem::path dir = FDir.filePath(QStringLiteral("transcripts")).toStdString();
        if (std::filesystem::exists(dir))
            for (const auto& entry : std::filesystem::directory_iterator(dir)) files.push_back(entry.path());
        return files;
    }
};

TEST_F(TTranscriptKeepingTest, EachConversationLeavesItsTranscriptAndTheLastCanBeSaved) {
    AddJob("1234", SampleText("R360_3.oma"));
    Start({});
    Request("1234");
    Request("4711");
    const auto kept = Kept();
    ASSERT_EQ(kept.size(), 2u);
    for (const auto& file : kept) {
        const TTranscript transcript = ReadTranscript(FileText(file));
        EXPECT_EQ(transcript.Header.Kind, "request");
        EXPECT_EQ(transcript.Header.Port, FLink.string());
        EXPECT_EQ(transcript.Header.BaudRate, 9600);
    }
    // Save Session Transcript saves the last one: the missing job.
    const QString saved = FDir.filePath(QStringLiteral("for support.jsonl"));
    FChooseFile = [&](TFileChoice& choice) {
        EXPECT_EQ(choice.Kind, fcSaveTranscript);
        return saved;
    };
    FForm->SaveTranscript1->trigger();
    const TTranscript last = ReadTranscript(FileText(saved.toStdString()));
    EXPECT_EQ(last.Header.Tray, "4711");
    EXPECT_EQ(last.Entries.back().Detail, "not found");
    EXPECT_EQ(Panel(0), "Saved for support.jsonl");
}

TEST_F(TTranscriptKeepingTest, RecordingCanBeTurnedOff) {
    AddJob("1234", SampleText("R360_3.oma"));
    Start({}, "Transcripts=N\r\n");
    Request("1234");
    EXPECT_TRUE(Kept().empty());
    FForm->SaveTranscript1->trigger();
    EXPECT_EQ(Panel(0), "There is no session transcript to save yet");
}

TEST(TTranscriptFiles, TheNewestFiftyAndTwentyMebibytesAreKept) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    std::string error;
    for (int i = 0; i < 55; ++i) {
        char start[32];
        std::snprintf(start, sizeof start, "2026-12-07T10:%02d:00.000Z", i);
        ASSERT_TRUE(StoreTranscript(folder, TranscriptFileName(start, "request", "12/34"), "{}\n", error))
            << error;
    }
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), KeptTranscripts);
    EXPECT_EQ(names.front(), "20261207T100500000Z-request-12_34.jsonl");
    EXPECT_EQ(names.back(), "20261207T105400000Z-request-12_34.jsonl");
    // A large one pushes out older ones, but never itself.
    const std::string large(12u * 1024 * 1024, 'x');
    ASSERT_TRUE(StoreTranscript(folder, "20261207T110000000Z-store.jsonl", large, error));
    ASSERT_TRUE(StoreTranscript(folder, "20261207T110100000Z-store.jsonl", large, error));
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        (void)entry;
        ++count;
    }
    EXPECT_EQ(count, 1u);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(folder) / "20261207T110100000Z-store.jsonl"));
    // A folder that cannot be made says why.
    EXPECT_FALSE(StoreTranscript("/proc/no/such/folder", "a.jsonl", "{}", error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
