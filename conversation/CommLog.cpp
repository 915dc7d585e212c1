#include "conversation/CommLog.h"

#include <cstdio>

#include "base/NameValueList.h"
#include "oma/OMAMach.h"

void TCommLog::AddData(TDirection direction, std::string_view data, std::string_view stamp) {
    const std::vector<std::string> rendered = SplitTextLines(RenderControlChars(data));
    while (FLines.size() > MaxLines) FLines.pop_front();
    std::string header(stamp);
    switch (direction) {
        case ldToHost:
            header += " ------------ Data To Host ---------";
            break;
        case ldFromHost:
            header += " ------------ Data From Host ---------";
            break;
        case ldFromHostIncomplete:
            header += " ------------ Data From Host (incomplete reply) ---------";
            break;
    }
    FLines.push_back(std::move(header));
    for (const std::string& line : rendered) {
        std::string entry(stamp);
        entry += ' ';
        entry += line;
        FLines.push_back(std::move(entry));
    }
    FLines.emplace_back();
}

void TCommLog::AddEndLine(std::string_view message, std::string_view stamp) {
    std::string line(stamp);
    line.append(" ------------ ").append(message).append(" ---------");
    FLines.push_back(std::move(line));
}

std::string TCommLog::Text() const {
    std::size_t size = 0;
    for (const std::string& line : FLines) size += line.size() + 2;
    std::string result;
    result.reserve(size);
    for (const std::string& line : FLines) result.append(line).append("\r\n");
    return result;
}

std::string FormatTimeStamp(const TTimeOfDay& time) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d:%03d", time.Hour, time.Minute, time.Second,
                  time.Millisecond);
    return buffer;
}
