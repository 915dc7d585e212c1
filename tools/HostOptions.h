#pragma once

// Command line of trevalon-host, the lab host simulator.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/HostSession.h"

// A command line that cannot be followed; what() says why.
class EUsage : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct THostOptions {
    std::filesystem::path JobsDir;
    std::string LinkPath;    // create a pseudo-terminal and link its device here
    std::string DevicePath;  // or serve this serial device
    // Further lines served beside the first (and beside a listener), each its own session.
    std::vector<std::string> MoreLinks;
    std::vector<std::string> MoreDevices;
    bool Listen = false;           // or serve TCP connections
    std::string ListenAddress;     // on this address (default loopback)
    std::uint16_t ListenPort = 0;  // and port; 0: one the system chooses (logged)
    unsigned DeviceBaud = 9600;
    unsigned PaceBaud = 0;             // 0: send as fast as the line takes it
    std::size_t MaxExchanges = 0;      // 0: no limit
    unsigned IdleExitMs = 0;           // 0: never
    unsigned SessionIdleMs = 0;        // a TCP client this long without traffic is closed; 0: never
    unsigned MaxSessions = 64;         // TCP clients served at once; more are closed at once
    std::vector<std::string> Allow;  // ADDR[/PREFIX] that may connect (none: loopback)
    bool BriefLog = false;             // log the sessions, not their bytes
    std::string LogPath;               // empty: standard error
    std::string ReplayPath;            // play the host's side of this session transcript
    bool Fast = false;                 // the replay without its recorded pauses
    std::filesystem::path SamplesDir;  // jobs copied into JobsDir when missing there
    bool Help = false;
    bool Version = false;
    THostConfig Host;
};

// args without the program name. Throws EUsage.
THostOptions ParseHostOptions(const std::vector<std::string>& args);

// Whether the options ask for more than one line, or a listener: then every
// line and every connection is served at once, each by a session of its own.
bool ServesMany(const THostOptions& options);

extern const char* const HostUsage;
