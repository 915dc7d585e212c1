// The real program: killed by a fatal signal while idle, its next start
// saves a report and tells the operator without waiting for an answer.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QUrl>
#include <chrono>
#include <ctime>
#include <regex>

#include "ChildProcess.h"
#include "Folders.h"
#include "app/CrashReports.h"

using namespace std::chrono_literals;

namespace {

constexpr bool SanitizedBuild = SANITIZED_BUILD;

class TAppCrashTest : public testing::Test {
protected:
    void SetUp() override {
        if (SanitizedBuild) GTEST_SKIP() << "the sanitizer runtime handles fatal signals in this build";
        FReports = FHome.Path() + "/data/trevalon/crash-reports";
    }

    std::unique_ptr<TChildProcess> Start() {
        return std::make_unique<TChildProcess>(
            std::vector<std::string>{TREVALON_PROGRAM},
            std::vector<std::string>{"QT_QPA_PLATFORM=offscreen", "HOME=" + FHome.Path(),
                                     "XDG_DATA_HOME=" + FHome.Path() + "/data",
                                     "XDG_CONFIG_HOME=" + FHome.Path() + "/config",
                                     "XDG_RUNTIME_DIR=" + FHome.Path()});
    }

    // Idle: the handler's dump is prepared and the main thread waits in the
    // event loop's poll for a while.
    void WaitUntilIdle(TChildProcess& program) {
        const std::string wchan = "/proc/" + std::to_string(program.Pid()) + "/wchan";
        int polls = 0;
        const bool idle = program.WaitUntil(
            [&] {
                if (program.Ended()) return true;
                polls = ReadWholeFile(wchan).find("poll") != std::string::npos ? polls + 1 : 0;
                return polls >= 5 && !FilesIn(FReports, ".dump").empty();
            },
            60s);
        ASSERT_TRUE(idle) << "the program did not become idle\n" << program.Output();
    }

    TTempFolder FHome;
    std::string FReports;
};

TEST_F(TAppCrashTest, FatalSignalToTheIdleWindowIsReportedAtTheNextStart) {
    std::unique_ptr<TChildProcess> first = Start();
    ASSERT_TRUE(first->Started());
    WaitUntilIdle(*first);
    ASSERT_EQ(::kill(first->Pid(), SIGSEGV), 0);
    ASSERT_TRUE(first->WaitForExit(60s)) << "the handler hung";
    ASSERT_TRUE(WIFSIGNALED(first->Status())) << DescribeStatus(first->Status()) << "\n" << first->Output();
    EXPECT_EQ(WTERMSIG(first->Status()), SIGSEGV);

    std::unique_ptr<TChildProcess> second = Start();
    const std::regex notice(
        R"(Trevalon stopped unexpectedly on (\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)\. A report was saved to (.*/crash-reports/trevalon-[0-9-]+\.txt)\.)");
    std::smatch match;
    ASSERT_TRUE(second->WaitUntil([&] { return std::regex_search(second->Output(), match, notice); }, 60s))
        << second->Output();
    const std::string path = match[2];
    EXPECT_EQ(path.rfind(FReports, 0), 0u) << path;
    const std::string report = ReadWholeFile(path);
    EXPECT_NE(report.find("Trevalon stopped unexpectedly."), std::string::npos) << report;
    EXPECT_NE(report.find("Version: " TREVALON_VERSION "\n"), std::string::npos) << report;
    EXPECT_NE(report.find("Time: " + std::string(match[1])), std::string::npos) << report;
    EXPECT_NE(report.find("What happened: signal 11 SIGSEGV (segmentation fault)\n"), std::string::npos) << report;
    // The main thread waited in the event loop, called from main().
    const unsigned execLine = LineWith(TREVALON_MAIN_SOURCE, "application.exec()");
    EXPECT_NE(report.find("main.cpp:" + std::to_string(execLine)), std::string::npos) << report;

    // Not blocked by the notice: the window runs on and ends normally.
    WaitUntilIdle(*second);
    ASSERT_EQ(::kill(second->Pid(), SIGTERM), 0);
    ASSERT_TRUE(second->WaitForExit(60s));
    EXPECT_TRUE(WIFEXITED(second->Status()) && WEXITSTATUS(second->Status()) == 0)
        << DescribeStatus(second->Status()) << "\n" << second->Output();
    EXPECT_EQ(FilesIn(FReports, ".txt").size(), 1u);
    EXPECT_TRUE(FilesIn(FReports, ".dump").empty());
}

TEST(TCrashNoticeTest, TellsWhenAndWhereWithoutWaiting) {
    int argc = 1;
    char name[] = "test_crash";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    QList<QUrl> opened;
    const std::int64_t time = 1765116245;  // 2025-12-07 14:04:05 UTC
    const TCrashReport report{"/tmp/reports/trevalon-20251207-140405-42.txt", time, "signal"};
    const std::time_t seconds = time;
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", std::localtime(&seconds));
    for (const char* button : {"Open Report", "Open Folder"}) {
        QMessageBox* box = ShowCrashNotice(nullptr, report, [&](const QUrl& url) { opened.append(url); });
        EXPECT_TRUE(box->isVisible());
        EXPECT_FALSE(box->isModal());
        EXPECT_EQ(box->text(), QStringLiteral("Trevalon stopped unexpectedly on %1. A report was saved to "
                                              "/tmp/reports/trevalon-20251207-140405-42.txt.")
                                   .arg(QLatin1String(when)));
        QAbstractButton* clicked = nullptr;
        for (QAbstractButton* candidate : box->buttons())
            if (candidate->text() == QLatin1String(button)) clicked = candidate;
        ASSERT_NE(clicked, nullptr) << button;
        clicked->click();
        EXPECT_FALSE(box->isVisible());
    }
    EXPECT_EQ(opened, (QList<QUrl>{QUrl::fromLocalFile("/tmp/reports/trevalon-20251207-140405-42.txt"),
                                          QUrl::fromLocalFile("/tmp/reports")}));
}

}  // namespace
