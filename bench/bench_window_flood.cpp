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
//     bench_window_flood [MiB]

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

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::size_t floodBytes =
        static_cast<std::size_t>(argc > 1 ? std::max(1, std::atoi(argv[1])) : 50) << 20;

    QTemporaryDir dir;
    const std::filesystem::path root = dir.path().toStdString();
    int failures = 0;
    for (int run = 0; run < 4; ++run) {
        const bool withFS = run % 2 != 0;
        // With the session transcript recorded (every byte of the flood is
        // in it) and without.
        const bool recorded = run < 2;
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
            return 1;
        }
        form.TrayEdit->setText(QStringLiteral("1234"));
        form.ReqButton->click();
        std::string request;
        while (request.find('\x1d') == std::string::npos) {
            QCoreApplication::processEvents();
            const std::string got = server.ReadBytes(1, std::chrono::seconds(5));
            if (got.empty()) {
                std::fprintf(stderr, "no request from the window\n");
                return 1;
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
                while (flooded < floodBytes && !stop) std::this_thread::sleep_for(std::chrono::milliseconds(1));
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
        const bool talking = form.Talking();
        // The reply timer's fifteen ticks end the conversation.
        for (int i = 0; i < 15 && form.Talking(); ++i) {
            form.TimeoutTimerTimer();
            QCoreApplication::processEvents();
        }
        const QString panel = form.StatusBar1->PanelText(0);
        const bool timedOut = panel == QStringLiteral("Timeout waiting for host");
        failures += !talking || !timedOut;
        std::printf(
            "flood %s%s: %5.1f MiB in %6.2f s (%6.1f MiB/s); posted-event wait over %zu probes: "
            "median %.2f ms, p99 %.2f ms, max %.2f ms; %s\n",
            withFS ? "after FS " : "before FS", recorded ? "" : " (unrecorded)", static_cast<double>(flooded) / (1 << 20), seconds,
            static_cast<double>(flooded) / (1 << 20) / seconds, receiver.WaitsMs.size(),
            Percentile(receiver.WaitsMs, 0.5), Percentile(receiver.WaitsMs, 0.99),
            Percentile(receiver.WaitsMs, 1.0),
            talking && timedOut ? "ended by the reply timeout"
                                : ("unexpected end: " + panel.toStdString()).c_str());
    }
    return failures ? 1 : 0;
}
