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
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return -1;
    char line[256];
    long kb = -1;
    while (std::fgets(line, sizeof line, status) != nullptr)
        if (std::strncmp(line, "VmHWM:", 6) == 0) kb = std::strtol(line + 6, nullptr, 10);
    std::fclose(status);
    return kb;
}

inline void ReportWhenIdle(QWidget& window) {
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     &window, [&window] {
                         static bool reported = false;
                         const QWindow* handle = window.windowHandle();
                         if (reported || handle == nullptr || !handle->isExposed()) return;
                         reported = true;
                         timespec now{};
                         clock_gettime(CLOCK_REALTIME, &now);
                         std::printf(
                             "idle_ns=%lld peak_kb=%ld\n",
                             static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec,
                             PeakResidentKb());
                         std::fflush(stdout);
                         QCoreApplication::quit();
                     });
}
