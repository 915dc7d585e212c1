// Port names on POSIX: /dev paths and the USB adapters present.
#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <tuple>

#include "serial/ComNames.h"

namespace {

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

std::string ComDevicePath(const std::string& port) {
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

std::vector<std::string> EnumerateUsbSerialDevices() {
    return ListUsbSerialDevices();
}
