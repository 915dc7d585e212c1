#include "tools/HostOptions.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <functional>
#include <map>

#include "tools/HostAllow.h"

const char* const HostUsage =
    R"(Usage: trevalon-host --jobs DIR (--link PATH | --device PATH | --listen [ADDR:]PORT) [OPTION]...
  or:  trevalon-host --replay FILE [--fast] (--link PATH | --device PATH | --listen [ADDR:]PORT)
An OMA laboratory host, for trying Trevalon without the production host or as
a small lab's own host. Jobs are files DIR/<tray>.oma of OMA records with a
format 1 trace, read at every request; a stored shape replaces the job's first
trace (the previous file is kept as <tray>.oma.bak), and an upload for a tray
without a job creates it.

A client packet whose CRC= record does not match is answered with NAK instead
of ACK and not read; a packet without a CRC= record is taken as it is. A NAK
from the client gets the last packet again, at most twice; after that the
host gives the exchange up and waits for the client's next request.

--link and --device may be repeated and combined with --listen: every line
and every connection is served at once, each by a session of its own.

Options:
  --jobs DIR            the folder of the job files
  --link PATH           create a pseudo-terminal and make PATH a link to it
  --device PATH         serve a serial device
  --listen [ADDR:]PORT  serve TCP connections; on 127.0.0.1 unless ADDR is
                        given ([::1] for IPv6); port 0 takes a free one (the
                        log names it)
  --baud N              speed of --device (default 9600)
  --pace BAUD           send as slowly as a line at BAUD (10 bits a byte)
  --hear-bauds LIST     answer only while the client's line runs at one of
                        these speeds, e.g. 38400,57600 (pseudo-terminals)
  --def N               DEF label for the edger, digits (default 7)
  --tracer-def LABEL    DEF label for the tracer, letters and digits
                        (default 8)
  --format F            preferred trace format 1 to 4
  --points N            preferred number of trace points
  --insist              answer the preference even when it was not offered
  --silent KINDS        do not answer at all; KINDS is a comma-separated
                        list of init, edger, tracer, job, grant, verdict,
                        error, or all (so for the options below)
  --drop-gs KINDS       leave out the packet's closing GS
  --noise KINDS         send line noise between the ACK and the packet
  --split KINDS         send the packet in pieces
  --pieces N            the pieces of --split (default 3)
  --gap MS              the time between them (default 200)
  --hang-up KINDS       hang up halfway through the packet, then exit
  --status KIND:CODE[:TEXT]
                        answer KIND with this STATUS instead (repeatable)
  --refuse-store        answer every upload with STATUS=3 "Job locked"
  --corrupt N           damage the Nth packet sent to a client (counted from 1
                        in each session, resends not counted): the lowest bit
                        of a byte from the middle of its trace (a job reply's
                        R= record) or else of its records is flipped, never
                        making or breaking a framing byte, so its CRC= record
                        no longer matches; a NAK gets the packet again intact
  --corrupt-always      damage every packet sent that way, resends too
  --known-jobs-only     refuse uploads for trays without a job file (by
                        default a tracer's upload for a new tray creates it)
  --replay FILE         play the host's side of a session transcript: the
                        client's bytes must come as recorded; the recorded
                        answers follow at their recorded times; with
                        --listen the first connection plays it
  --fast                answer at once instead of at the recorded times
  --config FILE         read options from FILE at this place, one a line:
                        NAME VALUE or NAME=VALUE (NAME without the dashes,
                        e.g. "listen 0.0.0.0:4100", "allow 192.168.1.0/24"),
                        a flag alone ("brief-log"); # starts a comment.
                        Options after --config override single ones from FILE
  --samples DIR         first copy DIR/*.oma into the job folder (made when
                        missing), keeping jobs already there
  --exchanges N         exit after N client packets
  --idle-exit MS        exit after MS milliseconds without traffic
  --idle-timeout MS     close a TCP client after MS milliseconds without
                        traffic (default: never; Trevalon's window keeps its
                        connection open while idle)
  --allow ADDR[/PREFIX] let clients from this address or network connect
                        (repeatable); others are closed at once and logged.
                        None given: clients on this computer only
  --max-sessions N      serve at most N TCP clients at once (default 64);
                        more are closed at once and logged
  --brief-log           log one line per session (peer, device, tray,
                        outcome, duration) instead of every byte
  --log FILE            log the exchanges to FILE instead of standard error
  -h, --help            show this help and exit
  --version             show the version and exit

SIGINT or SIGTERM ends the simulator and removes its link.

Exit status:
  0  ended by a signal, --exchanges or --idle-exit; a replay the client
     followed exactly
  1  a line or file could not be used; a replay the client stopped short of
  2  the command line cannot be used
  3  a replay the client diverged from (its byte offset, expected and received
     bytes on standard error)
)";

namespace {

unsigned ToNumber(const std::string& option, const std::string& text, unsigned low, unsigned high) {
    unsigned value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
        throw EUsage(option + " needs a number from " + std::to_string(low) + " to " +
                     std::to_string(high) + ", not '" + text + "'");
    return value;
}

std::vector<std::string> SplitList(const std::string& text, char separator) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (true) {
        auto end = text.find(separator, start);
        items.push_back(text.substr(start, end - start));
        if (end == std::string::npos) return items;
        start = end + 1;
    }
}

TReplyKind ToKind(const std::string& option, const std::string& name) {
    auto kind = ReplyKindFromName(name);
    if (!kind) throw EUsage(option + ": unknown reply kind '" + name + "'");
    return *kind;
}

void SetKinds(const std::string& option, const std::string& text, THostFaults::TKinds& kinds) {
    for (const auto& name : SplitList(text, ',')) {
        if (name == "all")
            kinds.fill(true);
        else
            kinds[static_cast<std::size_t>(ToKind(option, name))] = true;
    }
}

bool AllOf(const std::string& text, int (*test)(int)) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [test](char c) {
        return test(static_cast<unsigned char>(c)) != 0;
    });
}

// The options of a --config file as command-line arguments.
std::vector<std::string> ConfigArgs(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw EUsage("--config: cannot read " + path);
    std::vector<std::string> args;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (const auto hash = line.find('#'); hash != std::string::npos) line.resize(hash);
        const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
        while (!line.empty() && blank(line.back())) line.pop_back();
        std::size_t start = 0;
        while (start < line.size() && blank(line[start])) ++start;
        if (start == line.size()) continue;
        std::size_t end = start;
        while (end < line.size() && !blank(line[end]) && line[end] != '=') ++end;
        std::string name = line.substr(start, end - start);
        if (name.rfind("--", 0) != 0) name = "--" + name;
        if (name == "--config")
            throw EUsage(path + ":" + std::to_string(number) + ": --config inside a config file");
        while (end < line.size() && blank(line[end])) ++end;
        if (end < line.size() && line[end] == '=') ++end;
        while (end < line.size() && blank(line[end])) ++end;
        args.push_back(name);
        if (end < line.size()) args.push_back(line.substr(end));
    }
    return args;
}

}  // namespace

THostOptions ParseHostOptions(const std::vector<std::string>& given) {
    // A config file's options stand where --config stood.
    std::vector<std::string> args;
    for (std::size_t i = 0; i < given.size(); ++i) {
        if (given[i] != "--config" && given[i].rfind("--config=", 0) != 0) {
            args.push_back(given[i]);
            continue;
        }
        std::string path = given[i].size() > 9 ? given[i].substr(9) : "";
        if (given[i] == "--config") {
            if (i + 1 >= given.size()) throw EUsage("--config needs a value");
            path = given[++i];
        }
        const std::vector<std::string> read = ConfigArgs(path);
        args.insert(args.end(), read.begin(), read.end());
    }
    THostOptions options;
    auto& host = options.Host;
    auto& faults = host.Faults;
    using TTaking = std::function<void(const std::string&, const std::string&)>;
    const std::map<std::string, TTaking> taking = {
        {"--jobs", [&](auto&, auto& v) { options.JobsDir = v; }},
        {"--replay", [&](auto&, auto& v) { options.ReplayPath = v; }},
        {"--link",
         [&](auto&, auto& v) {
             (options.LinkPath.empty() ? options.LinkPath : options.MoreLinks.emplace_back()) = v;
         }},
        {"--device",
         [&](auto&, auto& v) {
             (options.DevicePath.empty() ? options.DevicePath
                                         : options.MoreDevices.emplace_back()) = v;
         }},
        {"--listen",
         [&](auto& o, auto& v) {
             const auto colon = v.rfind(':');
             std::string address = colon == std::string::npos ? "" : v.substr(0, colon);
             if (address.size() >= 2 && address.front() == '[' && address.back() == ']')
                 address = address.substr(1, address.size() - 2);
             else if (address.find(':') != std::string::npos)
                 throw EUsage(o + ": an IPv6 address goes in brackets, [::1]:PORT");
             options.Listen = true;
             options.ListenAddress = address.empty() ? "127.0.0.1" : address;
             options.ListenPort = static_cast<std::uint16_t>(
                 ToNumber(o, colon == std::string::npos ? v : v.substr(colon + 1), 0, 65535));
         }},
        {"--baud", [&](auto& o, auto& v) { options.DeviceBaud = ToNumber(o, v, 50, 4000000); }},
        {"--pace", [&](auto& o, auto& v) { options.PaceBaud = ToNumber(o, v, 50, 4000000); }},
        {"--hear-bauds",
         [&](auto& o, auto& v) {
             for (const auto& baud : SplitList(v, ','))
                 host.HearBauds.insert(ToNumber(o, baud, 50, 4000000));
         }},
        {"--def",
         [&](auto& o, auto& v) {
             // The edger reads its DEF as the first run of digits after "DEF=".
             if (!AllOf(v, isdigit) || v.size() > 8) throw EUsage(o + " needs up to 8 digits");
             host.EdgerDef = v;
         }},
        {"--tracer-def",
         [&](auto& o, auto& v) {
             if (!AllOf(v, isalnum) || v.size() > 20 || v == "INI" || v == "TRC")
                 throw EUsage(o + " needs up to 20 letters and digits, neither INI nor TRC");
             host.TracerDef = v;
         }},
        {"--format",
         [&](auto& o, auto& v) { host.PreferFormat = static_cast<int>(ToNumber(o, v, 1, 4)); }},
        {"--points",
         [&](auto& o, auto& v) { host.PreferPoints = static_cast<int>(ToNumber(o, v, 1, 4096)); }},
        {"--silent", [&](auto& o, auto& v) { SetKinds(o, v, faults.Silent); }},
        {"--drop-gs", [&](auto& o, auto& v) { SetKinds(o, v, faults.DropGS); }},
        {"--noise", [&](auto& o, auto& v) { SetKinds(o, v, faults.Noise); }},
        {"--split", [&](auto& o, auto& v) { SetKinds(o, v, faults.Split); }},
        {"--hang-up", [&](auto& o, auto& v) { SetKinds(o, v, faults.HangUp); }},
        {"--corrupt",
         [&](auto& o, auto& v) { faults.CorruptPacket = ToNumber(o, v, 1, 1000000000); }},
        {"--pieces", [&](auto& o, auto& v) { faults.SplitPieces = ToNumber(o, v, 1, 1000); }},
        {"--gap", [&](auto& o, auto& v) { faults.SplitGapMs = ToNumber(o, v, 0, 600000); }},
        {"--status",
         [&](auto& o, auto& v) {
             auto parts = SplitList(v, ':');
             if (parts.size() < 2) throw EUsage(o + " needs KIND:CODE[:TEXT]");
             auto kind = ToKind(o, parts[0]);
             TStatusFault status{static_cast<int>(ToNumber(o, parts[1], 0, 99999)), ""};
             auto colon = v.find(':', v.find(':') + 1);
             if (colon != std::string::npos) status.Text = v.substr(colon + 1);
             faults.Status[static_cast<std::size_t>(kind)] = status;
         }},
        {"--exchanges",
         [&](auto& o, auto& v) { options.MaxExchanges = ToNumber(o, v, 1, 1000000000); }},
        {"--idle-exit",
         [&](auto& o, auto& v) { options.IdleExitMs = ToNumber(o, v, 1, 86400000); }},
        {"--idle-timeout",
         [&](auto& o, auto& v) { options.SessionIdleMs = ToNumber(o, v, 1, 86400000); }},
        {"--allow",
         [&](auto& o, auto& v) {
             if (!ParseAllowRule(v))
                 throw EUsage(o + " needs a numeric address with an optional /PREFIX, not '" + v +
                              "'");
             options.Allow.push_back(v);
         }},
        {"--max-sessions",
         [&](auto& o, auto& v) { options.MaxSessions = ToNumber(o, v, 1, 10000); }},
        {"--log", [&](auto&, auto& v) { options.LogPath = v; }},
        {"--samples", [&](auto&, auto& v) { options.SamplesDir = v; }},
    };
    const std::map<std::string, std::function<void()>> flags = {
        {"--insist", [&] { host.Insist = true; }},
        {"--refuse-store", [&] { faults.RefuseStore = true; }},
        {"--corrupt-always", [&] { faults.CorruptAlways = true; }},
        {"--known-jobs-only", [&] { host.KnownJobsOnly = true; }},
        {"--help", [&] { options.Help = true; }},
        {"-h", [&] { options.Help = true; }},
        {"--fast", [&] { options.Fast = true; }},
        {"--version", [&] { options.Version = true; }},
        {"--brief-log", [&] { options.BriefLog = true; }},
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        if (auto flag = flags.find(name); flag != flags.end()) {
            if (value) throw EUsage(name + " takes no value");
            flag->second();
        } else if (auto take = taking.find(name); take != taking.end()) {
            if (!value) {
                if (i + 1 >= args.size()) throw EUsage(name + " needs a value");
                value = args[++i];
            }
            take->second(name, *value);
        } else {
            throw EUsage("unknown option '" + args[i] + "'");
        }
    }
    if (options.Help || options.Version) return options;
    if (options.JobsDir.empty() && options.ReplayPath.empty()) throw EUsage("--jobs is required");
    if (!options.ReplayPath.empty() &&
        (!options.LinkPath.empty() + !options.DevicePath.empty() + options.Listen != 1 ||
         !options.MoreLinks.empty() || !options.MoreDevices.empty()))
        throw EUsage("--replay plays one line: give one of --link, --device and --listen");
    if (options.LinkPath.empty() && options.DevicePath.empty() && !options.Listen)
        throw EUsage("give --link, --device or --listen");
    if (host.EdgerDef == host.TracerDef) throw EUsage("--def and --tracer-def must differ");
    return options;
}

bool ServesMany(const THostOptions& options) {
    const std::size_t lines = !options.LinkPath.empty() + !options.DevicePath.empty() +
                              options.MoreLinks.size() + options.MoreDevices.size();
    return options.Listen || lines > 1;
}
