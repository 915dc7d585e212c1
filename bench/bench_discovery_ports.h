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

// A pseudo-terminal pair standing for a free serial device.
struct TPty {
    int Master = -1;
    int Slave = -1;
    std::string Path;
    TPty() {
        char Name[256] = {};
        if (::openpty(&Master, &Slave, Name, nullptr, nullptr) == 0) Path = Name;
    }
    ~TPty() {
        if (Slave >= 0) ::close(Slave);
        if (Master >= 0) ::close(Master);
    }
    TPty(const TPty&) = delete;
    TPty& operator=(const TPty&) = delete;
};

inline void EnsureApplication() {
    static int Argc = 1;
    static char Name[] = "bench_discovery";
    static char* Argv[] = {Name, nullptr};
    static QApplication App(Argc, Argv);
}

// While it exists, COM1..COM<Free> open free pseudo-terminals, the other COM
// names open nothing, and the USB serial devices are UsbDevices (in that
// listing order), each a free pseudo-terminal.
class TBenchPorts {
public:
    TBenchPorts(int Free, const std::vector<std::string>& UsbDevices) {
        auto Names = std::make_shared<std::map<std::string, std::string>>();
        for (int n = 1; n <= 99; ++n) {
            std::string Path = "/nonexistent/tty" + std::to_string(n);
            if (n <= Free) Path = FPtys.emplace_back(std::make_unique<TPty>())->Path;
            (*Names)["COM" + std::to_string(n)] = Path;
        }
        for (const std::string& Device : UsbDevices)
            (*Names)[Device] = FPtys.emplace_back(std::make_unique<TPty>())->Path;
        FPreviousMapper =
            SetComPathMapper([Names](const std::string& Port) { return Names->at(Port); });
        FPreviousLister = SetUsbSerialLister([UsbDevices] { return UsbDevices; });
    }
    ~TBenchPorts() {
        SetUsbSerialLister(FPreviousLister);
        SetComPathMapper(FPreviousMapper);
    }
    TBenchPorts(const TBenchPorts&) = delete;
    TBenchPorts& operator=(const TBenchPorts&) = delete;

private:
    std::vector<std::unique_ptr<TPty>> FPtys;
    TComPathMapper FPreviousMapper;
    TUsbSerialLister FPreviousLister;
};
