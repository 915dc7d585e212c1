#include "base/Utf8File.h"

#include <unistd.h>
#include <cstdio>

std::FILE* OpenUtf8File(const std::string& fileName, const char* mode) {
    return std::fopen(fileName.c_str(), mode);
}

bool SyncUtf8File(std::FILE* file) {
    return std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
}

bool ReplaceUtf8File(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

void RemoveUtf8File(const std::string& fileName) {
    ::unlink(fileName.c_str());
}
