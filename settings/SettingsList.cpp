#include "settings/SettingsList.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

bool SameTextAscii(std::string_view A, std::string_view B) {
    if (A.size() != B.size()) return false;
    for (std::size_t i = 0; i < A.size(); ++i) {
        unsigned char a = static_cast<unsigned char>(A[i]);
        unsigned char b = static_cast<unsigned char>(B[i]);
        if (a >= 'a' && a <= 'z') a = static_cast<unsigned char>(a - 'a' + 'A');
        if (b >= 'a' && b <= 'z') b = static_cast<unsigned char>(b - 'a' + 'A');
        if (a != b) return false;
    }
    return true;
}

}  // namespace

int TNameValueList::IndexOfName(std::string_view Name) const {
    for (std::size_t i = 0; i < FLines.size(); ++i) {
        const std::string& Line = FLines[i];
        const std::size_t Eq = Line.find('=');
        if (Eq != std::string::npos && SameTextAscii(std::string_view(Line).substr(0, Eq), Name))
            return static_cast<int>(i);
    }
    return -1;
}

std::string TNameValueList::Value(std::string_view Name) const {
    const int i = IndexOfName(Name);
    if (i < 0) return {};
    const std::string& Line = FLines[static_cast<std::size_t>(i)];
    return Line.substr(Line.find('=') + 1);
}

void TNameValueList::SetValue(std::string_view Name, std::string_view Value) {
    const int i = IndexOfName(Name);
    if (Value.empty()) {
        if (i >= 0) FLines.erase(FLines.begin() + i);
        return;
    }
    std::string Line;
    Line.reserve(Name.size() + 1 + Value.size());
    Line.append(Name).append("=").append(Value);
    if (i >= 0)
        FLines[static_cast<std::size_t>(i)] = std::move(Line);
    else
        FLines.push_back(std::move(Line));
}

bool TNameValueList::LoadFromFile(const std::string& FileName) {
    FLines.clear();
    std::FILE* File = std::fopen(FileName.c_str(), "rb");
    if (File == nullptr) return false;
    std::string Content;
    char Buffer[4096];
    std::size_t Got;
    while ((Got = std::fread(Buffer, 1, sizeof Buffer, File)) > 0) Content.append(Buffer, Got);
    // A directory opens on POSIX; reading it is the error.
    const bool Failed = std::ferror(File) != 0;
    std::fclose(File);
    if (Failed) return false;
    SetText(Content);
    return true;
}

void TNameValueList::SaveToFile(const std::string& FileName) const {
    std::FILE* File = std::fopen(FileName.c_str(), "wb");
    if (File == nullptr)
        throw EFCreateError("Cannot create file \"" + FileName + "\". " + std::strerror(errno));
    const std::string Content = Text();
    const bool Written = std::fwrite(Content.data(), 1, Content.size(), File) == Content.size();
    const int WriteErrno = errno;
    const bool Closed = std::fclose(File) == 0;
    if (!Written || !Closed)
        throw EFCreateError("Cannot write file \"" + FileName + "\". " +
                            std::strerror(Written ? errno : WriteErrno));
}

std::string TNameValueList::Text() const {
    std::string Result;
    for (const std::string& Line : FLines) Result.append(Line).append("\r\n");
    return Result;
}

void TNameValueList::SetText(std::string_view Text) {
    FLines = SplitTextLines(Text);
}

std::vector<std::string> SplitTextLines(std::string_view Text) {
    std::vector<std::string> Lines;
    std::size_t Start = 0;
    std::size_t i = 0;
    while (i < Text.size()) {
        const char C = Text[i];
        if (C == '\r' || C == '\n') {
            Lines.emplace_back(Text.substr(Start, i - Start));
            if (C == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n') ++i;
            Start = ++i;
        } else {
            ++i;
        }
    }
    if (Start < Text.size()) Lines.emplace_back(Text.substr(Start));
    return Lines;
}

std::string ChangeFileExt(std::string_view FileName, std::string_view Ext) {
    const std::size_t Slash = FileName.find_last_of('/');
    const std::size_t Dot = FileName.find_last_of('.');
    std::string Result(FileName);
    if (Dot != std::string_view::npos && (Slash == std::string_view::npos || Dot > Slash))
        Result.resize(Dot);
    Result.append(Ext);
    return Result;
}

void SetDefaultSettings(TNameValueList& Settings) {
    Settings.SetValue("BaudRate", "9600");
    Settings.SetValue("Parity", "None");
    Settings.SetValue("DataBits", "8");
    Settings.SetValue("StopBits", "1");
    Settings.SetValue("Points", "512");
}
