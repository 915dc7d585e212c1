// The real window against the real lab host simulator (trevalon-host) over a
// pseudo-terminal the simulator creates and links where the settings name it.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ConversationFixture.h"
#include "tools/JobFile.h"

extern char** environ;

inline std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::string SampleText(const char* name) {
    return FileText(std::filesystem::path(TREVALON_SAMPLES_DIR) / name);
}

class THostFixture : public TFormFixture {
protected:
    void SetUp() override {
        TFormFixture::SetUp();
        FJobs = std::filesystem::path(FDir.path().toStdString()) / "jobs";
        std::filesystem::create_directories(FJobs);
        FLink = std::filesystem::path(FDir.path().toStdString()) / "host-line";
    }

    void TearDown() override {
        TFormFixture::TearDown();
        StopHost();
    }

    void AddJob(const std::string& tray, const std::string& text) {
        std::ofstream(FJobs / (tray + ".oma"), std::ios::binary) << text;
    }
    std::string JobText(const std::string& tray) const { return FileText(FJobs / (tray + ".oma")); }
    bool HasBackup(const std::string& tray) const {
        return std::filesystem::exists(FJobs / (tray + ".oma.bak"));
    }

    // Starts trevalon-host with Options, then the window on its line.
    void Start(const std::vector<std::string>& options, const std::string& settings = "") {
        std::vector<std::string> args = {TREVALON_HOST_EXE, "--jobs", FJobs.string(),     "--link",
                                         FLink.string(),     "--log",  HostLog().string()};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        ASSERT_EQ(posix_spawn(&FPid, TREVALON_HOST_EXE, nullptr, nullptr, argv.data(), environ), 0);
        ASSERT_TRUE(ProcessEventsUntil([&] { return std::filesystem::exists(FLink); }, 10s));
        WriteSettings("Port=" + FLink.string() + "\r\nBaudRate=9600\r\nParity=None\r\n" +
                      "DataBits=8\r\nStopBits=1\r\n" + settings);
        Create();
        ASSERT_EQ(Panel(0), FReadyText);
    }

    // What panel 0 says once the window has opened the host's line.
    QString FReadyText = QStringLiteral("Ready");

    std::filesystem::path HostLog() const { return FJobs.parent_path() / "host.log"; }

    // Ends the simulator and checks that it ended cleanly: a sanitizer report
    // in the simulator, or a crash, fails the test.
    void StopHost() {
        if (FPid <= 0) return;
        kill(FPid, SIGTERM);
        int status = 0;
        const bool ended =
            ProcessEventsUntil([&] { return waitpid(FPid, &status, WNOHANG) == FPid; }, 10s);
        if (!ended) {
            kill(FPid, SIGKILL);
            waitpid(FPid, &status, 0);
        }
        FPid = -1;
        EXPECT_TRUE(ended) << "trevalon-host did not end on SIGTERM";
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "trevalon-host ended with "
            << (WIFEXITED(status) ? "exit code " + std::to_string(WEXITSTATUS(status))
                                  : "signal " + std::to_string(WTERMSIG(status)))
            << "\n"
            << FileText(HostLog());
    }

    // Runs one conversation from its starting command to its end.
    void Run(QPushButton* button) {
        button->setEnabled(true);
        button->click();
        ASSERT_TRUE(FForm->Talking()) << Panel(0).toStdString();
        ASSERT_TRUE(ProcessEventsUntil([&] { return !FForm->Talking(); }, 10s))
            << "still talking at " << Panel(0).toStdString();
        Settle();
    }

    void Request(const char* tray) {
        FForm->TrayEdit->setText(QString::fromLatin1(tray));
        Run(FForm->ReqButton);
    }

    // Whether the simulator's log holds Text.
    bool HostLogged(const std::string& text) const {
        return FileText(HostLog()).find(text) != std::string::npos;
    }

    // Runs a conversation whose host falls silent once it has sent what its
    // log notes as Sent (after the step whose status panel 0 shows as Step),
    // and lets the reply timeout end it once the window has read all of that.
    void RunIntoTimeout(QPushButton* button, const QString& step, const std::string& sent) {
        button->setEnabled(true);
        button->click();
        ASSERT_TRUE(ProcessEventsUntil([&] { return Panel(0) == step; }, 10s))
            << Panel(0).toStdString();
        ASSERT_TRUE(ProcessEventsUntil([&] { return HostLogged(sent) && Taken(); }, 10s))
            << FileText(HostLog());
        Settle();
        ASSERT_TRUE(FForm->Talking());
        for (int round = 0; round < 20 && FForm->Talking(); ++round) FForm->TimeoutTimerTimer();
        Settle();
    }

    // Changes the DBL, which starts again from the received shape at 1024
    // points, and turns the shape by one point to the right, as an operator
    // would; the stored shape is then golden data (tests/data/roundtrip).
    void EditShape(double dbl) {
        FForm->DBLEdit->SetValue(dbl);
        FForm->RotRightButton->click();
        Settle();
    }

    // Changes the DBL, then box A (with B no longer locked). Every edit
    // starts from the received shape, so the box comes last.
    void EditBoxA(double boxA, double dbl) {
        FForm->LockBCheckbox->setChecked(false);
        FForm->DBLEdit->SetValue(dbl);
        FForm->BoxAEdit->SetValue(boxA);
        Settle();
    }

    std::filesystem::path FJobs;
    std::filesystem::path FLink;
    pid_t FPid = -1;
};

// A radius string computed independently for the shapes these tests make
// from R360_3.oma (tests/data/roundtrip, made by make_roundtrip.py there).
inline std::string Golden(const std::string& name) {
    const std::string text = FileText(std::filesystem::path(TREVALON_TEST_DATA_DIR) / ".." / "data" /
                                      "roundtrip" / (name + ".radii"));
    EXPECT_FALSE(text.empty()) << name;
    return text;
}

// Box A of a radius string, worked out here: the extent in x of its points
// (radii in hundredths of a millimetre at equal angles), the centre included.
inline double BoxA(const std::string& radii) {
    const std::size_t n = radii.size() / 4;
    double low = 0;
    double high = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double r = std::stoi(radii.substr(4 * i, 4)) / 100.0;
        const double x = std::cos(2 * 3.14159265358979323846 * static_cast<double>(i) /
                                  static_cast<double>(n)) *
                         r;
        low = std::min(low, x);
        high = std::max(high, x);
    }
    return high - low;
}

// The value of a job file's record, or nothing.
inline std::optional<std::string> JobValue(const TOmaJobFile& job, const std::string& label) {
    for (const TJobRecord& record : job.Records())
        if (record.Label == label) return record.Value;
    return std::nullopt;
}
