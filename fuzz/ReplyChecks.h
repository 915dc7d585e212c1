#pragma once

// Checks shared by the host reply fuzz bodies.

#include <string>
#include <string_view>

#include "fuzz/FuzzTarget.h"
#include "oma/HostPackets.h"
#include "oma/HostReplies.h"
#include "oma/OmaErrors.h"
#include "oma/OmaTrace.h"
#include "oma/ReplyMatcher.h"

inline bool AllDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

inline bool StartsWith(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

// The text before the first "=" of a record line, as the job's record list
// names it.
inline std::string RecordName(std::string_view line) {
    return TrimControl(line.substr(0, line.find('=')));
}

// What job data read without an error must hold: the trace of exactly the
// point count in force, and records that are name=value lines, none of them
// trace data.
inline void CheckJobData(const TJobData& job) {
    FUZZ_CHECK(job.Format.size() == 1 && job.Format[0] >= '1' && job.Format[0] <= '4');
    const std::int64_t count = PointCountValue(job.PointCount);
    FUZZ_CHECK(static_cast<std::int64_t>(job.Radii.size()) == count * 4);
    FUZZ_CHECK(KeepDigits(job.Radii) == job.Radii);
    for (const std::string& line : job.Records) {
        const std::size_t equals = line.find('=');
        FUZZ_CHECK(equals != std::string::npos && equals + 1 < line.size());
        const std::string name = RecordName(line);
        FUZZ_CHECK(name != "R" && name != "Z");
    }
}

// The errors job data may be refused with (what() is the operator's text).
inline bool IsJobDataError(const std::runtime_error& e) {
    const std::string_view text = e.what();
    if (dynamic_cast<const EOmaFormat*>(&e) || dynamic_cast<const EReplyUnreadable*>(&e))
        return !text.empty();
    return text == "Cannot find trace data" || StartsWith(text, "Trace type ") ||
           StartsWith(text, "Trace contains ") || StartsWith(text, "Trace data has ");
}
