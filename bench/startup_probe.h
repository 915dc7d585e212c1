// Shared by the start-up measurements: once the window is exposed and the
// event loop is about to wait for input (idle), prints the wall-clock time and
// the peak resident memory, then quits.
#pragma once

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <cstring>
#include <ctime>

inline long PeakResidentKb() {
    std::FILE* Status = std::fopen("/proc/self/status", "r");
    if (Status == nullptr) return -1;
    char Line[256];
    long Kb = -1;
    while (std::fgets(Line, sizeof Line, Status) != nullptr)
        if (std::strncmp(Line, "VmHWM:", 6) == 0) Kb = std::strtol(Line + 6, nullptr, 10);
    std::fclose(Status);
    return Kb;
}

inline void ReportWhenIdle(QWidget& Window) {
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     &Window, [&Window] {
                         static bool Reported = false;
                         const QWindow* Handle = Window.windowHandle();
                         if (Reported || Handle == nullptr || !Handle->isExposed()) return;
                         Reported = true;
                         timespec Now{};
                         clock_gettime(CLOCK_REALTIME, &Now);
                         std::printf(
                             "idle_ns=%lld peak_kb=%ld\n",
                             static_cast<long long>(Now.tv_sec) * 1000000000LL + Now.tv_nsec,
                             PeakResidentKb());
                         std::fflush(stdout);
                         QCoreApplication::quit();
                     });
}
