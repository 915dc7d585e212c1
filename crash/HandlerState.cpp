#include "crash/HandlerState.h"

#include "crash/CrashHandler.h"

#include <atomic>
#include <csignal>

const TSignalName StandardSignalNames[4] = {
    {SIGSEGV, "SIGSEGV", "segmentation fault"},
    {SIGILL, "SIGILL", "illegal instruction"},
    {SIGFPE, "SIGFPE", "arithmetic exception"},
    {SIGABRT, "SIGABRT", "abort"},
};

THandlerState Handler;

namespace {

// 0 while armed; the first failing thread takes it to 1 and writes the dump.
std::atomic<int> State{0};
std::atomic<std::uint64_t> Writer{0};

// Appends Text at At within Handler.Event, keeping the final NUL.
std::size_t Append(std::size_t at, const char* text) {
    while (*text != '\0' && at + 1 < sizeof Handler.Event) Handler.Event[at++] = *text++;
    Handler.Event[at] = '\0';
    return at;
}

}  // namespace

const char* SignalEvent(int number, std::span<const TSignalName> more) {
    const TSignalName* found = nullptr;
    for (const TSignalName& name : more)
        if (name.Number == number) found = &name;
    for (const TSignalName& name : StandardSignalNames)
        if (found == nullptr && name.Number == number) found = &name;

    char digits[16];
    std::size_t count = 0;
    unsigned value = number < 0 ? 0u - static_cast<unsigned>(number) : static_cast<unsigned>(number);
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0 && count < sizeof digits - 1);
    if (number < 0) digits[count++] = '-';
    char reversed[16];
    for (std::size_t i = 0; i < count; ++i) reversed[i] = digits[count - 1 - i];
    reversed[count] = '\0';

    std::size_t at = Append(0, "signal ");
    at = Append(at, reversed);
    if (found != nullptr) {
        at = Append(at, " ");
        at = Append(at, found->Name);
        at = Append(at, " (");
        at = Append(at, found->Meaning);
        Append(at, ")");
    }
    return Handler.Event;
}

bool CrashHandlerInstalled() {
    return Handler.Installed;
}

void ArmHandlerState(const std::string& version) {
    CopyText(Handler.Version, sizeof Handler.Version, version.c_str());
    Handler.Where[0] = '\0';
    State.store(0);
    Writer.store(0);
}

bool ClaimDump(std::uint64_t thread, void (*waitForEnd)()) {
    int expected = 0;
    if (State.compare_exchange_strong(expected, 1)) {
        Writer.store(thread);
        return true;
    }
    if (Writer.load() == thread) return false;
    waitForEnd();
    return false;
}

TCrashFacts TerminateFacts() {
    TCrashFacts facts;
    facts.Event = "terminate";
    DescribeCurrentException(facts, Handler.ExceptionType, sizeof Handler.ExceptionType, Handler.Message,
                             sizeof Handler.Message);
    if (Handler.Where[0] != '\0') facts.Where = Handler.Where;
    return facts;
}
