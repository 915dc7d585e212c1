#include <windows.h>
#include <psapi.h>

#include <boost/stacktrace/safe_dump_to.hpp>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

#include "crash/CrashHandler.h"
#include "crash/DumpText.h"
#include "crash/HandlerState.h"
#include "crash/Utf8Path.h"

namespace {

struct TExceptionName {
    DWORD Code;
    const char* Event;
};

const TExceptionName ExceptionNames[] = {
    {EXCEPTION_ACCESS_VIOLATION, "exception 0xc0000005 EXCEPTION_ACCESS_VIOLATION"},
    {EXCEPTION_STACK_OVERFLOW, "exception 0xc00000fd EXCEPTION_STACK_OVERFLOW"},
    {EXCEPTION_ILLEGAL_INSTRUCTION, "exception 0xc000001d EXCEPTION_ILLEGAL_INSTRUCTION"},
    {EXCEPTION_INT_DIVIDE_BY_ZERO, "exception 0xc0000094 EXCEPTION_INT_DIVIDE_BY_ZERO"},
    {EXCEPTION_IN_PAGE_ERROR, "exception 0xc0000006 EXCEPTION_IN_PAGE_ERROR"},
    {EXCEPTION_PRIV_INSTRUCTION, "exception 0xc0000096 EXCEPTION_PRIV_INSTRUCTION"},
    {EXCEPTION_DATATYPE_MISALIGNMENT, "exception 0x80000002 EXCEPTION_DATATYPE_MISALIGNMENT"},
    {EXCEPTION_ARRAY_BOUNDS_EXCEEDED, "exception 0xc000008c EXCEPTION_ARRAY_BOUNDS_EXCEEDED"},
};

HANDLE DumpFile = INVALID_HANDLE_VALUE;
std::wstring DumpPath;
DWORD MainThread = 0;
LPTOP_LEVEL_EXCEPTION_FILTER PreviousFilter = nullptr;
void* OverflowHandler = nullptr;
std::terminate_handler PreviousTerminate = nullptr;
void (*PreviousAbort)(int) = SIG_DFL;

char OtherEvent[64];

void WriteToDump(const char* data, std::size_t size) {
    while (size > 0) {
        DWORD written = 0;
        if (!::WriteFile(DumpFile, data, static_cast<DWORD>(size), &written, nullptr) || written == 0) return;
        data += written;
        size -= written;
    }
}

// A second thread failing meanwhile waits for the first to end the process,
// bounded so that nothing hangs.
void WaitForWriter() {
    ::Sleep(10000);
    ::TerminateProcess(::GetCurrentProcess(), 3);
}

bool Claim() {
    return ClaimDump(::GetCurrentThreadId(), WaitForWriter);
}

// Walks the failing thread's stack from the exception's own context (its
// stack lies within [Low, High)): the first frame is the failing instruction,
// and no frame of the handler or of the system's exception dispatch comes
// before it. Reads nothing outside that stack.
std::size_t FramesFromContext(const CONTEXT& context, ULONG_PTR low, ULONG_PTR high) {
    static CONTEXT walk;  // large; kept off a stack that may be nearly used up
    walk = context;
    std::size_t count = 0;
    while (count < MaxFrames) {
        Handler.Frames[count++] = reinterpret_cast<const void*>(walk.Rip);
        const DWORD64 stack = walk.Rsp;
        DWORD64 imageBase = 0;
        if (PRUNTIME_FUNCTION function = ::RtlLookupFunctionEntry(walk.Rip, &imageBase, nullptr)) {
            void* handlerData = nullptr;
            DWORD64 establisher = 0;
            ::RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, walk.Rip, function, &walk, &handlerData, &establisher,
                               nullptr);
        } else {
            // A leaf function (or a call through a bad pointer): the return
            // address is on top of the stack.
            if (stack < low || stack + sizeof(DWORD64) > high) break;
            walk.Rip = *reinterpret_cast<const DWORD64*>(stack);
            walk.Rsp = stack + sizeof(DWORD64);
        }
        if (walk.Rip == 0 || walk.Rsp <= stack || walk.Rsp > high) break;
    }
    return count;
}

// Facts.Frames, when set, are the frames (with their thread); otherwise this
// thread's own stack is recorded.
void WriteDump(TCrashFacts facts) {
    std::size_t count = facts.FrameCount;
    if (facts.Frames == nullptr) {
        count = boost::stacktrace::safe_dump_to(Handler.Frames, sizeof Handler.Frames);
        if (count > 0) --count;
        facts.Thread = ::GetCurrentThreadId();
        facts.MainThread = facts.Thread == MainThread;
    }
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const std::uint64_t ticks = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    facts.Version = Handler.Version;
    facts.Time = static_cast<std::int64_t>(ticks / 10000000ULL) - 11644473600LL;
    facts.Process = ::GetCurrentProcessId();
    facts.Frames = Handler.Frames;
    facts.FrameCount = count;

    TDumpText out(WriteToDump);
    WriteDumpHead(out, facts);
    // Each frame's module, so that frames without symbols still say where
    // they were: module + offset.
    out.Add("modules\n");
    for (std::size_t i = 0; i < count; ++i) {
        HMODULE module = nullptr;
        if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                  static_cast<LPCSTR>(Handler.Frames[i]), &module))
            continue;
        MODULEINFO info = {};
        // The wide name in UTF-8, as the report reads it: the code page's
        // name would lose a folder name beyond it, and with it the symbols.
        wchar_t wide[MAX_PATH];
        const DWORD wideLength = ::GetModuleFileNameW(module, wide, MAX_PATH);
        char path[3 * MAX_PATH];
        const int length = wideLength == 0 || wideLength >= MAX_PATH
                               ? 0
                               : ::WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(wideLength), path,
                                                       sizeof path, nullptr, nullptr);
        if (!::K32GetModuleInformation(::GetCurrentProcess(), module, &info, sizeof info) || length <= 0) continue;
        out.Add("module ")
            .AddHex(reinterpret_cast<std::uintptr_t>(info.lpBaseOfDll))
            .Add(" ")
            .AddHex(info.SizeOfImage)
            .Add(" ")
            .Add(path, static_cast<std::size_t>(length))
            .Add("\n");
    }
    out.Add(DumpLastLine);
    out.Flush();
    ::FlushFileBuffers(DumpFile);
}

// The failure being recorded; one at a time (see Claim).
TCrashFacts PendingFacts;
const CONTEXT* PendingContext = nullptr;
ULONG_PTR PendingStackLow = 0;
ULONG_PTR PendingStackHigh = 0;

DWORD WINAPI WritePendingDump(void*) {
    if (PendingContext != nullptr) {
        PendingFacts.FrameCount = FramesFromContext(*PendingContext, PendingStackLow, PendingStackHigh);
        PendingFacts.Frames = Handler.Frames;
        PendingFacts.TopExact = true;
    }
    WriteDump(PendingFacts);
    return 0;
}

// Call on the failing thread, having claimed the dump.
void RecordException(const EXCEPTION_POINTERS* pointers) {
    TCrashFacts& facts = PendingFacts;
    const EXCEPTION_RECORD* record = pointers != nullptr ? pointers->ExceptionRecord : nullptr;
    const DWORD code = record != nullptr ? record->ExceptionCode : 0;
    for (const TExceptionName& name : ExceptionNames)
        if (name.Code == code) facts.Event = name.Event;
    if (facts.Event == nullptr) {
        CopyText(OtherEvent, sizeof OtherEvent, "exception 0x00000000");
        for (int digit = 0; digit < 8; ++digit)
            OtherEvent[19 - digit] = "0123456789abcdef"[(code >> (4 * digit)) & 0xf];
        facts.Event = OtherEvent;
    }
    if (record != nullptr && code == EXCEPTION_ACCESS_VIOLATION && record->NumberParameters >= 2) {
        facts.HasAddress = true;
        facts.Address = record->ExceptionInformation[1];
    }
    facts.Thread = ::GetCurrentThreadId();
    facts.MainThread = facts.Thread == MainThread;
    PendingContext = pointers != nullptr ? pointers->ContextRecord : nullptr;
    ::GetCurrentThreadStackLimits(&PendingStackLow, &PendingStackHigh);
    // After a stack overflow only a few kilobytes of this thread's stack are
    // left (Wine 8 leaves about one page and ignores the stack guarantee),
    // too few for walking the stack and writing: another thread does it.
    HANDLE writer = code == EXCEPTION_STACK_OVERFLOW
                        ? ::CreateThread(nullptr, 256 * 1024, WritePendingDump, nullptr, 0, nullptr)
                        : nullptr;
    if (writer == nullptr) {
        WritePendingDump(nullptr);
        return;
    }
    ::WaitForSingleObject(writer, 10000);
    ::CloseHandle(writer);
}

// A stack overflow is recorded before the system searches the frames for a
// handler: that search needs more stack than is left, and under Wine the
// process dies in it before the unhandled-exception filter is reached.
LONG WINAPI OnStackOverflow(EXCEPTION_POINTERS* pointers) {
    if (pointers == nullptr || pointers->ExceptionRecord == nullptr ||
        pointers->ExceptionRecord->ExceptionCode != EXCEPTION_STACK_OVERFLOW)
        return EXCEPTION_CONTINUE_SEARCH;
    if (Claim()) {
        RecordException(pointers);
        // Ends as the system would, with the exception's code.
        ::TerminateProcess(::GetCurrentProcess(), EXCEPTION_STACK_OVERFLOW);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) {
    if (Claim()) RecordException(pointers);
    // The system ends the process with the exception's code.
    return EXCEPTION_CONTINUE_SEARCH;
}

[[noreturn]] void DieOfAbort() {
    std::signal(SIGABRT, SIG_DFL);
    std::abort();
}

void OnTerminate() {
    if (Claim()) {
        WriteDump(TerminateFacts());
    }
    DieOfAbort();
}

// abort() does not raise a structured exception on Windows.
void OnAbortSignal(int) {
    if (Claim()) {
        TCrashFacts facts;
        facts.Event = SignalEvent(SIGABRT);
        WriteDump(facts);
    }
    DieOfAbort();
}

}  // namespace

bool InstallCrashHandler(const std::string& folder, const std::string& version) {
    if (Handler.Installed) return true;
    std::error_code error;
    const std::filesystem::path base = PathFromUtf8(folder);
    std::filesystem::create_directories(base, error);
    const std::wstring stem = (base / (std::to_string(::GetTickCount64()) + "-" + std::to_string(::GetCurrentProcessId()))).wstring();
    for (int attempt = 0; attempt < 100 && DumpFile == INVALID_HANDLE_VALUE; ++attempt) {
        DumpPath = stem + (attempt == 0 ? L"" : L"-" + std::to_wstring(attempt)) + L".dump";
        // Not shared: another start cannot open it while this process lives.
        DumpFile = ::CreateFileW(DumpPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (DumpFile == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (DumpFile == INVALID_HANDLE_VALUE) return false;
    ArmHandlerState(version);
    MainThread = ::GetCurrentThreadId();
    boost::stacktrace::safe_dump_to(Handler.Frames, sizeof Handler.Frames);
    // Room for the filter to run after a stack overflow.
    ULONG guarantee = 64 * 1024;
    ::SetThreadStackGuarantee(&guarantee);
    PreviousFilter = ::SetUnhandledExceptionFilter(OnUnhandledException);
    OverflowHandler = ::AddVectoredExceptionHandler(1, OnStackOverflow);
    PreviousTerminate = std::set_terminate(OnTerminate);
    PreviousAbort = std::signal(SIGABRT, OnAbortSignal);
    Handler.Installed = true;
    return true;
}

void RemoveCrashHandler() {
    if (!Handler.Installed) return;
    std::signal(SIGABRT, PreviousAbort);
    std::set_terminate(PreviousTerminate);
    ::SetUnhandledExceptionFilter(PreviousFilter);
    if (OverflowHandler != nullptr) ::RemoveVectoredExceptionHandler(OverflowHandler);
    OverflowHandler = nullptr;
    ::CloseHandle(DumpFile);
    DumpFile = INVALID_HANDLE_VALUE;
    ::DeleteFileW(DumpPath.c_str());
    Handler.Installed = false;
}

void DieOfEscapedException(const char* where) {
    CopyText(Handler.Where, sizeof Handler.Where, where);
    if (!Handler.Installed) std::terminate();
    OnTerminate();
    std::abort();
}
