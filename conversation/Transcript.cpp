#include "conversation/Transcript.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "base/NameValueList.h"

#include <nlohmann/json.hpp>

namespace {

using TJson = nlohmann::ordered_json;

// Bytes as Latin-1 characters in UTF-8, which JSON text can carry.
std::string Latin1ToUtf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

// The reverse; a character above U+00FF is no byte.
std::string Utf8ToLatin1(const std::string& text, std::size_t line) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            bytes += static_cast<char>(c);
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size() &&
                   (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
            bytes += static_cast<char>(((c & 0x03) << 6) | (text[++i] & 0x3F));
        } else {
            throw ETranscript("line " + std::to_string(line) +
                              ": data holds a character that is no byte");
        }
    }
    return bytes;
}

// Bytes as the escaped content of a JSON string, Latin-1 characters written
// as \u00XX, exactly as the library's ASCII-only output has them.
void AppendJsonBytes(std::string& out, std::string_view bytes) {
    static constexpr char Hex[] = "0123456789abcdef";
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
            case '"':
                out += "\\\"";
                continue;
            case '\\':
                out += "\\\\";
                continue;
            case '\b':
                out += "\\b";
                continue;
            case '\t':
                out += "\\t";
                continue;
            case '\n':
                out += "\\n";
                continue;
            case '\f':
                out += "\\f";
                continue;
            case '\r':
                out += "\\r";
                continue;
            default:
                break;
        }
        if (byte < 0x20 || byte >= 0x7F) {
            const char escaped[] = {'\\', 'u', '0', '0', Hex[byte >> 4], Hex[byte & 0x0F]};
            out.append(escaped, sizeof escaped);
        } else {
            out += c;
        }
    }
}

constexpr const char* StateNames[] = {
    "cvIdle",           "cvAwaitInitAnswer", "cvAwaitDefinition",  "cvAwaitJob",
    "cvAwaitStoreInit", "cvAwaitStoreGrant", "cvAwaitStoreResult", "cvAwaitStoreDefinition"};

std::string Text(const TJson& object, const char* name, std::size_t line) {
    const auto at = object.find(name);
    if (at == object.end() || !at->is_string())
        throw ETranscript("line " + std::to_string(line) + ": \"" + name + "\" is missing");
    return at->get<std::string>();
}

std::string OptionalText(const TJson& object, const char* name) {
    const auto at = object.find(name);
    return at != object.end() && at->is_string() ? at->get<std::string>() : std::string();
}

}  // namespace

std::string TranscriptTime(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto ms = time_point_cast<milliseconds>(time);
    const auto day = floor<days>(ms);
    const year_month_day date{day};
    const hh_mm_ss clock{ms - day};
    char text[32];
    std::snprintf(
        text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
        static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
    return text;
}

TTranscriptHeader TranscriptHeaderFor(const TNameValueList& settings, std::string_view kind,
                                      std::string_view tray, std::string_view version,
                                      std::string_view platform,
                                      std::chrono::system_clock::time_point start) {
    TTranscriptHeader header;
    header.Version = version;
    header.Platform = platform;
    header.Port = settings.Value("Port");
    const std::string baud = settings.Value("BaudRate");
    header.BaudRate = 0;
    std::from_chars(baud.data(), baud.data() + baud.size(), header.BaudRate);
    header.Parity = settings.Value("Parity");
    header.DataBits = settings.Value("DataBits");
    header.StopBits = settings.Value("StopBits");
    header.TracerMode = settings.Value("TracerMode");
    header.PauseMode = settings.Value("PauseMode");
    header.Start = TranscriptTime(start);
    header.Kind = kind;
    header.Tray = tray;
    return header;
}

const char* StateName(std::uint8_t state) {
    return state < std::size(StateNames) ? StateNames[state] : "unknown";
}

TTranscriptRecorder::TTranscriptRecorder(const TTranscriptHeader& header,
                                         std::function<std::uint32_t()> clock)
    : FHeader(header), FClock(std::move(clock)) {
    FStart = FClock ? FClock() : 0;
    TJson head;
    head["transcript"] = 1;
    head["program"] = "trevalon";
    head["version"] = header.Version;
    head["platform"] = header.Platform;
    head["port"] = Latin1ToUtf8(header.Port);
    head["baudRate"] = header.BaudRate;
    head["parity"] = header.Parity;
    head["dataBits"] = header.DataBits;
    head["stopBits"] = header.StopBits;
    head["tracerMode"] = header.TracerMode;
    head["pauseMode"] = header.PauseMode;
    head["start"] = header.Start;
    head["kind"] = header.Kind;
    head["tray"] = Latin1ToUtf8(header.Tray);
    head["encoding"] = "latin1";
    FText = head.dump(-1, ' ', true) + "\n";
}

std::uint32_t TTranscriptRecorder::Now() const {
    return FClock ? FClock() - FStart : 0;
}

// A chunk line is written by hand: it is recorded for every delivery, and
// building a JSON object per chunk cost more than the conversation's own
// reading. The text is what the library writes for the same line (ASCII only,
// bytes above 0x7E as \u00XX), so readers see one format.
void TTranscriptRecorder::Chunk(const char* direction, std::string_view bytes) {
    if (bytes.empty()) return;
    char ms[16];
    const auto end = std::to_chars(ms, ms + sizeof ms, Now()).ptr;
    FText.reserve(FText.size() + bytes.size() + 40);
    FText += "{\"ms\":";
    FText.append(ms, end);
    FText += ",\"dir\":\"";
    FText += direction;
    FText += "\",\"data\":\"";
    AppendJsonBytes(FText, bytes);
    FText += "\"}\n";
}

void TTranscriptRecorder::ToHost(std::string_view bytes) {
    Chunk("out", bytes);
}

void TTranscriptRecorder::FromHost(std::string_view bytes) {
    const std::size_t kept = std::min(bytes.size(), MaxRecordedFromHost - FFromHost);
    FFromHost += kept;
    FUnrecorded += bytes.size() - kept;
    Chunk("in", bytes.substr(0, kept));
}

void TTranscriptRecorder::Event(std::string_view event, std::string_view detail) {
    TJson line;
    line["ms"] = Now();
    line["event"] = event;
    if (!detail.empty()) line["state"] = Latin1ToUtf8(detail);
    FText += line.dump(-1, ' ', true) + "\n";
}

void TTranscriptRecorder::Outcome(std::string_view result, std::string_view message) {
    if (FEnded) return;
    FEnded = true;
    if (FUnrecorded > 0)
        Event("not recorded", std::to_string(FUnrecorded) + " bytes from the host");
    TJson line;
    line["ms"] = Now();
    line["event"] = "outcome";
    line["result"] = result;
    line["message"] = Latin1ToUtf8(message);
    FText += line.dump(-1, ' ', true) + "\n";
}

TTranscript ReadTranscript(std::string_view text) {
    TTranscript transcript;
    std::size_t line = 0;
    std::size_t from = 0;
    bool header = false;
    while (from < text.size()) {
        std::size_t end = text.find('\n', from);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view row = text.substr(from, end - from);
        from = end + 1;
        ++line;
        if (row.find_first_not_of(" \t\r") == std::string_view::npos) continue;
        TJson object;
        try {
            object = TJson::parse(row);
        } catch (const nlohmann::json::exception&) {
            throw ETranscript("line " + std::to_string(line) + ": not a JSON object");
        }
        if (!object.is_object())
            throw ETranscript("line " + std::to_string(line) + ": not a JSON object");
        if (!header) {
            const auto version = object.find("transcript");
            if (version == object.end() || !version->is_number_integer() || *version != 1)
                throw ETranscript("line 1: not a session transcript (no \"transcript\":1)");
            TTranscriptHeader& h = transcript.Header;
            h.Version = OptionalText(object, "version");
            h.Platform = OptionalText(object, "platform");
            h.Port = Utf8ToLatin1(OptionalText(object, "port"), line);
            if (const auto baud = object.find("baudRate");
                baud != object.end() && baud->is_number_integer())
                h.BaudRate = baud->get<std::int32_t>();
            h.Parity = OptionalText(object, "parity");
            h.DataBits = OptionalText(object, "dataBits");
            h.StopBits = OptionalText(object, "stopBits");
            h.TracerMode = OptionalText(object, "tracerMode");
            h.PauseMode = OptionalText(object, "pauseMode");
            h.Start = OptionalText(object, "start");
            h.Kind = Text(object, "kind", line);
            h.Tray = Utf8ToLatin1(OptionalText(object, "tray"), line);
            header = true;
            continue;
        }
        TTranscriptEntry entry;
        const auto ms = object.find("ms");
        if (ms == object.end() || !ms->is_number_unsigned() || *ms > 0xFFFFFFFFu)
            throw ETranscript("line " + std::to_string(line) + ": \"ms\" is missing");
        entry.Ms = ms->get<std::uint32_t>();
        if (object.contains("dir")) {
            const std::string dir = Text(object, "dir", line);
            if (dir != "out" && dir != "in")
                throw ETranscript("line " + std::to_string(line) +
                                  ": \"dir\" is neither in nor out");
            entry.Kind = dir == "out" ? TTranscriptEntry::teToHost : TTranscriptEntry::teFromHost;
            entry.Data = Utf8ToLatin1(Text(object, "data", line), line);
        } else {
            entry.Kind = TTranscriptEntry::teEvent;
            entry.Event = Text(object, "event", line);
            entry.Detail = entry.Event == "outcome" ? OptionalText(object, "result")
                                                    : OptionalText(object, "state");
            entry.Message = Utf8ToLatin1(OptionalText(object, "message"), line);
        }
        if (!transcript.Entries.empty() && entry.Ms < transcript.Entries.back().Ms)
            throw ETranscript("line " + std::to_string(line) + ": time runs backwards");
        transcript.Entries.push_back(std::move(entry));
    }
    if (!header) throw ETranscript("the transcript is empty");
    return transcript;
}
