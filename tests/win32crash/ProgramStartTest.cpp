// The packaged program under Wine: it starts with its crash handler in
// place (a dump file of the running process waits in the per-user crash
// report folder), closes when its window is told to, and leaves no dump and
// no report behind.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <utility>

#include "ChildProcessWin32.h"
#include "Folders.h"

using namespace std::chrono_literals;

namespace {

// Qt's per-user data folder of a program without an organisation name,
// named after its executable.
std::filesystem::path CrashReportFolder() {
    PWSTR local = nullptr;
    std::filesystem::path folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local)))
        folder = std::filesystem::path(local) / L"trevalon" / L"crash-reports";
    ::CoTaskMemFree(local);
    return folder;
}

struct TWindowSearch {
    DWORD Process = 0;
    HWND Window = nullptr;
};

// The process's visible top-level window, once it has one.
HWND MainWindowOf(DWORD process) {
    TWindowSearch search{process, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* found = reinterpret_cast<TWindowSearch*>(data);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner != found->Process || !::IsWindowVisible(window) ||
                ::GetWindow(window, GW_OWNER) != nullptr)
                return TRUE;
            found->Window = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.Window;
}

template <typename TCondition>
bool WaitUntil(TCondition condition, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

// Sets the user's crash report folder aside while a test runs and puts it
// back after: dumps a program killed earlier left there (a screenshot run)
// would become reports at the start under test, and the user's reports stay.
class TSetAside {
public:
    explicit TSetAside(std::filesystem::path folder)
        : FFolder(std::move(folder)), FAside(FFolder.wstring() + L".set-aside-by-test") {
        std::error_code error;
        if (std::filesystem::exists(FFolder, error)) {
            std::filesystem::remove_all(FAside, error);
            std::filesystem::rename(FFolder, FAside, error);
            FMoved = !error;
        }
    }
    ~TSetAside() {
        std::error_code error;
        std::filesystem::remove_all(FFolder, error);
        if (FMoved) std::filesystem::rename(FAside, FFolder, error);
    }
    TSetAside(const TSetAside&) = delete;
    TSetAside& operator=(const TSetAside&) = delete;

private:
    std::filesystem::path FFolder;
    std::filesystem::path FAside;
    bool FMoved = false;
};

// A copy of the program in a folder of its own: no settings file, so no port
// is opened. Empty, with the test failed, when it cannot be made.
class TProgramCopy {
public:
    TProgramCopy() {
        if (FFolder.Path().empty()) {
            ADD_FAILURE() << "no folder for the program";
            return;
        }
        const std::filesystem::path program = FFolder.Path() / L"trevalon.exe";
        std::error_code error;
        if (std::filesystem::copy_file(FromWine(TREVALON_PROGRAM), program, error))
            FProgram = program;
        else
            ADD_FAILURE() << "cannot copy the program: " << error.message();
    }
    const std::filesystem::path& Path() const { return FProgram; }

private:
    TTempFolder FFolder;
    std::filesystem::path FProgram;
};

// What a test waiting for Process's window saw: each top-level window of the
// process (class, title, visible or hidden, owned), or that it has none.
std::string WindowsOf(DWORD process) {
    struct TList {
        DWORD Process;
        std::string Text;
    } list{process, {}};
    ::EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* found = reinterpret_cast<TList*>(data);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner != found->Process) return TRUE;
            wchar_t className[128] = {};
            wchar_t title[256] = {};
            ::GetClassNameW(window, className, 128);
            ::GetWindowTextW(window, title, 256);
            found->Text += "\n  " + Utf8(className) + " \"" + Utf8(title) + "\" " +
                           (::IsWindowVisible(window) ? "visible" : "hidden") +
                           (::GetWindow(window, GW_OWNER) != nullptr ? ", owned" : "");
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&list));
    return list.Text.empty() ? std::string(" none") : list.Text;
}

// Waits for the main window of the started Child; null, with the test failed
// and what was seen, when none appeared within a minute (a loaded machine
// has taken over 30 seconds to show it under Wine) or the child ended
// first.
HWND StartAndWaitForWindow(TChildProcessWin32& child) {
    if (!child.Started()) {
        ADD_FAILURE() << "the program did not start: error " << ::GetLastError();
        return nullptr;
    }
    HWND window = nullptr;
    const bool shown = WaitUntil(
        [&] { return (window = MainWindowOf(child.Id())) != nullptr || !child.Running(); }, 60s);
    if (window != nullptr) return window;
    if (!shown) {
        ADD_FAILURE() << "no window appeared in 60 s; the program runs on, with these windows:"
                      << WindowsOf(child.Id()) << "\nits output so far:\n"
                      << child.Output();
    } else {
        child.WaitForExit(5s);
        ADD_FAILURE() << "the program ended with exit code 0x" << std::hex << child.ExitCode()
                      << std::dec << " before it showed a window; its output:\n"
                      << child.Output();
    }
    return nullptr;
}

TEST(TProgramStartTest, StartsWithTheCrashHandlerAndClosesCleanly) {
    const std::filesystem::path reports = CrashReportFolder();
    ASSERT_FALSE(reports.empty());
    const TSetAside aside(reports);
    const std::vector<std::wstring> dumpsBefore = FilesIn(reports, L".dump");
    const std::vector<std::wstring> reportsBefore = FilesIn(reports, L".txt");

    const TProgramCopy program;
    ASSERT_FALSE(program.Path().empty());
    TChildProcessWin32 child(program.Path().wstring(), QuoteArgument(program.Path().wstring()));
    const HWND window = StartAndWaitForWindow(child);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(FilesIn(reports, L".dump").size(), dumpsBefore.size() + 1)
        << "the running program has no dump file prepared";

    ASSERT_TRUE(::PostMessageW(window, WM_CLOSE, 0, 0));
    ASSERT_TRUE(child.WaitForExit(30s))
        << "the program did not end within 30 s of WM_CLOSE; windows:" << WindowsOf(child.Id())
        << "\noutput:\n"
        << child.Output();
    EXPECT_EQ(child.ExitCode(), 0u) << child.Output();
    EXPECT_EQ(FilesIn(reports, L".dump"), dumpsBefore);
    EXPECT_EQ(FilesIn(reports, L".txt"), reportsBefore);
}

// Killed by an access violation while idle (a thread made to start at
// address 0, as a stray call through a null pointer would), the program
// leaves its dump; the next start turns it into a report, says so on
// standard error and in a notice, and runs on until it is closed.
TEST(TProgramStartTest, ACrashOfTheIdleWindowIsReportedAtTheNextStart) {
    const std::filesystem::path reports = CrashReportFolder();
    ASSERT_FALSE(reports.empty());
    const TSetAside aside(reports);

    const TProgramCopy program;
    ASSERT_FALSE(program.Path().empty());
    const std::wstring commandLine = QuoteArgument(program.Path().wstring());
    {
        TChildProcessWin32 first(program.Path().wstring(), commandLine);
        ASSERT_NE(StartAndWaitForWindow(first), nullptr);
        HANDLE process = ::OpenProcess(PROCESS_ALL_ACCESS, FALSE, first.Id());
        ASSERT_NE(process, nullptr) << "error " << ::GetLastError();
        HANDLE thread = ::CreateRemoteThread(process, nullptr, 0, nullptr, nullptr, 0, nullptr);
        const DWORD threadError = ::GetLastError();
        ::CloseHandle(process);
        ASSERT_NE(thread, nullptr) << "error " << threadError;
        ::CloseHandle(thread);
        ASSERT_TRUE(first.WaitForExit(30s)) << "the handler hung; output:\n" << first.Output();
        EXPECT_EQ(first.ExitCode(), static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION))
            << first.Output();
    }
    ASSERT_EQ(FilesIn(reports, L".dump").size(), 1u);
    EXPECT_TRUE(FilesIn(reports, L".txt").empty()) << "reports are made at the next start";

    TChildProcessWin32 second(program.Path().wstring(), commandLine);
    const HWND window = StartAndWaitForWindow(second);
    ASSERT_NE(window, nullptr);
    // The report is made while the window runs; then the window closes as ever.
    ASSERT_TRUE(WaitUntil([&] { return FilesIn(reports, L".txt").size() == 1; }, 30s))
        << "no report was made; output:\n"
        << second.Output();
    ASSERT_TRUE(::PostMessageW(window, WM_CLOSE, 0, 0));
    ASSERT_TRUE(second.WaitForExit(30s))
        << "the program did not end within 30 s of WM_CLOSE; windows:" << WindowsOf(second.Id())
        << "\noutput:\n"
        << second.Output();
    EXPECT_EQ(second.ExitCode(), 0u) << second.Output();

    const std::vector<std::wstring> saved = FilesIn(reports, L".txt");
    ASSERT_EQ(saved.size(), 1u);
    const std::filesystem::path report = reports / saved.front();
    EXPECT_NE(second.Output().find("Trevalon stopped unexpectedly on "), std::string::npos)
        << second.Output();
    EXPECT_NE(second.Output().find(". A report was saved to " + Utf8(report.wstring()) + "."),
              std::string::npos)
        << second.Output();
    const std::string text = ReadWholeFile(report);
    EXPECT_NE(text.find("Trevalon stopped unexpectedly."), std::string::npos) << text;
    EXPECT_NE(text.find("Version: " TREVALON_VERSION "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("What happened: exception 0xc0000005 EXCEPTION_ACCESS_VIOLATION"),
              std::string::npos)
        << text;
    EXPECT_TRUE(FilesIn(reports, L".dump").empty());
}

}  // namespace
