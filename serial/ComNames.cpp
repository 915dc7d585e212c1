// Process-wide hooks of the serial layer: error report, device-name mapping,
// USB serial device list.
#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <mutex>
#include <tuple>

#include "serial/Comms.h"

namespace {

std::mutex HookMutex;
TComErrorReport ErrorReport;
TComPathMapper PathMapper;
TUsbSerialLister UsbSerialLister;

bool AllDigits(const std::string& s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

std::vector<std::string> ListUsbSerialDevices() {
    std::vector<std::string> names;
    DIR* dir = opendir("/dev");
    if (!dir) return names;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if ((name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0) &&
            AllDigits(name.substr(6)) && name.size() < 16)
            names.push_back(name);
    }
    closedir(dir);
    // ttyACM before ttyUSB, each by number: ttyUSB2 before ttyUSB10.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return std::make_tuple(a.substr(0, 6), std::stoul(a.substr(6))) <
               std::make_tuple(b.substr(0, 6), std::stoul(b.substr(6)));
    });
    return names;
}

}  // namespace

TComErrorReport SetComErrorReport(TComErrorReport report) {
    std::lock_guard lock(HookMutex);
    std::swap(ErrorReport, report);
    return report;
}

void ReportComError(const std::string& message) {
    TComErrorReport report;
    {
        std::lock_guard lock(HookMutex);
        report = ErrorReport;
    }
    if (report) {
        report(message);
        return;
    }
    std::fprintf(stderr, "Serial port event handler failed: %s\n", message.c_str());
}

std::string DefaultComDevicePath(const std::string& port) {
    if (!port.empty() && port[0] == '/') return port;
    // Windows treats COM names case-insensitively; so do we.
    if (port.size() > 3 && port.size() <= 6 && AllDigits(port.substr(3))) {
        std::string prefix = port.substr(0, 3);
        std::transform(prefix.begin(), prefix.end(), prefix.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        unsigned long number = std::stoul(port.substr(3));
        if (prefix == "COM" && number >= 1) return "/dev/ttyS" + std::to_string(number - 1);
    }
    return "/dev/" + port;
}

std::string ComDevicePath(const std::string& port) {
    TComPathMapper mapper;
    {
        std::lock_guard lock(HookMutex);
        mapper = PathMapper;
    }
    return mapper ? mapper(port) : DefaultComDevicePath(port);
}

TComPathMapper SetComPathMapper(TComPathMapper mapper) {
    std::lock_guard lock(HookMutex);
    std::swap(PathMapper, mapper);
    return mapper;
}

std::vector<std::string> EnumerateUsbSerialDevices() {
    TUsbSerialLister lister;
    {
        std::lock_guard lock(HookMutex);
        lister = UsbSerialLister;
    }
    return lister ? lister() : ListUsbSerialDevices();
}

TUsbSerialLister SetUsbSerialLister(TUsbSerialLister lister) {
    std::lock_guard lock(HookMutex);
    std::swap(UsbSerialLister, lister);
    return lister;
}
