#pragma once

// The command line of trevalon-cli, read into one record and checked before
// anything runs: every argument whose fault can be seen without a file or
// the host is refused here. Pure: tests read every form of it without
// running a command.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// Exit codes, as documented in --help and the README.
enum TExitCode : int {
    exOk = 0,
    exFailure = 1,      // anything else: an edit refused, a PDF not made
    exUsage = 2,        // the command line itself
    exLink = 3,         // the link to the host cannot be opened, or the first packet not sent
    exHost = 4,         // the host refused, has no such job, or answered what cannot be read
    exTimeout = 5,      // the host did not answer in time
    exFile = 6,         // a file cannot be read, used or written (job, settings, log)
};

// A command line that cannot be run; what() says why in one line that names
// the argument, for standard error. Command and Json are what was read of
// the line, so a failure can still be reported as asked.
class EUsage : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    std::string Command;
    bool Json = false;
};

struct TCliOptions {
    std::string Command;  // fetch, store, show, edit, print, ports; may be empty with --help/--version
    std::vector<std::string> Arguments;  // the command's own: a tray or a file
    bool Help = false;
    bool Version = false;
    bool Json = false;
    std::string Settings;  // --settings FILE
    std::string Port;      // --port NAME
    std::string Log;       // --log FILE
    std::string Transcript;  // --transcript FILE
    std::string Output;    // -o FILE
    std::string Tray;      // --tray N (store)
    std::optional<double> HBox, VBox, Circ, DBL;
    std::optional<int> Rotate, Format, Points;
    bool LockB = false;
};

// Reads Args (without the program name). Throws EUsage.
TCliOptions ParseCliOptions(const std::vector<std::string>& args);

// Why Tray cannot be asked for or stored under (empty when it can): the
// window's rules for the tray field, and an empty one.
std::string TrayArgumentFault(const std::string& tray);

// What a link failure adds for a port name that is not the device it opens:
// " (COM7 is /dev/ttyS6)"; empty for a device path or a network URL.
std::string PortDeviceNote(const std::string& port);

// The text of --help: the whole program's, or Command's own.
std::string CliHelpText(const std::string& command = {});

// The one line that follows a usage error on standard error.
std::string CliTryHelp(const std::string& command);
