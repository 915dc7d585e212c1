#pragma once

// A program run as a child of the test: its standard output and error are
// collected together, its end is awaited with a deadline, and a child still
// running when the object goes is killed.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

class TChildProcess {
public:
    // Starts Arguments[0] with Arguments; Environment entries ("NAME=value")
    // are added to the test's own environment.
    explicit TChildProcess(const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment = {});
    ~TChildProcess();
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    bool Started() const { return FPid > 0; }
    pid_t Pid() const { return FPid; }
    // Reads output until the child has ended; false when Deadline passed first.
    bool WaitForExit(std::chrono::milliseconds deadline);
    // Reads output until Condition holds; false when Deadline passed first.
    bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline);
    // The wait status once ended (see waitpid).
    int Status() const { return FStatus; }
    bool Ended() const { return FEnded; }
    const std::string& Output() const { return FOutput; }
    void CloseInput();

private:
    void ReadAvailable(int timeoutMs);
    bool Reap();

    pid_t FPid = -1;
    int FOutputFd = -1;
    int FInputFd = -1;
    int FStatus = 0;
    bool FEnded = false;
    std::string FOutput;
};

// "signal 11" or "exit 0", for messages.
std::string DescribeStatus(int status);
