#include "settings/Utf8File.h"

std::FILE* OpenUtf8File(const std::string& fileName, const char* mode) {
    return std::fopen(fileName.c_str(), mode);
}
