#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

TChildProcess::TChildProcess(const std::vector<std::string>& arguments,
                             const std::vector<std::string>& environment) {
    int output[2];
    int input[2];
    if (::pipe2(output, O_CLOEXEC) != 0) return;
    if (::pipe2(input, O_CLOEXEC) != 0) {
        ::close(output[0]);
        ::close(output[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    posix_spawn_file_actions_adddup2(&actions, output[1], 2);
    std::vector<std::string> variables;
    for (char** variable = environ; *variable != nullptr; ++variable) variables.emplace_back(*variable);
    for (const std::string& added : environment) {
        const std::string name = added.substr(0, added.find('=') + 1);
        std::erase_if(variables, [&](const std::string& v) { return v.compare(0, name.size(), name) == 0; });
        variables.push_back(added);
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);
    if (::posix_spawn(&FPid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) FPid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    ::close(input[0]);
    FOutputFd = output[0];
    FInputFd = input[1];
}

TChildProcess::~TChildProcess() {
    if (FPid > 0 && !FEnded) {
        ::kill(FPid, SIGKILL);
        ::waitpid(FPid, &FStatus, 0);
    }
    if (FOutputFd >= 0) ::close(FOutputFd);
    CloseInput();
}

void TChildProcess::CloseInput() {
    if (FInputFd >= 0) ::close(FInputFd);
    FInputFd = -1;
}

void TChildProcess::ReadAvailable(int timeoutMs) {
    if (FOutputFd < 0) return;
    pollfd ready = {FOutputFd, POLLIN, 0};
    if (::poll(&ready, 1, timeoutMs) <= 0) return;
    char chunk[4096];
    const ssize_t n = ::read(FOutputFd, chunk, sizeof chunk);
    if (n > 0) {
        FOutput.append(chunk, static_cast<std::size_t>(n));
    } else if (n == 0) {
        ::close(FOutputFd);
        FOutputFd = -1;
    }
}

bool TChildProcess::Reap() {
    if (FEnded || FPid <= 0) return FEnded;
    if (::waitpid(FPid, &FStatus, WNOHANG) == FPid) FEnded = true;
    return FEnded;
}

bool TChildProcess::WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        // Output arriving wakes the wait at once; otherwise the condition is
        // looked at again every few milliseconds.
        ReadAvailable(FOutputFd >= 0 ? 20 : 0);
        if (FOutputFd < 0) ::poll(nullptr, 0, 20);
    }
    return true;
}

bool TChildProcess::WaitForExit(std::chrono::milliseconds deadline) {
    if (FPid <= 0) return false;
    const bool ended = WaitUntil([this] { return FOutputFd < 0 && Reap(); }, deadline);
    return ended;
}

std::string DescribeStatus(int status) {
    if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
    if (WIFEXITED(status)) return "exit " + std::to_string(WEXITSTATUS(status));
    return "status " + std::to_string(status);
}
