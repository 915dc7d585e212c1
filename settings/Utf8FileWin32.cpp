#include "settings/Utf8File.h"

#include <QString>
#include <cstdio>

std::FILE* OpenUtf8File(const std::string& fileName, const char* mode) {
    return ::_wfopen(QString::fromStdString(fileName).toStdWString().c_str(),
                     QString::fromLatin1(mode).toStdWString().c_str());
}
