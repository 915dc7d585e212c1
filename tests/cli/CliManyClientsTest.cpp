// Many command lines against one trevalon-host at once over loopback TCP:
// each fetches and stores its own job, none waits for another, and each
// stored job holds exactly the trace its command line sent.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace clihosts {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string FileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The first trace of a job file read plainly: the values of the R records
// after its first TRCFMT record, up to the next other record.
std::vector<int> FirstTrace(const std::string& text) {
    std::vector<int> radii;
    std::istringstream lines(text);
    bool inTrace = false;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("TRCFMT=", 0) == 0) {
            if (inTrace) break;
            inTrace = true;
            continue;
        }
        if (!inTrace) continue;
        if (line.rfind("R=", 0) != 0) break;
        std::istringstream values(line.substr(2));
        for (std::string value; std::getline(values, value, ';');)
            radii.push_back(std::stoi(value));
    }
    return radii;
}

pid_t Spawn(const std::vector<std::string>& args, const fs::path& out) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (std::string& arg : copy) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The exit code of Pid within Limit; -1 (and the program killed) after it.
int Wait(pid_t pid, std::chrono::seconds limit = 30s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(2ms);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CliManyClientsTest, TwentyCommandLinesAtOnceEachStoreTheirOwnTrace) {
    constexpr int Clients = 20;
    constexpr int Rounds = 10;
    const fs::path dir =
        fs::temp_directory_path() / ("trevalon-cli-many-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "jobs");
    const std::string sample = FileText(fs::path(TREVALON_SAMPLES_DIR) / "R360_3.oma");
    for (int i = 0; i < Clients; ++i)
        std::ofstream(dir / "jobs" / ("C" + std::to_string(i) + ".oma"), std::ios::binary)
            << sample;
    // The host grants the sample's own 360 points in format 1: what a command
    // line sends is the trace of its file, point for point.
    const pid_t host = Spawn(
        {TREVALON_HOST_EXE, "--jobs", (dir / "jobs").string(), "--listen", "127.0.0.1:0",
         "--format", "1", "--points", "360", "--insist", "--log", (dir / "host.log").string()},
        dir / "host.out");
    ASSERT_GT(host, 0);
    std::string url;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (url.empty() && std::chrono::steady_clock::now() < deadline) {
        const std::string log = FileText(dir / "host.log");
        const auto at = log.find("listening on ");
        const auto end = at == std::string::npos ? at : log.find(',', at);
        if (end != std::string::npos) url = "socket://" + log.substr(at + 13, end - at - 13);
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_FALSE(url.empty()) << FileText(dir / "host.log");
    std::ofstream(dir / "settings.dat", std::ios::binary)
        << "Port=" << url
        << "\r\nBaudRate=9600\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\nTracerMode=Init\r\n"
           "PauseMode=N\r\n";

    std::vector<std::string> reports(Clients);
    std::vector<std::thread> threads;
    for (int client = 0; client < Clients; ++client) {
        threads.emplace_back([&, client] {
            const std::string tray = "C" + std::to_string(client);
            const fs::path own = dir / tray;
            fs::create_directories(own);
            const auto run = [&](std::vector<std::string> args, bool withHost = true) {
                args.insert(args.begin(), TREVALON_CLI_EXE);
                if (withHost) {
                    args.push_back("--settings");
                    args.push_back((dir / "settings.dat").string());
                }
                const pid_t pid = Spawn(args, own / "out");
                const int code = pid > 0 ? Wait(pid) : -1;
                if (code != 0 && reports[client].empty())
                    reports[client] =
                        args[1] + " exited " + std::to_string(code) + ": " + FileText(own / "out");
                return code == 0;
            };
            for (int round = 0; round < Rounds; ++round) {
                const fs::path fetched = own / "fetched.oma";
                const fs::path edited = own / "edited.oma";
                if (!run({"fetch", tray, "-o", fetched.string()})) return;
                // A box B of its own for each client and round: a trace no one else sends.
                const std::string vbox = std::to_string(40 + client % 10) + "." +
                                         std::to_string(10 + round * 20 + client / 10);
                if (!run({"edit", fetched.string(), "-o", edited.string(), "--vbox", vbox}, false))
                    return;
                if (!run({"store", edited.string(), "--tray", tray})) return;
                const std::vector<int> sent = FirstTrace(FileText(edited));
                const std::vector<int> stored =
                    FirstTrace(FileText(dir / "jobs" / (tray + ".oma")));
                if (sent.size() != 360 || stored != sent) {
                    reports[client] = "round " + std::to_string(round) + ": " +
                                      std::to_string(sent.size()) + " points sent, the job holds " +
                                      std::to_string(stored.size()) +
                                      (stored == sent ? "" : ", not the same");
                    return;
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int client = 0; client < Clients; ++client) EXPECT_EQ(reports[client], "") << client;
    kill(host, SIGTERM);
    EXPECT_EQ(Wait(host, 10s), 0) << FileText(dir / "host.log").substr(0, 2000);
    fs::remove_all(dir);
}

}  // namespace clihosts
