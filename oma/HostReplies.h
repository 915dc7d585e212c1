#pragma once

// Readers of the host's replies, one per conversation step, and of the job
// data that a job reply (or an OMA job file) carries. Pure functions: the
// reply's bytes and the few values a step needs go in; a small result comes
// out, or an exception whose what() is the exact text shown to the operator.
//
// The reply patterns are Perl-style regular expressions with the options of
// TReplyMatcher. Those that can cost more than linear time on a hostile reply
// (a long line of "=" signs, runs of blanks, many records of one name) are
// read by scanners that give the same result as the pattern in linear time;
// the others run through TReplyMatcher, whose work per reply is bounded.

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The host has no such job: the conversation ends quietly (no log display).
class EJobNotFound : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A job reply the program cannot make sense of; support reads the reply from
// the clipboard, which the window fills.
class EReplyNotUnderstood : public std::runtime_error {
public:
    EReplyNotUnderstood() : std::runtime_error("Did not understand response from host") {}
};

// A trace format and point count as the host wrote them (decimal text).
struct TTraceFormat {
    std::string Format;
    std::string PointCount;
};

// The host search: whether the bytes received so far hold "ANS\s*=\s*INI".
bool IsHostAnswer(std::string_view reply);

// Answer to the initialization request of the request conversation; throws
// "Did not receive status 0 on init".
void ReadInitAnswer(std::string_view reply);

// The host's DEF label and trace format, answering the edger's device
// description.
struct THostDefinition {
    std::string HostDef;
    TTraceFormat Trace;
};
// Throws "Did not receive DEF from host (init 2)" or "Did not receive TRCFMT
// from host (init 2)".
THostDefinition ReadHostDefinition(std::string_view reply);

// Answer to the initialization request of the store conversation, and the
// host's permission to store; throws "Did not get positive response from host".
void ReadStoreInitAnswer(std::string_view reply);

// Answer to the tracer's device description: the host's DEF label, or nothing
// (the step then fails with HostDefMissing after acknowledging the reply).
// Throws "Did not get positive response from host".
std::optional<std::string> ReadStoreDefinition(std::string_view reply);
inline constexpr char HostDefMissing[] = "Did not find the host's DEF value";

// The permission to store: checks the reply's status as ReadStoreInitAnswer
// does and returns the TRCFMT of formatReply (the grant itself in tracer mode
// "No Init", otherwise the answer to the tracer's device description);
// nothing when formatReply names none.
std::optional<TTraceFormat> ReadStoreGrant(std::string_view reply, std::string_view formatReply);

// The host's verdict on a stored shape. Throws the host's own text from the
// STATUS record or "Did not store the shape to the host".
void ReadStoreVerdict(std::string_view reply);

// The host's own STATUS record, for scripts and support: the code and the
// text after it (quotes and blanks around it taken off, up to the line's
// end). A reply without a readable STATUS record gives nothing. Unlike the
// step readers it reads any reply and throws nothing.
struct THostStatus {
    long Code = 0;
    std::string Text;
};
std::optional<THostStatus> HostStatusOf(std::string_view reply);

// What job data holds.
struct TJobData {
    // The records as the job's record list holds them, in order: "label=value"
    // lines, one per label (compared without regard to letter case; a later
    // record replaces an earlier one in place, spelled as the later one; an
    // empty value removes it). R and Z records are never among them.
    std::vector<std::string> Records;
    // The format of the TRCFMT record ("1" to "4"); empty when there is none.
    std::string Format;
    // The point count in force: the TRCFMT record's, else the one agreed before.
    std::string PointCount;
    // The decoded trace as a radius string of exactly PointCount points.
    std::string Radii;
    // The DBL the shape takes: the DBL record when it reads as a number, else
    // for format 1 0, for the others the last DBL line's number or -99.9.
    double DBL = 0;
};

// Reads job data: the whole text (records as name=value lines, R and Z lines,
// escaped binary trace data, TRCFMT header); pointCount is the count agreed
// before, used when the data has no TRCFMT record. Throws "Cannot find trace
// data", "Trace type <format> is unsupported", "Trace contains <n> points,
// but number of points is <m>", "Trace data has <d> digits, but <m> points
// need <4m>" and the decoders' errors (EOmaFormat).
TJobData ReadJobData(std::string_view data, std::string_view pointCount);

// Reads the job reply of the request conversation: it must answer hostDef
// (EReplyNotUnderstood otherwise, also for an unreadable STATUS record), its
// STATUS must be 0 (EJobNotFound with the host's text or "Job not
// found/not available" otherwise); then as ReadJobData.
TJobData ReadJobReply(std::string_view reply, std::string_view hostDef,
                      std::string_view pointCount);
