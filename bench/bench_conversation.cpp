// A full request and a full store against trevalon-host paced at 9600 baud:
// the time each conversation takes against the time the host's bytes need on
// the line, and the program's own CPU time per conversation.
//
//     bench_conversation [rounds]        (needs TREVALON_HOST_EXE and the samples)
//
// A relay between the simulator's line and the program's pseudo-terminal
// counts the bytes each way; its own delay counts against the program.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/StatusBar.h"
#include "app/Unit1.h"

extern char** environ;

namespace {

using TClock = std::chrono::steady_clock;
constexpr unsigned Baud = 9600;

double CpuSeconds() {
    rusage Usage{};
    getrusage(RUSAGE_SELF, &Usage);
    auto Seconds = [](const timeval& T) {
        return static_cast<double>(T.tv_sec) + static_cast<double>(T.tv_usec) / 1e6;
    };
    return Seconds(Usage.ru_utime) + Seconds(Usage.ru_stime);
}

void MakeRaw(int Fd) {
    termios Tio{};
    tcgetattr(Fd, &Tio);
    cfmakeraw(&Tio);
    cfsetspeed(&Tio, B9600);
    tcsetattr(Fd, TCSANOW, &Tio);
}

// Copies bytes between the simulator's line and the program's pseudo-terminal.
class TRelay {
public:
    TRelay(int HostFd, int ProgramMaster) : FHost(HostFd), FProgram(ProgramMaster) {
        if (pipe(FStop) != 0) throw std::runtime_error("pipe");
        FThread = std::thread([this] { Run(); });
    }
    ~TRelay() {
        (void)!write(FStop[1], "x", 1);
        FThread.join();
        close(FStop[0]);
        close(FStop[1]);
    }
    std::atomic<std::size_t> FromHost{0};
    std::atomic<std::size_t> ToHost{0};
    // CPU time of the relay's own thread, which is not the program's.
    std::atomic<double> CpuSeconds{0};

private:
    void Run() {
        char Buffer[4096];
        while (true) {
            pollfd Fds[3] = {{FHost, POLLIN, 0}, {FProgram, POLLIN, 0}, {FStop[0], POLLIN, 0}};
            if (poll(Fds, 3, -1) < 0) continue;
            if (Fds[2].revents) return;
            for (int i = 0; i < 2; ++i) {
                if (!(Fds[i].revents & POLLIN)) continue;
                const ssize_t N = read(Fds[i].fd, Buffer, sizeof Buffer);
                if (N <= 0) continue;
                const int To = i == 0 ? FProgram : FHost;
                for (ssize_t Done = 0; Done < N;) {
                    const ssize_t W = write(To, Buffer + Done, static_cast<std::size_t>(N - Done));
                    if (W > 0) Done += W;
                }
                (i == 0 ? FromHost : ToHost) += static_cast<std::size_t>(N);
            }
            timespec Used{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &Used);
            CpuSeconds = static_cast<double>(Used.tv_sec) + static_cast<double>(Used.tv_nsec) / 1e9;
        }
    }
    int FHost;
    int FProgram;
    int FStop[2] = {-1, -1};
    std::thread FThread;
};

struct TResult {
    double Wall = 0, Cpu = 0;
    std::size_t FromHost = 0, ToHost = 0;
};

// Clicks Button and runs the event loop until the conversation has ended
// (the Settings button comes back only then).
TResult Converse(TForm1& Form, QPushButton* Button, TRelay& Relay) {
    const std::size_t From0 = Relay.FromHost, To0 = Relay.ToHost;
    const double Cpu0 = CpuSeconds() - Relay.CpuSeconds;
    const auto Start = TClock::now();
    Button->setEnabled(true);
    Button->click();
    // Sleeps until the next event: a busy loop here would count as the program's CPU.
    while (!Form.SettingsButton->isEnabled())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    TResult R;
    R.Wall = std::chrono::duration<double>(TClock::now() - Start).count();
    R.Cpu = CpuSeconds() - Relay.CpuSeconds - Cpu0;
    R.FromHost = Relay.FromHost - From0;
    R.ToHost = Relay.ToHost - To0;
    return R;
}

void Report(const char* Name, const std::vector<TResult>& Results) {
    double Wall = 0, Cpu = 0, Bound = 0, TwoWay = 0;
    for (const TResult& R : Results) {
        Wall += R.Wall;
        Cpu += R.Cpu;
        Bound += static_cast<double>(R.FromHost) * 10.0 / Baud;
        TwoWay += static_cast<double>(R.FromHost + R.ToHost) * 10.0 / Baud;
    }
    const double N = static_cast<double>(Results.size());
    std::printf(
        "%-26s host bytes %6zu  program bytes %6zu  wall %8.3f s  host wire %8.3f s  "
        "ratio %.4f (+%.2f%%)  two-way wire %8.3f s  program CPU %7.2f ms\n",
        Name, Results.front().FromHost, Results.front().ToHost, Wall / N, Bound / N, Wall / Bound,
        (Wall / Bound - 1) * 100, TwoWay / N, Cpu / N * 1000);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    const int Rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;

    QTemporaryDir Dir;
    const std::filesystem::path Root = Dir.path().toStdString();
    const std::filesystem::path Jobs = Root / "jobs";
    std::filesystem::create_directories(Jobs);
    std::filesystem::copy_file(std::filesystem::path(TREVALON_SAMPLES_DIR) / "R360_3.oma",
                               Jobs / "1234.oma");

    for (const char* Format : {"1", "4"}) {
        const std::filesystem::path Link = Root / (std::string("line") + Format);
        std::vector<std::string> Args = {TREVALON_HOST_EXE,
                                         "--jobs",
                                         Jobs.string(),
                                         "--link",
                                         Link.string(),
                                         "--pace",
                                         std::to_string(Baud),
                                         "--format",
                                         Format,
                                         "--points",
                                         "512",
                                         "--log",
                                         (Root / "host.log").string()};
        std::vector<char*> Argv;
        for (std::string& Arg : Args) Argv.push_back(Arg.data());
        Argv.push_back(nullptr);
        pid_t Pid = -1;
        if (posix_spawn(&Pid, TREVALON_HOST_EXE, nullptr, nullptr, Argv.data(), environ) != 0)
            return 1;
        const auto Deadline = TClock::now() + std::chrono::seconds(10);
        while (!std::filesystem::exists(Link) && TClock::now() < Deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const int HostFd = open(Link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        int Master = -1, Slave = -1;
        char SlaveName[256] = {};
        if (HostFd < 0 || openpty(&Master, &Slave, SlaveName, nullptr, nullptr) != 0) return 1;
        MakeRaw(HostFd);
        {
            TRelay Relay(HostFd, Master);
            std::ofstream(Root / "trevalon.dat", std::ios::binary)
                << "Port=" << SlaveName << "\r\nBaudRate=9600\r\nParity=None\r\nDataBits=8\r\n"
                << "StopBits=1\r\n";
            TFormHooks Hooks;
            Hooks.ProgramFile = (Root / "trevalon").string();
            Hooks.OpenViewer = [](const QString&) { return true; };
            Hooks.TempPath = Dir.path();
            TForm1 Form(Hooks);
            for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();

            std::vector<TResult> Requests, Stores;
            for (int Round = 0; Round < Rounds; ++Round) {
                Form.TrayEdit->setText(QStringLiteral("1234"));
                Requests.push_back(Converse(Form, Form.ReqButton, Relay));
                if (!Form.StatusBar1->PanelText(0).isEmpty()) {
                    std::fprintf(stderr, "request failed: %s\n",
                                 qPrintable(Form.StatusBar1->PanelText(0)));
                    return 1;
                }
                Stores.push_back(Converse(Form, Form.SaveButton, Relay));
                if (Form.StatusBar1->PanelText(0) != QStringLiteral("Job stored")) {
                    std::fprintf(stderr, "store failed: %s\n",
                                 qPrintable(Form.StatusBar1->PanelText(0)));
                    return 1;
                }
            }
            Report((std::string("request, format ") + Format + ", 512").c_str(), Requests);
            Report((std::string("store, format ") + Format + ", 512").c_str(), Stores);
        }
        close(Slave);
        close(Master);
        close(HostFd);
        kill(Pid, SIGTERM);
        waitpid(Pid, nullptr, 0);
    }
    return 0;
}
