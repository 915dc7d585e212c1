#include "tools/HostSession.h"

#include <algorithm>
#include <utility>

#include "oma/HostPackets.h"
#include "oma/OMAMach.h"
#include "base/AsciiText.h"
#include "oma/OmaTrace.h"
#include "shape/Convert.h"
#include "shape/ShapeEdit.h"
#include "shape/TrceCalc.h"

namespace {

constexpr std::array<const char*, ReplyKindCount> KindNames = {"init",  "edger",   "tracer", "job",
                                                               "grant", "verdict", "error"};

std::size_t Index(TReplyKind kind) {
    return static_cast<std::size_t>(kind);
}

std::string_view Trim(std::string_view text) {
    return TrimBlanks(text);
}

bool IsAlnum(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

// A client's label may go back into a reply only when it cannot break the framing.
std::string SafeLabel(std::string_view label) {
    return !label.empty() && label.size() <= 20 && IsAlnum(label) ? std::string(label) : "ERR";
}

// STATUS record; the text loses quotes and control bytes so that it stays one field. The
// edger reads only letters, digits and spaces of it, so the host's own texts keep to those.
std::string StatusRecord(int code, std::string_view text) {
    std::string record = "STATUS=" + std::to_string(code);
    std::string clean;
    for (char c : text)
        if (static_cast<unsigned char>(c) >= ' ' && c != '"' && c != 0x7F) clean += c;
    if (!clean.empty()) record += ";\"" + clean + "\"";
    return record + "\r";
}

std::vector<std::string> SplitFields(std::string_view value) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        auto semi = value.find(';', start);
        fields.emplace_back(Trim(value.substr(start, semi - start)));
        if (semi == std::string_view::npos) return fields;
        start = semi + 1;
    }
}

// Format and point count of a TRCFMT value, when both are usable.
std::optional<std::pair<int, int>> ReadTrcFmt(std::string_view value) {
    auto fields = SplitFields(value);
    if (fields.size() < 2) return std::nullopt;
    try {
        int format = StrToInt(fields[0]);
        int count = StrToInt(fields[1]);
        if (format < 1 || format > 4 || count < 1 || count > MaxTracePoints) return std::nullopt;
        return std::make_pair(format, count);
    } catch (const EConvertError&) {
        return std::nullopt;
    }
}

// A record that can travel in a reply: no control byte may break the packet's framing.
bool Printable(std::string_view text) {
    return std::none_of(text.begin(), text.end(),
                        [](char c) { return static_cast<unsigned char>(c) < ' ' || c == 0x7F; });
}

// A tray number that cannot name a job file (path separators, control bytes, quotes, "..").
// The edger reads the text up to the colon.
constexpr const char* InvalidTray = "Invalid tray number: letters, digits, - and _ only";

std::string TrayText(std::string_view tray) {
    return IsAlnum(tray) ? "Tray " + std::string(tray) + " not found" : "No such tray";
}

}  // namespace

const char* ReplyKindName(TReplyKind kind) {
    return KindNames[Index(kind)];
}

std::optional<TReplyKind> ReplyKindFromName(std::string_view name) {
    for (std::size_t i = 0; i < KindNames.size(); ++i)
        if (name == KindNames[i]) return static_cast<TReplyKind>(i);
    return std::nullopt;
}

std::string FlipOneBit(std::string packet) {
    const std::size_t rs = packet.rfind(RS);
    const std::size_t end = rs == std::string::npos ? packet.size() : rs;
    // The trace record (a job reply's last), else all records.
    std::size_t from = 1;
    for (std::size_t r = packet.rfind("R=", end); r != std::string::npos && r > 0;
         r = packet.rfind("R=", r - 1)) {
        const char before = packet[r - 1];
        if (before == CR || before == LF || before == FS) {
            from = r + 2;
            break;
        }
    }
    // Neither the byte nor its flipped self may frame records or escape
    // trace data, and an escaped byte keeps its escape.
    const auto framing = [](char c) {
        return c == ACK || c == NAK || c == ESC || c == FS || c == GS || c == RS || c == CR ||
               c == LF;
    };
    const auto flippable = [&](std::size_t i) {
        return !framing(packet[i]) && !framing(static_cast<char>(packet[i] ^ 1)) &&
               packet[i - 1] != ESC;
    };
    std::size_t at = from + (end > from ? (end - from) / 2 : 0);
    while (at < end && !flippable(at)) ++at;
    if (at >= end)
        for (at = 1; at < end && !flippable(at);) ++at;
    if (at < end) packet[at] = static_cast<char>(packet[at] ^ 1);
    return packet;
}

std::string THostReply::Bytes() const {
    std::string bytes;
    for (const auto& chunk : Chunks) bytes += chunk.Bytes;
    return bytes;
}

// A client packet split into records; values are kept raw, since a binary R
// payload may hold bytes that trimming would take.
struct THostSession::TRequest {
    std::vector<TJobRecord> Records;

    const std::string* Find(std::string_view label) const {
        for (const auto& record : Records)
            if (record.Label == label) return &record.Value;
        return nullptr;
    }
    std::string Value(std::string_view label) const {
        const std::string* value = Find(label);
        return value ? std::string(Trim(*value)) : std::string();
    }
    // The JOB record's tray number without its quotes.
    std::string Tray() const {
        std::string tray = Value("JOB");
        if (tray.size() >= 2 && tray.front() == '"' && tray.back() == '"')
            tray = tray.substr(1, tray.size() - 2);
        return tray;
    }
    std::vector<THostSession::TOffer> Offers() const {
        std::vector<TOffer> offers;
        for (const auto& record : Records) {
            if (record.Label != "TRCFMT") continue;
            if (auto fc = ReadTrcFmt(record.Value))
                offers.push_back({fc->first, fc->second, std::string(Trim(record.Value))});
        }
        return offers;
    }
};

struct THostSession::TAnswer {
    TReplyKind Kind;
    std::string Body;
    std::string Note;
};

bool TTrayLocks::Hold(const std::string& tray, const void* owner) {
    const std::lock_guard<std::mutex> hold(FLock);
    const auto [at, added] = FHeld.emplace(tray, owner);
    return added || at->second == owner;
}

void TTrayLocks::Release(const std::string& tray, const void* owner) {
    const std::lock_guard<std::mutex> hold(FLock);
    const auto at = FHeld.find(tray);
    if (at != FHeld.end() && at->second == owner) FHeld.erase(at);
}

void TTrayLocks::ReleaseAll(const void* owner) {
    const std::lock_guard<std::mutex> hold(FLock);
    for (auto at = FHeld.begin(); at != FHeld.end();)
        at = at->second == owner ? FHeld.erase(at) : std::next(at);
}

THostSession::THostSession(THostConfig config, TJobStore& jobs, TTrayLocks* locks)
    : FConfig(std::move(config)), FJobs(jobs), FLocks(locks) {}

THostSession::~THostSession() {
    if (FLocks) FLocks->ReleaseAll(this);
}

void THostSession::ReleaseTray() {
    if (FLocks && !FHeldTray.empty()) FLocks->Release(FHeldTray, this);
    FHeldTray.clear();
}

std::vector<THostReply> THostSession::Feed(std::string_view bytes, unsigned lineBaud) {
    std::vector<THostReply> replies;
    for (char c : bytes) {
        if (c == FS) {
            // A new FS inside a packet means the client gave up the old one and started over.
            FPacket.assign(1, FS);
            FInPacket = true;
            FOverflow = false;
            // The client has moved on: the host's last packet is not asked for again.
            FLastPacket.clear();
            continue;
        }
        if (!FInPacket) {
            // Between packets only the client's ACK and NAK count; the rest is line noise.
            if (c == ACK) FLastPacket.clear();
            if (c == NAK)
                if (auto again = Resend()) replies.push_back(std::move(*again));
            continue;
        }
        if (FPacket.size() < MaxClientPacket)
            FPacket += c;
        else
            FOverflow = true;
        if (c != GS) continue;
        FInPacket = false;
        ++FExchanges;
        if (FOverflow) {
            auto reply = Frame(
                TReplyKind::rkError, "ANS=ERR\r" + StatusRecord(stBadRequest, "Packet too long"),
                "packet longer than " + std::to_string(MaxClientPacket) + " bytes dropped");
            reply.Request = FPacket;
            replies.push_back(std::move(reply));
        } else {
            replies.push_back(Answer(FPacket, lineBaud));
        }
        FPacket.clear();
    }
    return replies;
}

THostReply THostSession::Answer(const std::string& packet, unsigned lineBaud) {
    if (!FConfig.HearBauds.empty() && lineBaud != 0 && !FConfig.HearBauds.count(lineBaud)) {
        THostReply unheard;
        unheard.Request = packet;
        unheard.Note = "not heard: the line runs at " + std::to_string(lineBaud) + " baud";
        return unheard;
    }
    // A damaged packet is not read at all: the client is asked for it again.
    // One without a checksum record is taken as it came.
    if (const TPacketCheck check = CheckPacket(packet); check.Kind == TPacketCheck::ckBad) {
        THostReply nak;
        nak.Request = packet;
        nak.Chunks.push_back({0, std::string(1, NAK)});
        nak.Note =
            "checksum error (expected CRC=" + std::to_string(check.Expected) + "): answered NAK";
        return nak;
    }
    // The first record's ending is the client's: LF alone counts as CR LF, as
    // such a device splits records at LF.
    if (const auto end = packet.find_first_of("\r\n"); end != std::string::npos)
        FCrLf = packet[end] == '\n' || (end + 1 < packet.size() && packet[end + 1] == '\n');
    // FS, body, RS, "CRC=" checksum, GS; the checksum covers the body and the RS.
    TRequest request;
    auto rs = packet.rfind(RS);
    std::string_view body(packet);
    body = body.substr(1, (rs == std::string::npos ? packet.size() - 1 : rs) - 1);
    std::string work(body);
    while (!work.empty()) {
        std::string line = ExtractLine(work);
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        request.Records.push_back({std::string(Trim(line.substr(0, eq))), line.substr(eq + 1)});
    }

    TAnswer answer = Dispatch(request);
    if (answer.Body.find("\rSTATUS=0\r") == std::string::npos &&
        answer.Body.find("\rSTATUS=0;") == std::string::npos)
        ++FRefused;
    auto reply = Frame(answer.Kind, answer.Body, std::move(answer.Note));
    reply.Request = packet;
    return reply;
}

std::optional<THostSession::TOffer> THostSession::Choose(const std::vector<TOffer>& offers) const {
    int format = FConfig.PreferFormat;
    int points = FConfig.PreferPoints;
    if (FConfig.Insist && (format || points)) {
        if (!format) format = offers.empty() ? 1 : offers.front().Format;
        if (!points) points = offers.empty() ? 512 : offers.front().Count;
        return TOffer{format, points,
                      std::to_string(format) + ";" + std::to_string(points) + ";E;B"};
    }
    auto first = [&](auto fits) -> std::optional<TOffer> {
        auto it = std::find_if(offers.begin(), offers.end(), fits);
        return it == offers.end() ? std::nullopt : std::optional<TOffer>(*it);
    };
    if (auto both = first([&](const TOffer& o) {
            return (!format || o.Format == format) && (!points || o.Count == points);
        }))
        return both;
    if (auto byFormat = first([&](const TOffer& o) { return o.Format == format; })) return byFormat;
    if (auto byPoints = first([&](const TOffer& o) { return o.Count == points; })) return byPoints;
    return first([](const TOffer&) { return true; });
}

THostSession::TAnswer THostSession::Dispatch(const TRequest& request) {
    auto error = [](std::string label, int code, std::string text) {
        return TAnswer{TReplyKind::rkError,
                       "ANS=" + SafeLabel(label) + "\r" + StatusRecord(code, text), text};
    };
    TReplyKind kind;
    std::string label;
    if (request.Find("REQ")) {
        label = request.Value("REQ");
        if (label == "INI")
            kind = TReplyKind::rkInit;
        else if (label == FConfig.EdgerDef && request.Find("TRCFMT"))
            kind = TReplyKind::rkJob;
        else if (label == "TRC" || label == FConfig.TracerDef)
            kind = TReplyKind::rkGrant;
        else if (label == FConfig.EdgerDef)
            return error(label, stBadRequest, "Job request without TRCFMT");
        else
            return error(label, stBadRequest, "Unknown request");
    } else if (request.Find("ANS")) {
        label = request.Value("ANS");
        std::string device = request.Value("DEV");
        // Beside EDG and TRC, a device is served by its role: one that defines
        // the records it wants (a DEF block) requests jobs, as an edger does;
        // one that only offers trace formats sends traces, as a tracer does.
        const bool definesRecords = request.Find("DEF") || request.Find("D");
        if (label == "INI") NoteDevice(request);
        if (label == "INI" && (device == "EDG" || (device != "TRC" && definesRecords)))
            kind = TReplyKind::rkEdger;
        else if (label == "INI" && (device == "TRC" || request.Find("TRCFMT")))
            kind = TReplyKind::rkTracer;
        else if (label == "INI")
            return error(label, stBadRequest,
                         device.empty()
                             ? std::string("Device without a DEV record cannot be served")
                         : IsAlnum(device) && device.size() <= 20
                             ? "Cannot serve device type " + device
                             : std::string("Cannot serve this device type"));
        else if (label == "TRC" || label == FConfig.TracerDef)
            kind = TReplyKind::rkVerdict;
        else
            return error(label, stBadRequest, "Unknown answer");
    } else {
        return error("ERR", stBadRequest, "No REQ or ANS record");
    }

    std::string header =
        "ANS=" +
        (kind == TReplyKind::rkInit || kind == TReplyKind::rkEdger || kind == TReplyKind::rkTracer
             ? std::string("INI")
             : label) +
        "\r";
    if (const auto& fault = FConfig.Faults.Status[Index(kind)])
        return {kind, header + StatusRecord(fault->Code, fault->Text),
                "answered STATUS=" + std::to_string(fault->Code) + " as told"};
    switch (kind) {
        case TReplyKind::rkInit:
            FGrant.reset();
            ReleaseTray();
            return {kind, header + StatusRecord(stOk, ""),
                    request.Find("OMAV") ? "initialization" : "host search probe"};
        case TReplyKind::rkEdger:
        case TReplyKind::rkTracer:
            return AnswerDeviceDescription(request, kind, header);
        case TReplyKind::rkJob:
            return AnswerJob(request, header);
        case TReplyKind::rkGrant:
            return AnswerGrant(request, label, header);
        default:
            return AnswerUpload(request, header);
    }
}

THostSession::TAnswer THostSession::AnswerDeviceDescription(const TRequest& request,
                                                            TReplyKind kind,
                                                            const std::string& header) {
    auto offer = Choose(request.Offers());
    if (!offer)
        return {kind, header + StatusRecord(stNoFormat, "No usable trace format"),
                "no usable trace format offered"};
    bool tracer = kind == TReplyKind::rkTracer;
    if (tracer) FGrant = offer;
    const std::string& def = tracer ? FConfig.TracerDef : FConfig.EdgerDef;
    return {kind,
            header + StatusRecord(stOk, "") + "DEF=" + def + "\rTRCFMT=" + offer->Record + "\r",
            (FDevice.empty() ? std::string() : FDevice + ": ") + (tracer ? "tracer" : "edger") +
                " gets DEF " + def + " and TRCFMT " + offer->Record};
}

THostSession::TAnswer THostSession::AnswerJob(const TRequest& request, const std::string& header) {
    const auto kind = TReplyKind::rkJob;
    std::string tray = request.Tray();
    auto fail = [&](int code, const std::string& text, const std::string& note) {
        return TAnswer{kind, header + StatusRecord(code, text), note};
    };
    if (tray.empty()) return fail(stNotFound, "No tray number", "job request without a tray");
    if (!IsSafeTray(tray)) return fail(stBadRequest, InvalidTray, "unusable tray number");
    FLastTray = tray;
    auto wanted = ReadTrcFmt(request.Value("TRCFMT"));
    if (!wanted)
        return fail(stBadRequest, "Unsupported trace format",
                    "job " + tray + ": TRCFMT " + request.Value("TRCFMT") + " cannot be served");
    auto [format, count] = *wanted;

    std::optional<std::string> text;
    try {
        text = FJobs.Load(tray);
    } catch (const EJobFile& e) {
        return fail(stHostFault, "Cannot read job file", "job " + tray + ": " + e.what());
    }
    if (!text) return fail(stNotFound, TrayText(tray), "job " + tray + ": not found");

    std::string body = header + StatusRecord(stOk, "") + JobRecord(tray);
    std::string radii;
    try {
        const TOmaJobFile job = TOmaJobFile::Parse(*text);
        for (const auto& record : job.Records()) {
            static constexpr std::string_view Own[] = {"ANS", "REQ", "STATUS", "JOB", "CRC"};
            std::string value(Trim(record.Value));
            if (std::find(std::begin(Own), std::end(Own), record.Label) != std::end(Own) ||
                !Printable(record.Label) || !Printable(value))
                continue;
            body += record.Label + "=" + value + "\r";
        }
        radii = ResampledRadii(job.FirstTrace().Radii, count);
    } catch (const std::exception& e) {
        return fail(stBadTrace, "Job has no usable trace", "job " + tray + ": " + e.what());
    }
    // The trace goes last: a reader of formats 2 to 4 takes the last line holding "R=",
    // and record labels such as FMFR end in R.
    auto fields = SplitFields(request.Value("TRCFMT"));
    std::string trcfmt = "TRCFMT=";
    for (std::size_t i = 0; i < fields.size(); ++i) trcfmt += (i ? ";" : "") + fields[i];
    body += trcfmt + "\r";
    try {
        body += TraceRecords(std::to_string(format), radii);
    } catch (const std::exception& e) {
        return fail(stBadTrace, "Job has no usable trace", "job " + tray + ": " + e.what());
    }
    ++FJobsServed;
    return {kind, body,
            "job " + tray + ": sent in format " + std::to_string(format) + " with " +
                std::to_string(count) + " points"};
}

THostSession::TAnswer THostSession::AnswerGrant(const TRequest& request, const std::string& label,
                                                const std::string& header) {
    const auto kind = TReplyKind::rkGrant;
    std::string tray = request.Tray();
    auto fail = [&](int code, const std::string& text, const std::string& note) {
        return TAnswer{kind, header + StatusRecord(code, text), note};
    };
    if (!IsSafeTray(tray)) return fail(stBadRequest, InvalidTray, "unusable tray number");
    bool known = true;
    try {
        known = FJobs.Load(tray).has_value();
        if (!known && FConfig.KnownJobsOnly)
            return fail(stNotFound, TrayText(tray), "store " + tray + ": no such job");
    } catch (const EJobFile& e) {
        return fail(stHostFault, "Cannot read job file", "store " + tray + ": " + e.what());
    }
    // "No Init" tracers offer their formats with the request; the others agreed on one in
    // their device description.
    if (label == "TRC") {
        FGrant = Choose(request.Offers());
        if (!FGrant)
            return fail(stNoFormat, "No usable trace format",
                        "store " + tray + ": no usable format");
    }
    FLastTray = tray;
    // Another session's store of this tray in progress shows at the upload,
    // where the tracer reads the host's text.
    ReleaseTray();
    if (FLocks && FLocks->Hold(tray, this)) FHeldTray = tray;
    std::string body = header + StatusRecord(stOk, "") + JobRecord(tray);
    if (FGrant) body += "TRCFMT=" + FGrant->Record + "\r";
    return {kind, body,
            "store " + tray + ": granted" + (FGrant ? " with TRCFMT " + FGrant->Record : "") +
                (known ? "" : " (a new job)")};
}

THostSession::TAnswer THostSession::AnswerUpload(const TRequest& request,
                                                 const std::string& header) {
    const auto kind = TReplyKind::rkVerdict;
    std::string tray = request.Tray();
    auto fail = [&](int code, const std::string& text, const std::string& note = "") {
        return TAnswer{kind, header + StatusRecord(code, text),
                       "upload " + tray + ": " + (note.empty() ? text : note)};
    };
    if (!IsSafeTray(tray)) return fail(stBadRequest, InvalidTray);
    FLastTray = tray;
    if (FConfig.Faults.RefuseStore) return fail(stLocked, "Job locked");
    if (FLocks && !FLocks->Hold(tray, this))
        return fail(stLocked, "Job locked", "another session is storing this job");
    FHeldTray = tray;
    // Whatever the verdict, the tray is free again after it.
    struct TRelease {
        THostSession& Session;
        ~TRelease() { Session.ReleaseTray(); }
    } release{*this};
    auto trcfmt = ReadTrcFmt(request.Value("TRCFMT"));
    if (!trcfmt) return fail(stBadTrace, "Missing or unsupported TRCFMT");
    auto [format, count] = *trcfmt;
    if (FGrant && (FGrant->Format != format || FGrant->Count != count))
        return fail(stBadTrace, "Trace format differs from the grant " + FGrant->Record);

    std::string radii;
    bool created = false;
    try {
        if (format == 1) {
            for (const auto& record : request.Records) {
                if (record.Label != "R") continue;
                for (const auto& field : SplitFields(record.Value)) {
                    AppendRadiusGroup(radii, StrToInt(field));
                    if (RadiusCount(radii) > MaxTracePoints) throw EOmaFormat("Too many points");
                }
            }
        } else {
            const std::string* data = request.Find("R");
            if (!data) return fail(stBadTrace, "No trace data");
            radii = DecodeBinaryTrace(format, *data, count);
        }
    } catch (const std::exception& e) {
        return fail(stBadTrace, std::string("Bad trace data: ") + e.what());
    }
    if (RadiusCount(radii) != count)
        return fail(stBadTrace, "Trace holds " + std::to_string(RadiusCount(radii)) +
                                    " points instead of " + std::to_string(count));

    try {
        auto text = FJobs.Load(tray);
        created = !text;
        if (created && FConfig.KnownJobsOnly) return fail(stNotFound, TrayText(tray));
        // A new job: its number, and its trace under the tracer's own TRCFMT record.
        if (created) {
            std::string record = request.Value("TRCFMT");
            if (!Printable(record)) record = std::to_string(format) + ";" + std::to_string(count);
            text = "JOB=" + tray + "\r\nTRCFMT=" + record + "\r\n";
        }
        TOmaJobFile job = TOmaJobFile::Parse(*text);
        job.ReplaceFirstTrace(1, radii);
        for (const auto& record : request.Records) {
            if (record.Label.empty() || IsBlockLabel(record.Label) ||
                IsBlockDataLabel(record.Label) || IsNeverEchoed(record.Label))
                continue;
            job.SetRecord(record.Label, Trim(record.Value));
        }
        FJobs.Save(tray, job.Text());
    } catch (const EJobFile& e) {
        return fail(stHostFault, "Cannot store the job", e.what());
    } catch (const EOmaJobFile& e) {
        return fail(stHostFault, "Cannot store the job", e.what());
    }
    FGrant.reset();
    ++FStored;
    return {kind, header + StatusRecord(stOk, "") + JobRecord(tray),
            "upload " + tray + ": stored " + std::to_string(count) + " points in format " +
                std::to_string(format) + (created ? " as a new job" : "")};
}

THostReply THostSession::Frame(TReplyKind kind, const std::string& body, std::string note) {
    const auto& faults = FConfig.Faults;
    auto k = Index(kind);
    THostReply reply;
    reply.Kind = kind;
    reply.Note = std::move(note);
    if (faults.Silent[k]) {
        reply.Note += " (kept silent)";
        return reply;
    }
    std::string packet = Framed(body);
    if (faults.DropGS[k]) packet.pop_back();
    FLastPacket = packet;
    FLastKind = kind;
    FResends = 0;
    ++FPacketsSent;
    if (faults.CorruptAlways || FPacketsSent == faults.CorruptPacket) {
        packet = FlipOneBit(std::move(packet));
        reply.Note += " (one bit flipped)";
    }
    reply.Chunks.push_back({0, std::string(1, ACK)});
    if (faults.Noise[k]) reply.Chunks.push_back({0, std::string(NoiseBytes)});
    if (faults.HangUp[k]) {
        reply.Chunks.push_back({0, packet.substr(0, packet.size() / 2)});
        reply.HangUp = true;
        reply.Note += " (hung up mid-reply)";
        return reply;
    }
    std::size_t pieces = faults.Split[k] ? std::max(1u, faults.SplitPieces) : 1;
    pieces = std::min(pieces, packet.size());
    std::size_t start = 0;
    for (std::size_t i = 0; i < pieces; ++i) {
        std::size_t end = packet.size() * (i + 1) / pieces;
        reply.Chunks.push_back(
            {i == 0 ? 0u : faults.SplitGapMs, packet.substr(start, end - start)});
        start = end;
    }
    return reply;
}

std::optional<THostReply> THostSession::Resend() {
    if (FLastPacket.empty()) return std::nullopt;
    THostReply reply;
    reply.Kind = FLastKind;
    if (FResends >= MaxHostResends) {
        // The client will not get this packet: the exchange, and a store it
        // was granting, are given up, and the host waits for a new request.
        FLastPacket.clear();
        ReleaseTray();
        reply.Note =
            "NAK after " + std::to_string(MaxHostResends) + " resends: the exchange is given up";
        return reply;
    }
    ++FResends;
    std::string packet = FLastPacket;
    if (FConfig.Faults.CorruptAlways) packet = FlipOneBit(std::move(packet));
    reply.Chunks.push_back({0, std::move(packet)});
    reply.Note = "NAK: packet sent again (" + std::to_string(FResends) + " of " +
                 std::to_string(MaxHostResends) + ")" +
                 (FConfig.Faults.CorruptAlways ? " with one bit flipped" : "");
    return reply;
}

std::string THostSession::Framed(const std::string& body) const {
    if (!FCrLf) return BuildPacket(body);
    // Trace data of formats 2 to 4 is escaped and holds no CR: every CR ends a record.
    std::string records;
    for (char c : body) {
        records += c;
        if (c == '\r') records += '\n';
    }
    const std::string covered = records + RS;
    return FS + covered + "CRC=" + std::to_string(OmaCRC16(covered)) + "\r\n" + GS;
}

void THostSession::NoteDevice(const TRequest& request) {
    std::string device;
    for (const char* label : {"DEV", "VEN", "MODEL"}) {
        std::string value = request.Value(label);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.empty() || !Printable(value)) value = "?";
        if (value.size() > 40) value.resize(40);
        device += (device.empty() ? "" : " ") + value;
    }
    FDevice = device;
}
