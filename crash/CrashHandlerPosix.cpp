#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <boost/stacktrace/safe_dump_to.hpp>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <filesystem>
#include <string>

#include "crash/CrashHandler.h"
#include "crash/DumpText.h"
#include "crash/HandlerState.h"

namespace {

const int FatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr int FatalSignalCount = sizeof FatalSignals / sizeof FatalSignals[0];
// The one fatal signal here beyond standard C's.
const TSignalName PosixSignalNames[] = {{SIGBUS, "SIGBUS", "bus error"}};

// A handler that does not finish in this time (a lock held by the failed
// code, an unwinder lost in a wrecked stack) is cut short by SIGALRM: the
// process ends without a report rather than hanging.
constexpr unsigned WatchdogSeconds = 10;
constexpr std::size_t AltStackSize = 256 * 1024;

// Everything the handlers touch is prepared at installation.
struct sigaction Previous[FatalSignalCount];
std::terminate_handler PreviousTerminate = nullptr;
int DumpFd = -1;
std::string DumpPath;
pid_t MainThread = 0;
std::uintptr_t Restorer = 0;  // where a signal handler returns to (the sigreturn trampoline)
stack_t AltStack = {};
stack_t PreviousAltStack = {};

// The handler's own frames above the failure: WriteDump, OnTerminate and,
// for an escaped exception, DieOfEscapedException.
std::size_t OwnFrames = 0;

pid_t ThreadId() {
    return static_cast<pid_t>(::syscall(SYS_gettid));
}

void WriteToDump(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(DumpFd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // a full disk: the dump stays incomplete and is discarded
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

// A second thread failing meanwhile waits for the first to end the process
// (the watchdog bounds that wait).
[[noreturn]] void WaitForWriter() {
    for (;;) ::pause();
}

bool Claim() {
    return ClaimDump(static_cast<std::uint64_t>(ThreadId()), WaitForWriter);
}

void StartWatchdog() {
    struct sigaction standard = {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    ::sigaction(SIGALRM, &standard, nullptr);
    sigset_t alarm;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    ::pthread_sigmask(SIG_UNBLOCK, &alarm, nullptr);
    ::alarm(WatchdogSeconds);
}

[[gnu::noinline]] void WriteDump(TCrashFacts facts) {
    StartWatchdog();
    const void** frames = Handler.Frames;
    std::size_t count = boost::stacktrace::safe_dump_to(frames, sizeof Handler.Frames);
    if (count > 0) --count;  // the terminating null frame
    std::size_t first = OwnFrames < count ? OwnFrames : 0;
    // A signal's frames start in the handler; the failing code begins after
    // the trampoline the handler returns to.
    if (facts.TopExact) {
        facts.TopExact = false;
        for (std::size_t i = 0; i < count; ++i) {
            const auto address = reinterpret_cast<std::uintptr_t>(frames[i]);
            if (Restorer != 0 && address >= Restorer && address < Restorer + 16) {
                first = i + 1;
                facts.TopExact = true;
                break;
            }
        }
    }
    timespec now = {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    facts.Version = Handler.Version;
    facts.Time = now.tv_sec;
    facts.Process = static_cast<std::uint64_t>(::getpid());
    facts.Thread = static_cast<std::uint64_t>(ThreadId());
    facts.MainThread = static_cast<pid_t>(facts.Thread) == MainThread;
    facts.Frames = frames + first;
    facts.FrameCount = count - first;

    TDumpText out(WriteToDump);
    WriteDumpHead(out, facts);
    // The module list as the kernel gives it, so the next start can find the
    // code each frame belongs to wherever it was loaded.
    out.Add("modules\n");
    out.Flush();
    const int maps = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (maps >= 0) {
        char chunk[4096];
        ssize_t n = 0;
        while ((n = ::read(maps, chunk, sizeof chunk)) > 0) out.Add(chunk, static_cast<std::size_t>(n));
        ::close(maps);
    }
    out.Add(DumpLastLine);
    out.Flush();
}

// Lets the process die of Signal the ordinary way once the handler returns.
void DieOf(int signal) {
    struct sigaction standard = {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    ::sigaction(signal, &standard, nullptr);
    ::raise(signal);  // blocked while the handler runs; delivered when it returns
}

extern "C" void OnFatalSignal(int signal, siginfo_t* info, void* /*context*/) {
    const int savedErrno = errno;
    if (Claim()) {
        TCrashFacts facts;
        facts.Event = SignalEvent(signal, PosixSignalNames);
        if (info != nullptr && info->si_code > 0 && signal != SIGABRT) {
            // Sent by the kernel for a fault (not by kill): the faulting address.
            facts.HasAddress = true;
            facts.Address = reinterpret_cast<std::uintptr_t>(info->si_addr);
        }
        facts.TopExact = true;
        WriteDump(facts);
    }
    DieOf(signal);
    errno = savedErrno;
}

[[noreturn]] void DieOfAbort() {
    struct sigaction standard = {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    ::sigaction(SIGABRT, &standard, nullptr);
    sigset_t abortSignal;
    sigemptyset(&abortSignal);
    sigaddset(&abortSignal, SIGABRT);
    ::pthread_sigmask(SIG_UNBLOCK, &abortSignal, nullptr);
    std::abort();
}

[[gnu::noinline]] void OnTerminate() {
    if (Claim()) {
        OwnFrames += 2;
        WriteDump(TerminateFacts());
    }
    DieOfAbort();
}

// Someone else (a sanitizer runtime) already handles this fatal signal.
bool HandledElsewhere(int signal) {
    struct sigaction current = {};
    if (::sigaction(signal, nullptr, &current) != 0) return false;
    if ((current.sa_flags & SA_SIGINFO) != 0) return current.sa_sigaction != nullptr;
    return current.sa_handler != SIG_DFL && current.sa_handler != SIG_IGN;
}

bool OpenDumpFile(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const std::string stem = folder + "/" + std::to_string(std::time(nullptr)) + "-" +
                             std::to_string(::getpid());
    for (int attempt = 0; attempt < 100 && DumpFd < 0; ++attempt) {
        DumpPath = stem + (attempt == 0 ? "" : "-" + std::to_string(attempt)) + ".dump";
        DumpFd = ::open(DumpPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (DumpFd < 0 && errno != EEXIST) break;
    }
    if (DumpFd < 0) return false;
    // Held while the process lives, so another start leaves the file alone.
    if (::flock(DumpFd, LOCK_EX | LOCK_NB) != 0) {
        ::close(DumpFd);
        ::unlink(DumpPath.c_str());
        DumpFd = -1;
        return false;
    }
    return true;
}

}  // namespace

bool InstallCrashHandler(const std::string& folder, const std::string& version) {
    if (Handler.Installed) return true;
    for (const int fatal : FatalSignals)
        if (HandledElsewhere(fatal)) return false;
    if (!OpenDumpFile(folder)) return false;
    ArmHandlerState(version);
    MainThread = ThreadId();
    OwnFrames = 0;

    // The unwinder sets itself up on first use; do that now, not in a handler.
    boost::stacktrace::safe_dump_to(Handler.Frames, sizeof Handler.Frames);

    AltStack.ss_sp = std::malloc(AltStackSize);
    AltStack.ss_size = AltStackSize;
    AltStack.ss_flags = 0;
    if (AltStack.ss_sp == nullptr || ::sigaltstack(&AltStack, &PreviousAltStack) != 0) {
        std::free(AltStack.ss_sp);
        AltStack.ss_sp = nullptr;
    }

    struct sigaction action = {};
    action.sa_sigaction = OnFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    // No fatal signal interrupts the handler: one raised inside it ends the
    // process at once with that signal's default action.
    sigemptyset(&action.sa_mask);
    for (const int fatal : FatalSignals) sigaddset(&action.sa_mask, fatal);
    for (int i = 0; i < FatalSignalCount; ++i) ::sigaction(FatalSignals[i], &action, &Previous[i]);
    struct sigaction installed = {};
    ::sigaction(SIGSEGV, nullptr, &installed);
    Restorer = reinterpret_cast<std::uintptr_t>(installed.sa_restorer);
    PreviousTerminate = std::set_terminate(OnTerminate);
    Handler.Installed = true;
    return true;
}

void RemoveCrashHandler() {
    if (!Handler.Installed) return;
    std::set_terminate(PreviousTerminate);
    for (int i = 0; i < FatalSignalCount; ++i) ::sigaction(FatalSignals[i], &Previous[i], nullptr);
    if (AltStack.ss_sp != nullptr) {
        ::sigaltstack(&PreviousAltStack, nullptr);
        std::free(AltStack.ss_sp);
        AltStack.ss_sp = nullptr;
    }
    ::unlink(DumpPath.c_str());
    ::close(DumpFd);
    DumpFd = -1;
    Handler.Installed = false;
}

[[gnu::noinline]] void DieOfEscapedException(const char* where) {
    CopyText(Handler.Where, sizeof Handler.Where, where);
    OwnFrames = 1;
    if (!Handler.Installed) std::terminate();
    OnTerminate();
    std::abort();  // not reached
}
