#pragma once

// Name=value lists: the settings list of the main window and the records of a
// job (FRecords) share these rules. A line made of a name, "=" and a value is
// an entry; lines without "=" are kept but never match a name.

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The settings file could not be written; what() names the file and the reason.
class EFCreateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TNameValueList {
public:
    const std::vector<std::string>& Strings() const { return FLines; }
    std::size_t Count() const { return FLines.size(); }
    void Clear() { FLines.clear(); }
    void Add(std::string line) { FLines.push_back(std::move(line)); }

    // Index of the first line whose text before its first "=" equals Name,
    // compared without regard to ASCII letter case; -1 when none does.
    int IndexOfName(std::string_view name) const;
    // Everything after the matching line's first "="; empty when none matches.
    std::string Value(std::string_view name) const;
    // A non-empty value replaces the first matching line in place (spelled
    // Name=Value) or is appended; the empty value removes the first matching
    // line.
    void SetValue(std::string_view name, std::string_view value);

    // Replaces the list with the lines of the file; CR, LF and CR LF each end a
    // line. Returns false (list emptied) when the file cannot be read.
    bool LoadFromFile(const std::string& fileName);
    // Writes every line followed by CR LF, replacing the file. Throws
    // EFCreateError when it cannot be created or written.
    void SaveToFile(const std::string& fileName) const;

    // The lines joined, each followed by CR LF.
    std::string Text() const;
    // Replaces the list with the lines of Text (as LoadFromFile reads a file).
    void SetText(std::string_view text);

private:
    std::vector<std::string> FLines;
};

// Splits text into lines: CR, LF and CR LF each end a line; a final line end
// adds no empty line.
std::vector<std::string> SplitTextLines(std::string_view text);

// FileName with its extension (the text after the last "." of the last path
// element, with the dot) replaced by Ext; appended when there is none.
std::string ChangeFileExt(std::string_view fileName, std::string_view ext);

// The values set when the settings file cannot be loaded, in this order:
// BaudRate 9600, Parity None, DataBits 8, StopBits 1, Points 512.
void SetDefaultSettings(TNameValueList& settings);
