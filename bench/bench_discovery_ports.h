// The serial devices the host-search benchmarks run against: COM1..COM99 of
// which the first few are free pseudo-terminals and the rest missing, plus
// free USB serial devices.
#pragma once

#include <pty.h>
#include <unistd.h>

#include <QApplication>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "serial/Comms.h"
#include "settings/Hooks.h"

// A pseudo-terminal pair standing for a free serial device.
struct TPty {
    int Master = -1;
    int Slave = -1;
    std::string Path;
    TPty() {
        char name[256] = {};
        if (::openpty(&Master, &Slave, name, nullptr, nullptr) == 0) Path = name;
    }
    ~TPty() {
        if (Slave >= 0) ::close(Slave);
        if (Master >= 0) ::close(Master);
    }
    TPty(const TPty&) = delete;
    TPty& operator=(const TPty&) = delete;
};

inline void EnsureApplication() {
    static int argc = 1;
    static char name[] = "bench_discovery";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
}

// While it exists, COM1..COM<Free> open free pseudo-terminals, the other COM
// names open nothing, and the USB serial devices are UsbDevices (in that
// listing order), each a free pseudo-terminal.
class TBenchPorts {
public:
    TBenchPorts(int free, const std::vector<std::string>& usbDevices) {
        auto names = std::make_shared<std::map<std::string, std::string>>();
        for (int n = 1; n <= 99; ++n) {
            std::string path = "/nonexistent/tty" + std::to_string(n);
            if (n <= free) path = FPtys.emplace_back(std::make_unique<TPty>())->Path;
            (*names)["COM" + std::to_string(n)] = path;
        }
        for (const std::string& device : usbDevices)
            (*names)[device] = FPtys.emplace_back(std::make_unique<TPty>())->Path;
        FHooks.ComPort.DevicePath = [names](const std::string& port) { return names->at(port); };
        FHooks.UsbSerialDevices = [usbDevices] { return usbDevices; };
    }
    // For the dialog and the ports: these names, these USB devices.
    const THooks& Hooks() const { return FHooks; }
    TBenchPorts(const TBenchPorts&) = delete;
    TBenchPorts& operator=(const TBenchPorts&) = delete;

private:
    std::vector<std::unique_ptr<TPty>> FPtys;
    THooks FHooks;
};
