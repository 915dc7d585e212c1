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

bool AllDigits(const std::string& S) {
    return !S.empty() &&
           std::all_of(S.begin(), S.end(), [](unsigned char C) { return std::isdigit(C) != 0; });
}

std::vector<std::string> ListUsbSerialDevices() {
    std::vector<std::string> Names;
    DIR* Dir = opendir("/dev");
    if (!Dir) return Names;
    while (dirent* Entry = readdir(Dir)) {
        std::string Name = Entry->d_name;
        if ((Name.rfind("ttyUSB", 0) == 0 || Name.rfind("ttyACM", 0) == 0) &&
            AllDigits(Name.substr(6)) && Name.size() < 16)
            Names.push_back(Name);
    }
    closedir(Dir);
    // ttyACM before ttyUSB, each by number: ttyUSB2 before ttyUSB10.
    std::sort(Names.begin(), Names.end(), [](const std::string& A, const std::string& B) {
        return std::make_tuple(A.substr(0, 6), std::stoul(A.substr(6))) <
               std::make_tuple(B.substr(0, 6), std::stoul(B.substr(6)));
    });
    return Names;
}

}  // namespace

TComErrorReport SetComErrorReport(TComErrorReport Report) {
    std::lock_guard Lock(HookMutex);
    std::swap(ErrorReport, Report);
    return Report;
}

void ReportComError(const std::string& Message) {
    TComErrorReport Report;
    {
        std::lock_guard Lock(HookMutex);
        Report = ErrorReport;
    }
    if (Report) {
        Report(Message);
        return;
    }
    std::fprintf(stderr, "Serial port event handler failed: %s\n", Message.c_str());
}

std::string DefaultComDevicePath(const std::string& Port) {
    if (!Port.empty() && Port[0] == '/') return Port;
    // Windows treats COM names case-insensitively; so do we.
    if (Port.size() > 3 && Port.size() <= 6 && AllDigits(Port.substr(3))) {
        std::string Prefix = Port.substr(0, 3);
        std::transform(Prefix.begin(), Prefix.end(), Prefix.begin(),
                       [](unsigned char C) { return static_cast<char>(std::toupper(C)); });
        unsigned long Number = std::stoul(Port.substr(3));
        if (Prefix == "COM" && Number >= 1) return "/dev/ttyS" + std::to_string(Number - 1);
    }
    return "/dev/" + Port;
}

std::string ComDevicePath(const std::string& Port) {
    TComPathMapper Mapper;
    {
        std::lock_guard Lock(HookMutex);
        Mapper = PathMapper;
    }
    return Mapper ? Mapper(Port) : DefaultComDevicePath(Port);
}

TComPathMapper SetComPathMapper(TComPathMapper Mapper) {
    std::lock_guard Lock(HookMutex);
    std::swap(PathMapper, Mapper);
    return Mapper;
}

std::vector<std::string> EnumerateUsbSerialDevices() {
    TUsbSerialLister Lister;
    {
        std::lock_guard Lock(HookMutex);
        Lister = UsbSerialLister;
    }
    return Lister ? Lister() : ListUsbSerialDevices();
}

TUsbSerialLister SetUsbSerialLister(TUsbSerialLister Lister) {
    std::lock_guard Lock(HookMutex);
    std::swap(UsbSerialLister, Lister);
    return Lister;
}
