#include "oma/HostReplies.h"

#include <algorithm>
#include <unordered_map>

#include "oma/HostPackets.h"
#include "oma/JobRecords.h"
#include "base/AsciiText.h"
#include "oma/OmaTrace.h"
#include "oma/ReplyMatcher.h"

namespace {

constexpr char PositiveMissing[] = "Did not get positive response from host";

// "\s" of the reply patterns: space, tab, LF, CR and form feed.
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}
bool IsAlnum(char c) {
    return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::size_t SkipSpaces(std::string_view text, std::size_t at) {
    while (at < text.size() && IsSpace(text[at])) ++at;
    return at;
}

// The lines of text as ExtractLine takes them one after the other: each ends
// at the first CR or LF, and the line ends after it go with it.
class TLineCursor {
public:
    explicit TLineCursor(std::string_view text) : FText(text) {}
    bool Next(std::string_view& line) {
        if (FAt >= FText.size()) return false;
        std::size_t end = FText.find_first_of("\r\n", FAt);
        if (end == std::string_view::npos) end = FText.size();
        line = FText.substr(FAt, end - FAt);
        FAt = end;
        while (FAt < FText.size() && IsLineEnd(FText[FAt])) ++FAt;
        return true;
    }

private:
    std::string_view FText;
    std::size_t FAt = 0;
};

// "ANS.*=.*INI.*STATUS.*=.*0\D": the pieces in this order anywhere in the
// reply; taking each at its first place after the one before decides it.
bool HasInitStatusZero(std::string_view reply) {
    std::size_t at = 0;
    for (std::string_view piece : {"ANS", "=", "INI", "STATUS", "="}) {
        const std::size_t found = reply.find(piece, at);
        if (found == std::string_view::npos) return false;
        at = found + piece.size();
    }
    for (std::size_t zero = reply.find('0', at); zero != std::string_view::npos;
         zero = reply.find('0', zero + 1))
        if (zero + 1 < reply.size() && !IsDigit(reply[zero + 1])) return true;
    return false;
}

// "DEF\s*=\D*(\d+)\D": group 1. Only the first DEF followed by "=" can
// match: the digits a later one finds are the same run or none.
std::optional<std::string> EdgerDef(std::string_view reply) {
    for (std::size_t def = reply.find("DEF"); def != std::string_view::npos;
         def = reply.find("DEF", def + 1)) {
        const std::size_t equals = SkipSpaces(reply, def + 3);
        if (equals >= reply.size() || reply[equals] != '=') continue;
        std::size_t first = equals + 1;
        while (first < reply.size() && !IsDigit(reply[first])) ++first;
        std::size_t end = first;
        while (end < reply.size() && IsDigit(reply[end])) ++end;
        if (first == end || end == reply.size()) return std::nullopt;
        return std::string(reply.substr(first, end - first));
    }
    return std::nullopt;
}

// "[\n\r]DEF\s*=.*?;?\s*([0-9A-Za-z]+)\s*[\r\n]": group 1 is the first run of
// letters and digits after the first such "DEF=" whose blanks after it hold a
// line end. A later DEF could only find a run found from the first.
std::optional<std::string> TracerDef(std::string_view reply) {
    for (std::size_t def = reply.find("DEF", 1); def != std::string_view::npos;
         def = reply.find("DEF", def + 1)) {
        if (!IsLineEnd(reply[def - 1])) continue;
        const std::size_t equals = SkipSpaces(reply, def + 3);
        if (equals >= reply.size() || reply[equals] != '=') continue;
        std::size_t at = equals + 1;
        while (at < reply.size()) {
            if (!IsAlnum(reply[at])) {
                ++at;
                continue;
            }
            const std::size_t start = at;
            while (at < reply.size() && IsAlnum(reply[at])) ++at;
            const std::size_t end = at;
            bool lineEnd = false;
            for (; at < reply.size() && IsSpace(reply[at]); ++at)
                if (IsLineEnd(reply[at])) lineEnd = true;
            if (lineEnd) return std::string(reply.substr(start, end - start));
        }
        return std::nullopt;
    }
    return std::nullopt;
}

// "(\S*)\s*=\s*(\S*)[\r\n]" searched in CR + line + CR (line without line
// ends). After its "=" the match needs blanks and then one run of non-blanks
// to the end, so only an "=" in the last run, or ending the run before it,
// can be the one; the leftmost start that reaches such an "=" decides the
// label. Linear where the pattern costs up to the cube of the line length.
bool MatchRecordLine(std::string_view line, std::string_view& label, std::string_view& value) {
    struct TRun {
        std::size_t Start, End;
    };
    std::vector<TRun> runs;
    for (std::size_t at = 0; at < line.size();) {
        at = SkipSpaces(line, at);
        if (at == line.size()) break;
        const std::size_t start = at;
        while (at < line.size() && !IsSpace(line[at])) ++at;
        runs.push_back({start, at});
    }
    const std::size_t n = runs.size();
    if (n == 0) return false;
    const bool trailing = IsSpace(line.back());
    // Whether the rest after the "=" at p is blanks and then non-blanks.
    auto ok = [&](std::size_t p) {
        if (line[p] != '=') return false;
        const TRun& last = runs[n - 1];
        if (p >= last.Start) return p + 1 == last.End || !trailing;
        return n >= 2 && p + 1 == runs[n - 2].End && !trailing;
    };
    auto valueAfter = [&](std::size_t p) {
        const std::size_t start = SkipSpaces(line, p + 1);
        std::size_t end = start;
        while (end < line.size() && !IsSpace(line[end])) ++end;
        return line.substr(start, end - start);
    };
    // k = 0 stands for the start at the leading CR, whose label is empty.
    const std::size_t first = n >= 2 ? n - 2 : 0;
    for (std::size_t k = first; k <= n; ++k) {
        if (k < n && ok(runs[k].Start)) {
            label = k == 0 ? std::string_view()
                           : line.substr(runs[k - 1].Start, runs[k - 1].End - runs[k - 1].Start);
            value = valueAfter(runs[k].Start);
            return true;
        }
        if (k == 0) continue;
        const TRun& run = runs[k - 1];
        for (std::size_t p = run.End; p-- > run.Start;) {
            if (ok(p)) {
                label = line.substr(run.Start, p - run.Start);
                value = valueAfter(p);
                return true;
            }
        }
    }
    return false;
}

// "[\n\r]\s*R\s*=\s*(.*)[\r\n]" in CR + line + CR: group 1.
bool MatchFormat1Line(std::string_view line, std::string_view& data) {
    std::size_t at = SkipSpaces(line, 0);
    if (at >= line.size() || line[at] != 'R') return false;
    at = SkipSpaces(line, at + 1);
    if (at >= line.size() || line[at] != '=') return false;
    at = SkipSpaces(line, at + 1);
    data = line.substr(at);
    return true;
}

// "\s*R\s*=" anywhere in the line.
bool IsTraceLine(std::string_view line) {
    for (std::size_t r = line.find('R'); r != std::string_view::npos; r = line.find('R', r + 1)) {
        const std::size_t at = SkipSpaces(line, r + 1);
        if (at < line.size() && line[at] == '=') return true;
    }
    return false;
}

// "DBL\s*=\s*([0-9\.]+)\s*[\n\r]" in line + CR: group 1.
bool MatchDblLine(std::string_view line, std::string_view& number) {
    std::size_t lastSolid = line.size();
    while (lastSolid > 0 && IsSpace(line[lastSolid - 1])) --lastSolid;
    for (std::size_t d = line.find("DBL"); d != std::string_view::npos;
         d = line.find("DBL", d + 1)) {
        std::size_t at = SkipSpaces(line, d + 3);
        if (at >= line.size() || line[at] != '=') continue;
        at = SkipSpaces(line, at + 1);
        std::size_t end = at;
        while (end < line.size() && (IsDigit(line[end]) || line[end] == '.')) ++end;
        if (end == at || end < lastSolid) continue;
        number = line.substr(at, end - at);
        return true;
    }
    return false;
}

// Whether text up to its first "=" names trace data (R or Z).
bool NamesTraceData(std::string_view text) {
    const std::string name = TrimControl(text.substr(0, text.find('=')));
    return name == "R" || name == "Z";
}

// Whether a record line is trace data: its text before the first "=" names
// it. A binary payload may hold "=" and spaces, which the record pattern
// would otherwise read as records of their own.
bool IsTraceRecordLine(std::string_view line) {
    return line.find('=') != std::string_view::npos && NamesTraceData(line);
}

// Everything after the "=" of the first line named name (any letter case).
std::string RecordValue(const std::vector<std::string>& records, std::string_view name) {
    for (const std::string& line : records) {
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos && SameTextAscii(std::string_view(line).substr(0, equals), name))
            return line.substr(equals + 1);
    }
    return {};
}

// Forward searches for the verdict scanner. The positions asked for never
// decrease from one call to the next, so each search resumes where the one
// before stopped and a whole reply costs one pass.
class TForwardScan {
public:
    explicit TForwardScan(std::string_view text) : FText(text) {}

    // The first '"' at or after at; the text's size when there is none.
    std::size_t NextQuote(std::size_t at) {
        if (at < FQuoteFrom || FQuote < at) FQuote = std::min(FText.find('"', at), FText.size());
        FQuoteFrom = at;
        return FQuote;
    }
    // The last CR or LF before end; npos when there is none.
    std::size_t LastLineEndBefore(std::size_t end) {
        if (end < FScanned) {
            FScanned = 0;
            FLastLineEnd = std::string_view::npos;
        }
        for (; FScanned < end; ++FScanned)
            if (IsLineEnd(FText[FScanned])) FLastLineEnd = FScanned;
        return FLastLineEnd;
    }
    // Whether the blanks from at hold a CR or LF ("\s*[\n\r]" at at).
    bool BlanksHoldLineEnd(std::size_t at) {
        if (at == FBlanksAt) return FBlanksHold;
        FBlanksAt = at;
        FBlanksHold = false;
        for (; at < FText.size() && IsSpace(FText[at]); ++at)
            if (IsLineEnd(FText[at])) {
                FBlanksHold = true;
                break;
            }
        return FBlanksHold;
    }

private:
    std::string_view FText;
    std::size_t FQuoteFrom = std::string_view::npos;
    std::size_t FQuote = 0;
    std::size_t FScanned = 0;
    std::size_t FLastLineEnd = std::string_view::npos;
    std::size_t FBlanksAt = std::string_view::npos;
    bool FBlanksHold = false;
};

struct TSpan {
    std::size_t Start, End;
};

// Group 2 of the verdict pattern, "([^"]*)"?\s*[\n\r]", tried from start and
// then from each position below it down to lowest, none of which holds a
// quote. The greedy group runs to the next quote and gives back: it ends at
// that quote when blanks holding a line end follow it, else at the last line
// end before it, and only a start at or below that line end succeeds.
std::optional<TSpan> VerdictText(TForwardScan& scan, std::string_view reply, std::size_t start,
                                 std::size_t lowest) {
    const std::size_t quote = scan.NextQuote(start);
    if (quote < reply.size() && scan.BlanksHoldLineEnd(quote + 1)) return TSpan{start, quote};
    const std::size_t lineEnd = scan.LastLineEndBefore(quote);
    if (lineEnd == std::string_view::npos || lineEnd < lowest) return std::nullopt;
    return TSpan{std::min(start, lineEnd), lineEnd};
}

struct TVerdict {
    std::string_view Code;
    std::string_view Text;
};

// "STATUS\s*=\s*(\d+)\s*;?\s*"?([^"]*)"?\s*[\n\r]": groups 1 and 2 of the
// leftmost match, in one pass where the pattern costs the square of the reply
// on many STATUS records without a line end. Group 1 is the whole digit run:
// fewer digits leave the rest unchanged. The greedy "\s*;?\s*" reaches top,
// and giving back tries every position from top down to the digits' end; a
// quote at top, taken by '"?', is tried before all of them.
std::optional<TVerdict> MatchVerdict(std::string_view reply) {
    const std::size_t size = reply.size();
    TForwardScan atTop(reply);
    TForwardScan pastQuote(reply);
    for (std::size_t status = reply.find("STATUS"); status != std::string_view::npos;
         status = reply.find("STATUS", status + 1)) {
        const std::size_t equals = SkipSpaces(reply, status + 6);
        if (equals >= size || reply[equals] != '=') continue;
        const std::size_t digits = SkipSpaces(reply, equals + 1);
        std::size_t low = digits;
        while (low < size && IsDigit(reply[low])) ++low;
        if (low == digits) continue;
        std::size_t top = SkipSpaces(reply, low);
        if (top < size && reply[top] == ';') top = SkipSpaces(reply, top + 1);

        // Each scanner is asked about rising positions from record to record.
        std::optional<TSpan> text = VerdictText(atTop, reply, top, low);
        if (top < size && reply[top] == '"')
            if (const auto quoted = VerdictText(pastQuote, reply, top + 1, top + 1)) text = quoted;
        if (!text) continue;
        return TVerdict{reply.substr(digits, low - digits),
                        reply.substr(text->Start, text->End - text->Start)};
    }
    return std::nullopt;
}

struct TJobStatus {
    std::string Code;
    std::string Text;
};

// The STATUS record after a line end: the one after the first CR, then the
// one after the first LF, the latter winning when both are there.
TJobStatus ReadJobStatus(TReplyMatcher& matcher, std::string_view reply) {
    TJobStatus status;
    for (const char* start : {"\rSTATUS", "\nSTATUS"}) {
        const std::size_t at = reply.find(start);
        if (at == std::string_view::npos) continue;
        if (!matcher.Match(R"([\n\r\s]STATUS\s*=\s*(\d+)\s*;?\s*"?([0-9a-zA-Z ]*)\s*)",
                           reply.substr(at)))
            throw EReplyNotUnderstood();
        status = {matcher.Group(1), matcher.Group(2)};
    }
    return status;
}

}  // namespace

bool IsHostAnswer(std::string_view reply) {
    TReplyMatcher matcher;
    return matcher.Match(R"(ANS\s*=\s*INI)", reply);
}

void ReadInitAnswer(std::string_view reply) {
    if (!HasInitStatusZero(reply)) throw std::runtime_error("Did not receive status 0 on init");
}

THostDefinition ReadHostDefinition(std::string_view reply) {
    THostDefinition definition;
    std::optional<std::string> def = EdgerDef(reply);
    if (!def) throw std::runtime_error("Did not receive DEF from host (init 2)");
    definition.HostDef = std::move(*def);
    TReplyMatcher matcher;
    if (!matcher.Match(R"(TRCFMT\s*=\s*([1-4])\s*;\D*(\d+)\D*;)", reply))
        throw std::runtime_error("Did not receive TRCFMT from host (init 2)");
    definition.Trace = {matcher.Group(1), matcher.Group(2)};
    return definition;
}

void ReadStoreInitAnswer(std::string_view reply) {
    TReplyMatcher matcher;
    if (!matcher.Match(R"(STATUS\s*=\s*0\s*\D+)", reply)) throw std::runtime_error(PositiveMissing);
}

std::optional<std::string> ReadStoreDefinition(std::string_view reply) {
    TReplyMatcher matcher;
    if (!matcher.Match(R"(STATUS\s*=\s*0[\s\D])", reply)) throw std::runtime_error(PositiveMissing);
    return TracerDef(reply);
}

std::optional<TTraceFormat> ReadStoreGrant(std::string_view reply, std::string_view formatReply) {
    ReadStoreInitAnswer(reply);
    TReplyMatcher matcher;
    if (!matcher.Match(R"(TRCFMT\s*=\s*([1-4])\s*;\s*(\d+)\s*;)", formatReply)) return std::nullopt;
    return TTraceFormat{matcher.Group(1), matcher.Group(2)};
}

void ReadStoreVerdict(std::string_view reply) {
    const std::optional<TVerdict> verdict = MatchVerdict(reply);
    if (!verdict || verdict->Code != "0") {
        // The operator's text ends at a NUL byte: a text that starts with
        // one would show as an empty message.
        const std::string_view text = verdict ? verdict->Text.substr(0, verdict->Text.find('\0'))
                                              : std::string_view();
        throw std::runtime_error(text.empty() ? "Did not store the shape to the host"
                                              : std::string(text));
    }
}

std::optional<THostStatus> HostStatusOf(std::string_view reply) {
    for (std::size_t at = reply.find("STATUS"); at != std::string_view::npos;
         at = reply.find("STATUS", at + 1)) {
        std::size_t p = SkipSpaces(reply, at + 6);
        if (p >= reply.size() || reply[p] != '=') continue;
        p = SkipSpaces(reply, p + 1);
        const std::size_t digits = p;
        long code = 0;
        // More digits than any host's status has are not a status.
        while (p < reply.size() && IsDigit(reply[p]) && p - digits < 9)
            code = code * 10 + (reply[p++] - '0');
        if (p == digits || (p < reply.size() && IsDigit(reply[p]))) continue;
        // The text stays on the record's line.
        const auto skipBlanks = [&](std::size_t i) {
            while (i < reply.size() && (reply[i] == ' ' || reply[i] == '\t')) ++i;
            return i;
        };
        p = skipBlanks(p);
        if (p < reply.size() && reply[p] == ';') p = skipBlanks(p + 1);
        // The text runs to the record's end: a line end or a separator.
        std::size_t end = p;
        while (end < reply.size() && reply[end] != '\r' && reply[end] != '\n' &&
               static_cast<unsigned char>(reply[end]) >= 0x20)
            ++end;
        std::string_view text = reply.substr(p, end - p);
        while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
        if (!text.empty() && text.front() == '"') text.remove_prefix(1);
        if (!text.empty() && text.back() == '"') text.remove_suffix(1);
        return THostStatus{code, std::string(text)};
    }
    return std::nullopt;
}

TJobData ReadJobData(std::string_view data, std::string_view pointCount) {
    TJobData job;
    job.PointCount = std::string(pointCount);
    {
        TReplyMatcher matcher;
        if (matcher.Match(R"(TRCFMT\s*=\s*([1234])\s*;\s*([\d]+)\s*;)", data)) {
            job.Format = matcher.Group(1);
            job.PointCount = matcher.Group(2);
        }
    }
    const std::int64_t count = PointCountValue(job.PointCount);

    // Records, and the format 1 trace: the first Count points of R lines,
    // each line taken whole, so the first trace in the data is the one taken.
    TRecordBuilder records;
    std::string radii;
    TLineCursor lines(data);
    std::string_view line;
    while (lines.Next(line)) {
        std::string_view label;
        std::string_view value;
        if (!IsTraceRecordLine(line) && MatchRecordLine(line, label, value)) {
            // A label may hold "=": "x R=y=z" gives the label "R=y", whose
            // record line would be read back as trace data.
            const std::string name = TrimControl(label);
            if (!NamesTraceData(name)) records.Set(name, TrimControl(value));
        }
        std::string_view trace;
        if (job.Format == "1" && static_cast<std::int64_t>(radii.size() / 4) < count &&
            MatchFormat1Line(line, trace))
            radii += KeepDigits(trace);
    }
    job.Records = records.Take();

    if (job.Format != "1") {
        job.DBL = -99.9;
        std::string_view traceLine;
        bool hasTrace = false;
        TLineCursor second(data);
        while (second.Next(line)) {
            std::string_view number;
            if (MatchDblLine(line, number))
                if (auto dbl = ReadWireNumber(number)) job.DBL = *dbl;
            if (IsTraceLine(line)) {
                traceLine = line;
                hasTrace = true;
            }
        }
        if (!hasTrace) throw std::runtime_error("Cannot find trace data");
        const std::string_view payload = traceLine.substr(traceLine.find('=') + 1);
        if (job.Format != "2" && job.Format != "3" && job.Format != "4")
            throw std::runtime_error("Trace type " + job.Format + " is unsupported");
        radii = DecodeBinaryTrace(job.Format[0] - '0', payload,
                                  static_cast<int>(std::min<std::int64_t>(count, MaxTracePoints + 1)));
    }

    const std::int64_t points = static_cast<std::int64_t>(radii.size() / 4);
    if (points != count)
        throw std::runtime_error("Trace contains " + std::to_string(points) +
                                 " points, but number of points is " + job.PointCount);
    // A radius written with five digits, or one lost and made up from the
    // next trace, would read as a shifted shape of the right count.
    if (radii.size() != static_cast<std::size_t>(count) * 4)
        throw std::runtime_error("Trace data has " + std::to_string(radii.size()) +
                                 " digits, but " + std::to_string(count) + " points need " +
                                 std::to_string(count * 4));
    job.Radii = std::move(radii);

    if (const std::string dbl = RecordValue(job.Records, "DBL"); !dbl.empty())
        if (auto value = ReadWireNumber(dbl)) job.DBL = *value;
    return job;
}

TJobData ReadJobReply(std::string_view reply, std::string_view hostDef,
                      std::string_view pointCount) {
    TReplyMatcher matcher;
    if (!matcher.Match("ANS\\s*=\\s*" + std::string(hostDef) + "\\D", reply))
        throw EReplyNotUnderstood();
    const TJobStatus status = ReadJobStatus(matcher, reply);
    if (status.Code != "0")
        throw EJobNotFound(status.Text.empty() ? "Job not found/not available" : status.Text);
    return ReadJobData(reply, pointCount);
}
