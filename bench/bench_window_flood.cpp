// How long a posted event waits in the window while a host floods the line:
// the window requests a job from a loopback TCP host that answers the
// initialization request with 50 MiB that never end a packet, before any FS
// and after one, as fast as loopback takes them. Another thread posts an
// event to the window every 5 ms; the time from its posting to its handling
// is the wait an operator's click or a port's delivery would see. Aim: under
// 100 ms at the worst. Also the rate at which the window takes the flood, and
// that its reply timeout still ends the conversation; with the session
// transcript recorded and without.
//
//     bench_window_flood [MiB [rounds]]      (default 50 MiB, 5 rounds of each flood)

#include <sys/resource.h>

#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "app/StatusBar.h"
#include "app/Unit1.h"
#include "tests/support/LoopbackServer.h"

namespace {

using TClock = std::chrono::steady_clock;

const QEvent::Type ProbeType = static_cast<QEvent::Type>(QEvent::registerEventType());

class TProbeEvent : public QEvent {
public:
    TProbeEvent() : QEvent(ProbeType), Posted(TClock::now()) {}
    TClock::time_point Posted;
};

// Lives on the window's thread and notes how long each probe waited.
class TProbeReceiver : public QObject {
public:
    std::vector<double> WaitsMs;

protected:
    bool event(QEvent* e) override {
        if (e->type() != ProbeType) return QObject::event(e);
        const auto waited = TClock::now() - static_cast<TProbeEvent*>(e)->Posted;
        WaitsMs.push_back(std::chrono::duration<double, std::milli>(waited).count());
        return true;
    }
};

double Percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1));
    return values[at];
}

// One flood against a fresh window; its probes' waits are added to Waits.
// Returns the seconds the window took for the flood, or a negative number
// when the conversation did not end by its reply timeout.
double Flood(const std::filesystem::path& root, const QTemporaryDir& dir, bool withFS,
             bool recorded, std::size_t floodBytes, std::vector<double>& waits) {
    TLoopbackServer server;
    std::ofstream(root / "trevalon.dat", std::ios::binary)
        << "Port=socket://127.0.0.1:" << server.Port()
        << "\r\nBaudRate=9600\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\n"
        << (recorded ? "" : "Transcripts=N\r\n");
    THooks hooks;
    hooks.ProgramFile = (root / "trevalon").string();
    hooks.OpenViewer = [](const QString&) { return true; };
    hooks.TempPath = dir.path();
    hooks.TranscriptPath = dir.filePath(QStringLiteral("transcripts"));
    TForm1 form(hooks);
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    if (!server.Accept()) {
        std::fprintf(stderr, "the window did not connect\n");
        return -1;
    }
    form.TrayEdit->setText(QStringLiteral("1234"));
    form.ReqButton->click();
    std::string request;
    while (request.find('\x1d') == std::string::npos) {
        QCoreApplication::processEvents();
        const std::string got = server.ReadBytes(1, std::chrono::seconds(5));
        if (got.empty()) {
            std::fprintf(stderr, "no request from the window\n");
            return -1;
        }
        request += got;
    }

    std::atomic<bool> stop{false};
    std::atomic<std::size_t> flooded{0};
    std::atomic<bool> done{false};
    const auto start = TClock::now();
    std::thread flood([&] {
        if (withFS) server.WriteBytes("\x06\x1c");
        std::thread watch([&] {
            while (flooded < floodBytes && !stop)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            stop = true;
        });
        server.Flood(stop, flooded);
        watch.join();
        done = true;
    });
    TProbeReceiver receiver;
    std::atomic<bool> probing{true};
    std::thread probe([&] {
        while (probing) {
            QCoreApplication::postEvent(&receiver, new TProbeEvent);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const auto limit = start + std::chrono::seconds(120);
    while (!done && TClock::now() < limit)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
    stop = true;
    flood.join();
    probing = false;
    probe.join();
    QCoreApplication::processEvents();
    waits.insert(waits.end(), receiver.WaitsMs.begin(), receiver.WaitsMs.end());
    const bool talking = form.Talking();
    // The reply timer's fifteen ticks end the conversation.
    for (int i = 0; i < 15 && form.Talking(); ++i) {
        form.TimeoutTimerTimer();
        QCoreApplication::processEvents();
    }
    const QString panel = form.StatusBar1->PanelText(0);
    if (!talking || panel != QStringLiteral("Timeout waiting for host")) {
        std::fprintf(stderr, "unexpected end: %s\n", qPrintable(panel));
        return -1;
    }
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::size_t floodBytes =
        static_cast<std::size_t>(argc > 1 ? std::max(1, std::atoi(argv[1])) : 50) << 20;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

    QTemporaryDir dir;
    const std::filesystem::path root = dir.path().toStdString();
    for (const bool recorded : {true, false})
        for (const bool withFS : {false, true}) {
            std::vector<double> waits;
            double seconds = 0;
            for (int round = 0; round < rounds; ++round) {
                const double took = Flood(root, dir, withFS, recorded, floodBytes, waits);
                if (took < 0) return 1;
                seconds += took;
            }
            const double mib = static_cast<double>(floodBytes) / (1 << 20);
            std::printf(
                "flood %s%-13s %3.0f MiB x %d: %6.3f s each (%6.1f MiB/s); posted-event wait over "
                "%4zu probes: median %6.2f ms, p99 %6.2f ms, max %6.2f ms\n",
                withFS ? "after FS " : "before FS", recorded ? "" : " (unrecorded)", mib, rounds,
                seconds / rounds, mib * rounds / seconds, waits.size(), Percentile(waits, 0.5),
                Percentile(waits, 0.99), Percentile(waits, 1.0));
        }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory %.1f MiB\n", static_cast<double>(usage.ru_maxrss) / 1024);
    return 0;
}
