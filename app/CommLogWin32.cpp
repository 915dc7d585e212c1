// The log's file, its viewer and a program file's version strings on Windows.
// File names arrive as UTF-8 and go to the wide API, so folders named in any
// language work.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <QDir>
#include <QProcess>
#include <QString>
#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "app/CommLog.h"

namespace {

std::wstring Widen(const std::string& text) {
    return QString::fromStdString(text).toStdWString();
}

std::string Narrow(const wchar_t* text) {
    return QString::fromWCharArray(text).toStdString();
}

// The system's words for Code, without the line break FormatMessage ends with.
std::string SystemText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    QString text = length > 0 ? QString::fromWCharArray(buffer, static_cast<int>(length))
                              : QStringLiteral("Error %1").arg(code);
    if (buffer != nullptr) ::LocalFree(buffer);
    return text.trimmed().toStdString();
}

}  // namespace

void ReadVersionInfo(const std::string& fileName, std::vector<std::string>& lines) {
    lines.clear();
    const std::wstring file = Widen(fileName);
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (size == 0) return;  // no such file, or a file without version information
    std::vector<BYTE> data(size);
    if (!::GetFileVersionInfoW(file.c_str(), 0, size, data.data())) return;
    struct TTranslation {
        WORD Language;
        WORD CodePage;
    };
    void* found = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &found, &length) ||
        length < sizeof(TTranslation))
        return;
    const auto* translation = static_cast<const TTranslation*>(found);
    wchar_t block[40];
    std::swprintf(block, std::size(block), L"\\StringFileInfo\\%04x%04x\\", translation->Language,
                  translation->CodePage);
    for (const char* name : VersionInfoNames) {
        const std::wstring query = block + Widen(name);
        if (!::VerQueryValueW(data.data(), query.c_str(), &found, &length) || length == 0) continue;
        const std::string value = Narrow(static_cast<const wchar_t*>(found));
        if (!value.empty()) lines.push_back(std::string(name) + "=" + value);
    }
}

std::string CreateLogFile(const std::string& folder, std::string& error) {
    // No folder is never the current one: the file would land wherever the
    // program was started.
    if (folder.empty()) {
        error = SystemText(ERROR_PATH_NOT_FOUND);
        return {};
    }
    wchar_t name[MAX_PATH];
    if (::GetTempFileNameW(Widen(folder).c_str(), L"trv", 0, name) == 0) {
        error = SystemText(::GetLastError());
        return {};
    }
    return Narrow(name);
}

bool WriteLogFile(const std::string& fileName, std::string_view content, std::string& error) {
    HANDLE file = ::CreateFileW(Widen(fileName).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = SystemText(::GetLastError());
        return false;
    }
    DWORD code = ERROR_SUCCESS;
    std::size_t written = 0;
    while (written < content.size() && code == ERROR_SUCCESS) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size() - written, 1 << 20));
        DWORD done = 0;
        if (!::WriteFile(file, content.data() + written, chunk, &done, nullptr))
            code = ::GetLastError();
        written += done;
    }
    ::CloseHandle(file);
    if (code != ERROR_SUCCESS) error = SystemText(code);
    return code == ERROR_SUCCESS;
}

void RemoveLogFile(const std::string& fileName) { ::DeleteFileW(Widen(fileName).c_str()); }

bool OpenLogViewer(const QString& fileName) {
    return QProcess::startDetached(QStringLiteral("notepad.exe"),
                                   {QDir::toNativeSeparators(fileName)});
}
