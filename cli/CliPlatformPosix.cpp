#include <unistd.h>

#include <climits>

#include "cli/CliPlatform.h"

std::string OwnProgramFile() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof path) return {};
    return std::string(path, static_cast<std::size_t>(length));
}

bool ErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}
