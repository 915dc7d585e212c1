#include "base/NameValueList.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/AsciiText.h"
#include "base/Utf8File.h"

namespace {


}  // namespace

int TNameValueList::IndexOfName(std::string_view name) const {
    for (std::size_t i = 0; i < FLines.size(); ++i) {
        const std::string& line = FLines[i];
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos && SameTextAscii(std::string_view(line).substr(0, eq), name))
            return static_cast<int>(i);
    }
    return -1;
}

std::string TNameValueList::Value(std::string_view name) const {
    const int i = IndexOfName(name);
    if (i < 0) return {};
    const std::string& line = FLines[static_cast<std::size_t>(i)];
    return line.substr(line.find('=') + 1);
}

void TNameValueList::SetValue(std::string_view name, std::string_view value) {
    const int i = IndexOfName(name);
    if (value.empty()) {
        if (i >= 0) FLines.erase(FLines.begin() + i);
        return;
    }
    std::string line;
    line.reserve(name.size() + 1 + value.size());
    line.append(name).append("=").append(value);
    if (i >= 0)
        FLines[static_cast<std::size_t>(i)] = std::move(line);
    else
        FLines.push_back(std::move(line));
}

bool TNameValueList::LoadFromFile(const std::string& fileName) {
    FLines.clear();
    std::FILE* file = OpenUtf8File(fileName, "rb");
    if (file == nullptr) return false;
    std::string content;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, got);
    // A directory opens on POSIX; reading it is the error.
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return false;
    SetText(content);
    return true;
}

void TNameValueList::SaveToFile(const std::string& fileName) const {
    // The list goes to a file of its own first and replaces the old one in
    // one rename: a write cut short (a full disk, the program stopped) leaves
    // the old settings whole.
    const std::string temporary = fileName + ".tmp";
    std::FILE* file = OpenUtf8File(temporary, "wb");
    if (file == nullptr)
        throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(errno));
    const std::string content = Text();
    const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size() &&
                         SyncUtf8File(file);
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        const int error = written ? errno : writeErrno;
        RemoveUtf8File(temporary);
        throw EFCreateError("Cannot write file \"" + fileName + "\". " + std::strerror(error));
    }
    if (!ReplaceUtf8File(temporary, fileName)) {
        const int error = errno;
        RemoveUtf8File(temporary);
        throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(error));
    }
}

std::string TNameValueList::Text() const {
    std::string result;
    for (const std::string& line : FLines) result.append(line).append("\r\n");
    return result;
}

void TNameValueList::SetText(std::string_view text) {
    FLines = SplitTextLines(text);
}

std::vector<std::string> SplitTextLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

std::string ChangeFileExt(std::string_view fileName, std::string_view ext) {
    const std::size_t slash = fileName.find_last_of('/');
    const std::size_t dot = fileName.find_last_of('.');
    std::string result(fileName);
    if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash))
        result.resize(dot);
    result.append(ext);
    return result;
}

void SetDefaultSettings(TNameValueList& settings) {
    settings.SetValue("BaudRate", "9600");
    settings.SetValue("Parity", "None");
    settings.SetValue("DataBits", "8");
    settings.SetValue("StopBits", "1");
    settings.SetValue("Points", "512");
}
