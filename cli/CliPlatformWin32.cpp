#include <windows.h>
#include <io.h>

#include <cstdio>
#include <vector>

#include "cli/CliPlatform.h"

std::string OwnProgramFile() {
    std::vector<wchar_t> path(32768);
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size()) return {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(length),
                                          nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(length), utf8.data(), bytes,
                        nullptr, nullptr);
    return utf8;
}

bool ErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}
