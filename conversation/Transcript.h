#pragma once

// Session transcripts: one conversation with the host, byte for byte both
// ways with its timing, its state changes and its outcome, as JSON Lines.
//
// The first line is the header; then one line per chunk, event or outcome in
// the order they happened:
//   {"transcript":1,"program":"trevalon","version":"1.0.0","platform":"linux",
//    "port":"COM1","baudRate":9600,"parity":"None","dataBits":"8","stopBits":"1",
//    "tracerMode":"Init","pauseMode":"N","start":"2026-12-07T21:00:00.000Z",
//    "kind":"request","tray":"1234","encoding":"latin1"}
//   {"ms":12,"dir":"out","data":"\u001cREQ=INI\r..."}
//   {"ms":40,"dir":"in","data":"\u0006\u001cANS=INI..."}
//   {"ms":41,"event":"state","state":"cvAwaitDefinition"}
//   {"ms":95,"event":"outcome","result":"job","message":""}
// Data holds each byte as the character of the same number (Latin-1), so
// every byte survives JSON's text; "ms" counts from the start. The host's
// bytes are recorded up to MaxRecordedFromHost; a flood's rest is counted in
// one event before the outcome:
//   {"ms":15002,"event":"not recorded","state":"52428800 bytes from the host"} A transcript
// holds the job's data and the line settings, nothing else of the operator.
// Pure: the recorder is given its clock, and the text is the caller's to store.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A transcript that cannot be read; what() names the line and what is wrong.
class ETranscript : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TTranscriptHeader {
    std::string Version;
    std::string Platform;
    std::string Port;
    std::int32_t BaudRate = 0;
    std::string Parity;
    std::string DataBits;
    std::string StopBits;
    std::string TracerMode;
    std::string PauseMode;
    std::string Start;  // UTC, ISO 8601 with milliseconds
    std::string Kind;   // "request", "store" or "search"
    std::string Tray;
};

struct TTranscriptEntry {
    enum TKind : std::uint8_t { teToHost, teFromHost, teEvent } Kind = teEvent;
    std::uint32_t Ms = 0;
    std::string Data;     // the bytes of a chunk
    std::string Event;    // "state", "checksum error" (before its NAK), "timeout", "escape",
                          // "abandoned", "not recorded", "outcome"
    std::string Detail;   // the state's name; the outcome's result; what was not recorded
    std::string Message;  // the outcome's message
    bool operator==(const TTranscriptEntry&) const = default;
};

struct TTranscript {
    TTranscriptHeader Header;
    std::vector<TTranscriptEntry> Entries;
};

// The host's bytes one transcript records, four times the largest reply the
// engine keeps: a device flooding the line must not make the recording grow
// without end, in memory or in the time it costs the window.
inline constexpr std::size_t MaxRecordedFromHost = std::size_t{4} << 20;

class TNameValueList;
// The header of a conversation of Kind for Tray that starts at Start, on the
// line the settings list names ("Port", "BaudRate", ... "TracerMode", "PauseMode").
TTranscriptHeader TranscriptHeaderFor(const TNameValueList& settings, std::string_view kind,
                                      std::string_view tray, std::string_view version,
                                      std::string_view platform,
                                      std::chrono::system_clock::time_point start);

// Builds a transcript's text as the conversation goes.
class TTranscriptRecorder {
public:
    // Clock gives milliseconds on any monotonic scale; the first reading is 0.
    TTranscriptRecorder(const TTranscriptHeader& header, std::function<std::uint32_t()> clock);

    void ToHost(std::string_view bytes);
    void FromHost(std::string_view bytes);
    void Event(std::string_view event, std::string_view detail = {});
    // The conversation's end: "job", "stored", "failed", "not found",
    // "timeout", "cancelled", "not sent"; recorded once, later ones are ignored.
    void Outcome(std::string_view result, std::string_view message);
    bool Ended() const { return FEnded; }

    const std::string& Text() const { return FText; }
    const TTranscriptHeader& Header() const { return FHeader; }

private:
    std::uint32_t Now() const;
    void Chunk(const char* direction, std::string_view bytes);

    TTranscriptHeader FHeader;
    std::function<std::uint32_t()> FClock;
    std::uint32_t FStart = 0;
    std::string FText;
    bool FEnded = false;
    std::size_t FFromHost = 0;    // the host's bytes recorded
    std::size_t FUnrecorded = 0;  // and those beyond MaxRecordedFromHost
};

// Reads a transcript's text. Throws ETranscript for a text that is not one.
TTranscript ReadTranscript(std::string_view text);

// A point in time as the header's "start" writes it: UTC, ISO 8601 with
// milliseconds ("2026-12-07T21:00:00.000Z").
std::string TranscriptTime(std::chrono::system_clock::time_point time);

// The name of a conversation state as transcripts write it ("cvAwaitJob").
const char* StateName(std::uint8_t state);
