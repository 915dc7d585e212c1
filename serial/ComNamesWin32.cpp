// Port names on Windows: the system's own, opened through \\.\ so that COM10
// and above work, and the ports the system lists beyond COM1..COM99.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <tuple>

#include "serial/ComNames.h"

namespace {

// The number of "COMn" (any case), or 0 for any other name.
unsigned long ComNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 6) return 0;
    for (std::size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return 0;
    unsigned long number = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        number = number * 10 + static_cast<unsigned long>(name[i] - '0');
    }
    return number;
}

}  // namespace

std::string ComDevicePath(const std::string& port) { return "\\\\.\\" + port; }

std::vector<std::string> EnumerateUsbSerialDevices() {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return names;  // no serial driver has registered a port
    for (DWORD index = 0;; ++index) {
        char valueName[256];
        DWORD valueNameSize = sizeof valueName;
        char data[64];
        DWORD dataSize = sizeof data - 1;
        DWORD type = 0;
        const LONG result = ::RegEnumValueA(key, index, valueName, &valueNameSize, nullptr, &type,
                                            reinterpret_cast<BYTE*>(data), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS || type != REG_SZ) continue;  // too long or not a name
        data[dataSize] = '\0';
        std::string name(data);  // the stored size may or may not count the NUL
        const unsigned long number = ComNumber(name);
        if (number >= 1 && number <= 99) continue;  // the list probes those anyway
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(std::move(name));
    }
    ::RegCloseKey(key);
    // COM ports by number (COM100 before COM120), then any other names.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const unsigned long na = ComNumber(a);
        const unsigned long nb = ComNumber(b);
        return std::make_tuple(na == 0, na, a) < std::make_tuple(nb == 0, nb, b);
    });
    return names;
}
