// Serial port timings of the Win32 device under Wine (bench/windows.sh runs it
// with the COM ports of scripts/test-windows.sh):
//  - latency from a byte the far end writes to OnRxChar on the owner's thread,
//    and the far end's own round trip (the hub's share of that figure);
//  - CPU time of this process while a port is open and idle.
// Prints one line per figure; run by hand, never part of the tests.
#define WIN32_LEAN_AND_MEAN  // no winspool.h: its SetPort macro would rename TComPort::SetPort
#include <windows.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "serial/Comms.h"
#include "serialqt/QtComOwnerThread.h"
#include "tests/win32/HubClient.h"

namespace {

using TClock = std::chrono::steady_clock;

double CpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime) /
               1e7;
    };
    return seconds(kernel) + seconds(user);
}

void Report(const char* what, std::vector<double> micros) {
    std::sort(micros.begin(), micros.end());
    std::printf("%s: median %.0f us, p90 %.0f us, min %.0f us (%zu samples)\n", what,
                micros[micros.size() / 2], micros[micros.size() * 9 / 10], micros.front(),
                micros.size());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    THubClient hub;
    const int com = FirstHubPort;
    hub.Plug(com);
    TComPortHooks hooks;
    hooks.OwnerThread = NewQtComOwnerThread();  // deliveries on this thread's event loop
    TComPort port(hooks);
    port.SetPort(HubPortName(com));
    TClock::time_point arrived;
    bool got = false;
    port.OnRxChar = [&](TComPort* sender, int32_t inQue) {
        std::string text;
        sender->Read(text, inQue, true);
        arrived = TClock::now();
        got = true;
    };
    port.SetActive(true);

    std::vector<double> latency, hubTrip;
    QTimer tick;
    tick.start(1000);  // a slow tick keeps the loop waking even if an event is lost
    for (int i = 0; i < 200; ++i) {
        got = false;
        const TClock::time_point sent = TClock::now();
        hub.Write(com, "x");
        const TClock::time_point acknowledged = TClock::now();
        while (!got) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        latency.push_back(std::chrono::duration<double, std::micro>(arrived - sent).count());
        hubTrip.push_back(
            std::chrono::duration<double, std::micro>(acknowledged - sent).count());
    }
    Report("byte to OnRxChar (hub write included)", latency);
    Report("hub write round trip alone", hubTrip);

    const double idleSeconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    const double before = CpuSeconds();
    const TClock::time_point start = TClock::now();
    std::printf("idle-start\n");
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::duration<double>(idleSeconds));
    const double wall = std::chrono::duration<double>(TClock::now() - start).count();
    std::printf("idle-end\n");
    std::printf("open idle port: %.2f%% of one core in this process (%.3f s CPU in %.1f s)\n",
                100.0 * (CpuSeconds() - before) / wall, CpuSeconds() - before, wall);
    port.SetActive(false);
    return 0;
}
