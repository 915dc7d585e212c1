#pragma once

// The communication log: every byte exchanged with the host, rendered with
// RenderControlChars, one line per OMA record, with millisecond time stamps.
// TCommLog keeps the lines in memory and the caller supplies the time stamps;
// a session owns one, and its face shows it (the window in a viewer, the
// command line in the file --log names).

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

#include "base/Clock.h"

class TCommLog {
public:
    // Before a data entry is added the oldest lines are removed down to this.
    static constexpr std::size_t MaxLines = 750;
    enum TDirection { ldToHost, ldFromHost, ldFromHostIncomplete };

    // Header line, one line per rendered line of Data, an empty line. The
    // header of ldFromHostIncomplete says the reply never ended.
    void AddData(TDirection direction, std::string_view data, std::string_view stamp);
    // Stamp + " ------------ " + Message + " ---------"; does not trim.
    void AddEndLine(std::string_view message, std::string_view stamp);
    // A line as it is; does not trim.
    void AddLine(std::string line) { FLines.push_back(std::move(line)); }

    const std::deque<std::string>& Lines() const { return FLines; }
    std::size_t Count() const { return FLines.size(); }
    void Clear() { FLines.clear(); }
    // Every line followed by CR LF: the content of the log file.
    std::string Text() const;

private:
    std::deque<std::string> FLines;
};

// "hh:nn:ss:zzz": 24-hour clock, two-digit minutes and seconds, three-digit
// milliseconds, separated by colons.
std::string FormatTimeStamp(const TTimeOfDay& time);
