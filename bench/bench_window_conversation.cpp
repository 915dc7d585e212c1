// A full request and a full store against trevalon-host paced at 9600 baud:
// the time each conversation takes against the time the host's bytes need on
// the line, and the program's own CPU time per conversation, with the session
// transcript recorded and without.
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
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void MakeRaw(int fd) {
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    cfsetspeed(&tio, B9600);
    tcsetattr(fd, TCSANOW, &tio);
}

// Copies bytes between the simulator's line and the program's pseudo-terminal.
class TRelay {
public:
    TRelay(int hostFd, int programMaster) : FHost(hostFd), FProgram(programMaster) {
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
        char buffer[4096];
        while (true) {
            pollfd fds[3] = {{FHost, POLLIN, 0}, {FProgram, POLLIN, 0}, {FStop[0], POLLIN, 0}};
            if (poll(fds, 3, -1) < 0) continue;
            if (fds[2].revents) return;
            for (int i = 0; i < 2; ++i) {
                if (!(fds[i].revents & POLLIN)) continue;
                const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
                if (n <= 0) continue;
                const int to = i == 0 ? FProgram : FHost;
                for (ssize_t done = 0; done < n;) {
                    const ssize_t w = write(to, buffer + done, static_cast<std::size_t>(n - done));
                    if (w > 0) done += w;
                }
                (i == 0 ? FromHost : ToHost) += static_cast<std::size_t>(n);
            }
            timespec used{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used);
            CpuSeconds = static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
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
TResult Converse(TForm1& form, QPushButton* button, TRelay& relay) {
    const std::size_t from0 = relay.FromHost, to0 = relay.ToHost;
    const double cpu0 = CpuSeconds() - relay.CpuSeconds;
    const auto start = TClock::now();
    button->setEnabled(true);
    button->click();
    // Sleeps until the next event: a busy loop here would count as the program's CPU.
    while (!form.SettingsButton->isEnabled())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    TResult r;
    r.Wall = std::chrono::duration<double>(TClock::now() - start).count();
    r.Cpu = CpuSeconds() - relay.CpuSeconds - cpu0;
    r.FromHost = relay.FromHost - from0;
    r.ToHost = relay.ToHost - to0;
    return r;
}

void Report(const char* name, const std::vector<TResult>& results) {
    double wall = 0, cpu = 0, bound = 0, twoWay = 0;
    for (const TResult& r : results) {
        wall += r.Wall;
        cpu += r.Cpu;
        bound += static_cast<double>(r.FromHost) * 10.0 / Baud;
        twoWay += static_cast<double>(r.FromHost + r.ToHost) * 10.0 / Baud;
    }
    const double n = static_cast<double>(results.size());
    std::printf(
        "%-38s host bytes %6zu  program bytes %6zu  wall %8.3f s  host wire %8.3f s  "
        "ratio %.4f (+%.2f%%)  two-way wire %8.3f s  program CPU %7.2f ms\n",
        name, results.front().FromHost, results.front().ToHost, wall / n, bound / n, wall / bound,
        (wall / bound - 1) * 100, twoWay / n, cpu / n * 1000);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;

    QTemporaryDir dir;
    const std::filesystem::path root = dir.path().toStdString();
    const std::filesystem::path jobs = root / "jobs";
    std::filesystem::create_directories(jobs);
    std::filesystem::copy_file(std::filesystem::path(TREVALON_SAMPLES_DIR) / "R360_3.oma",
                               jobs / "1234.oma");

    for (const char* format : {"1", "4"}) {
        const std::filesystem::path link = root / (std::string("line") + format);
        std::vector<std::string> args = {TREVALON_HOST_EXE,
                                         "--jobs",
                                         jobs.string(),
                                         "--link",
                                         link.string(),
                                         "--pace",
                                         std::to_string(Baud),
                                         "--format",
                                         format,
                                         "--points",
                                         "512",
                                         "--log",
                                         (root / "host.log").string()};
        std::vector<char*> hostArgv;
        for (std::string& arg : args) hostArgv.push_back(arg.data());
        hostArgv.push_back(nullptr);
        pid_t pid = -1;
        if (posix_spawn(&pid, TREVALON_HOST_EXE, nullptr, nullptr, hostArgv.data(), environ) != 0)
            return 1;
        const auto deadline = TClock::now() + std::chrono::seconds(10);
        while (!std::filesystem::exists(link) && TClock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const int hostFd = open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        int master = -1, slave = -1;
        char slaveName[256] = {};
        if (hostFd < 0 || openpty(&master, &slave, slaveName, nullptr, nullptr) != 0) return 1;
        MakeRaw(hostFd);
        {
            TRelay relay(hostFd, master);
            // With and without the session transcript: the recording's share of
            // the program's CPU per conversation.
            for (const bool recorded : {true, false}) {
                std::ofstream(root / "trevalon.dat", std::ios::binary)
                    << "Port=" << slaveName << "\r\nBaudRate=9600\r\nParity=None\r\nDataBits=8\r\n"
                    << "StopBits=1\r\n"
                    << (recorded ? "" : "Transcripts=N\r\n");
                THooks hooks;
                hooks.ProgramFile = (root / "trevalon").string();
                hooks.OpenViewer = [](const QString&) { return true; };
                hooks.TempPath = dir.path();
                hooks.TranscriptPath = dir.filePath(QStringLiteral("transcripts"));
                TForm1 form(hooks);
                for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();

                std::vector<TResult> requests, stores;
                for (int round = 0; round < rounds; ++round) {
                    form.TrayEdit->setText(QStringLiteral("1234"));
                    requests.push_back(Converse(form, form.ReqButton, relay));
                    if (!form.StatusBar1->PanelText(0).isEmpty()) {
                        std::fprintf(stderr, "request failed: %s\n",
                                     qPrintable(form.StatusBar1->PanelText(0)));
                        return 1;
                    }
                    stores.push_back(Converse(form, form.SaveButton, relay));
                    if (form.StatusBar1->PanelText(0) != QStringLiteral("Job stored")) {
                        std::fprintf(stderr, "store failed: %s\n",
                                     qPrintable(form.StatusBar1->PanelText(0)));
                        return 1;
                    }
                }
                const std::string tail =
                    std::string(format) + ", 512" + (recorded ? "" : ", unrecorded");
                Report(("request, format " + tail).c_str(), requests);
                Report(("store, format " + tail).c_str(), stores);
            }
        }
        close(slave);
        close(master);
        close(hostFd);
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    return 0;
}
