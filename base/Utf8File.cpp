#include "base/Utf8File.h"

#include <cerrno>
#include <cstring>

bool WriteUtf8File(const std::string& fileName, std::string_view content, std::string& error) {
    std::FILE* file = OpenUtf8File(fileName, "wb");
    if (file == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    int code = errno;
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (!ok) error = std::strerror(code);
    return ok;
}
