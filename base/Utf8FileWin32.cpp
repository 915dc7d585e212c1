#include "base/Utf8File.h"

#include <cerrno>
#include <cstdio>
#include <io.h>
#include <windows.h>

namespace {

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int size = static_cast<int>(utf8.size());
    const int count = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(count), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), count);
    return wide;
}

}  // namespace

std::FILE* OpenUtf8File(const std::string& fileName, const char* mode) {
    return ::_wfopen(Wide(fileName).c_str(), Wide(mode).c_str());
}

bool SyncUtf8File(std::FILE* file) {
    return std::fflush(file) == 0 && ::_commit(::_fileno(file)) == 0;
}

bool ReplaceUtf8File(const std::string& from, const std::string& to) {
    if (::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    const DWORD error = ::GetLastError();
    errno = error == ERROR_ACCESS_DENIED ? EACCES : error == ERROR_PATH_NOT_FOUND ? ENOENT : EIO;
    return false;
}

void RemoveUtf8File(const std::string& fileName) {
    ::DeleteFileW(Wide(fileName).c_str());
}
