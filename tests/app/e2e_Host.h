// The real window against the real lab host simulator (trevalon-host) over a
// pseudo-terminal the simulator creates and links where the settings name it.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "conv_Fixture.h"
#include "tools/JobFile.h"

extern char** environ;

inline std::string FileText(const std::filesystem::path& Path) {
    std::ifstream In(Path, std::ios::binary);
    std::ostringstream Text;
    Text << In.rdbuf();
    return Text.str();
}

inline std::string SampleText(const char* Name) {
    return FileText(std::filesystem::path(TREVALON_SAMPLES_DIR) / Name);
}

class HostFixture : public FormFixture {
protected:
    void SetUp() override {
        FormFixture::SetUp();
        Jobs = std::filesystem::path(Dir.path().toStdString()) / "jobs";
        std::filesystem::create_directories(Jobs);
        Link = std::filesystem::path(Dir.path().toStdString()) / "host-line";
    }

    void TearDown() override {
        FormFixture::TearDown();
        StopHost();
    }

    void AddJob(const std::string& Tray, const std::string& Text) {
        std::ofstream(Jobs / (Tray + ".oma"), std::ios::binary) << Text;
    }
    std::string JobText(const std::string& Tray) const { return FileText(Jobs / (Tray + ".oma")); }
    bool HasBackup(const std::string& Tray) const {
        return std::filesystem::exists(Jobs / (Tray + ".oma.bak"));
    }

    // Starts trevalon-host with Options, then the window on its line.
    void Start(const std::vector<std::string>& Options, const std::string& Settings = "") {
        std::vector<std::string> Args = {TREVALON_HOST_EXE, "--jobs", Jobs.string(),     "--link",
                                         Link.string(),     "--log",  HostLog().string()};
        Args.insert(Args.end(), Options.begin(), Options.end());
        std::vector<char*> Argv;
        for (std::string& Arg : Args) Argv.push_back(Arg.data());
        Argv.push_back(nullptr);
        ASSERT_EQ(posix_spawn(&Pid, TREVALON_HOST_EXE, nullptr, nullptr, Argv.data(), environ), 0);
        ASSERT_TRUE(ProcessEventsUntil([&] { return std::filesystem::exists(Link); }, 10s));
        WriteSettings("Port=" + Link.string() + "\r\nBaudRate=9600\r\nParity=None\r\n" +
                      "DataBits=8\r\nStopBits=1\r\n" + Settings);
        Create();
        ASSERT_EQ(Panel(0), "Ready");
    }

    std::filesystem::path HostLog() const { return Jobs.parent_path() / "host.log"; }

    void StopHost() {
        if (Pid <= 0) return;
        kill(Pid, SIGTERM);
        int Status = 0;
        if (!ProcessEventsUntil([&] { return waitpid(Pid, &Status, WNOHANG) == Pid; }, 5s)) {
            kill(Pid, SIGKILL);
            waitpid(Pid, &Status, 0);
        }
        Pid = -1;
    }

    // Runs one conversation from its starting command to its end.
    void Run(QPushButton* Button) {
        Button->setEnabled(true);
        Button->click();
        ASSERT_NE(TForm1Probe::State(*Form), cvIdle) << Panel(0).toStdString();
        ASSERT_TRUE(ProcessEventsUntil([&] { return TForm1Probe::State(*Form) == cvIdle; }, 10s))
            << "state " << int(TForm1Probe::State(*Form));
        Settle();
    }

    void Request(const char* Tray) {
        Form->TrayEdit->setText(QString::fromLatin1(Tray));
        Run(Form->ReqButton);
    }

    // Runs a conversation whose host falls silent once it reaches State, and
    // lets the reply timeout end it.
    void RunIntoTimeout(
        QPushButton* Button, std::uint8_t State,
        const std::function<bool()>& Also = [] { return true; }) {
        Button->setEnabled(true);
        Button->click();
        ASSERT_TRUE(
            ProcessEventsUntil([&] { return TForm1Probe::State(*Form) == State && Also(); }, 10s));
        for (int Round = 0; Round < 20 && TForm1Probe::State(*Form) != cvIdle; ++Round)
            Form->TimeoutTimerTimer();
        Settle();
    }

    // Changes the DBL, then box A (with B no longer locked), as an operator
    // would. Every edit starts from the received shape, so the box comes last.
    void EditShape(double BoxA, double DBL) {
        Form->LockBCheckbox->setChecked(false);
        Form->DBLEdit->SetValue(DBL);
        Form->BoxAEdit->SetValue(BoxA);
        Settle();
    }

    std::filesystem::path Jobs;
    std::filesystem::path Link;
    pid_t Pid = -1;
};

// The working shape as the store sends it at Count points.
inline std::string Resampled(const std::string& Radii, int Count) {
    TTraceCalc Calc;
    Calc.LoadTrace(Radii);
    if (Calc.PointCount() != Count) Calc.Resample(static_cast<std::uint16_t>(Count));
    return Calc.GetTrace();
}

// The value of a job file's record, or nothing.
inline std::optional<std::string> JobValue(const TJobFile& Job, const std::string& Label) {
    for (const TJobRecord& Record : Job.Records())
        if (Record.Label == Label) return Record.Value;
    return std::nullopt;
}
