#include "cli/CliOptions.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "link/LinkName.h"
#include "oma/HostPackets.h"
#include "oma/OmaTrace.h"
#include "serial/ComNames.h"

namespace {

// Each command: its arguments, its own options and its help.
struct TCommandRule {
    const char* Name;
    const char* Argument;  // the argument's name in messages; nullptr: none
    const char* Synopsis;
    const char* Summary;  // one line for the program's help
    const char* Text;
};

constexpr TCommandRule Commands[] = {
    {"fetch", "TRAY", "fetch TRAY [OPTION]...", "ask the host for a job's shape and print its figures",
     R"(Asks the host for the job's shape and prints box A, box B, circumference,
DBL, point count and the trace format the host sent it in.
)"},
    {"store", "FILE", "store FILE [OPTION]...", "store a job file's shape and records on the host",
     R"(Stores the job file's shape and records on the host under the file's JOB
(or --tray), as Save Shape does after opening the file, and prints the
host's verdict.
)"},
    {"show", "FILE", "show FILE [OPTION]...", "print a job file's figures",
     R"(Prints a job file's tray, trace format and figures.
)"},
    {"edit", "IN", "edit IN -o OUT [OPTION]...", "change a job file's shape as the window's edits do",
     R"(Changes a job file's shape as typing into the window's edits does and
writes it to OUT. The DBL is typed first; each change starts again from the
shape as read (at 1024 points), the other edits keeping what they show;
--rotate then turns the shape by points. A size below 10 mm (a box) or 20 mm
(the circumference) is refused ("Box A Too small"); an unchanged job is
written back byte for byte.
)"},
    {"print", "FILE", "print FILE -o FILE.pdf [OPTION]...", "write the shape at true scale as a PDF",
     R"(Writes the job file's shape at true scale as a PDF (A4), as Save as PDF
does.
)"},
    {"ports", nullptr, "ports [OPTION]...", "list the serial ports that can be opened now",
     R"(Lists the serial ports that can be opened now, as Settings does.
)"},
};

// Each option once: its words, and the commands it belongs to ("" for all).
struct TOptionHelp {
    const char* Words;
    const char* Commands;
    const char* Text;
};

// Commands "*": the program's help only, where one line covers several commands.
constexpr TOptionHelp OptionHelp[] = {
    {"-o, --output FILE", "*",
     "fetch: also write the job file; edit: the job file to write;\nprint: the PDF to write"},
    {"-o, --output FILE", "fetch", "also write the shape as a job file, as Save Job File does"},
    {"-o, --output OUT", "edit", "the job file to write (required)"},
    {"-o, --output FILE.pdf", "print", "the PDF to write (required)"},
    {"--format N", "*", "fetch, edit: the written trace format, 1 to 4"},
    {"--format N", "fetch", "the written job file's trace format, 1 to 4 (default 1)"},
    {"--format N", "edit", "the trace format to write, 1 to 4 (default: the file's)"},
    {"--points N", "* edit", "edit: the point count to write, 100 to 4096 (default: the\nfile's)"},
    {"--hbox MM", "* edit", "edit: box A in millimetres, \".\" as the decimal separator"},
    {"--vbox MM", "* edit", "edit: box B in millimetres"},
    {"--circ MM", "* edit", "edit: the circumference in millimetres (not with --hbox,\n--vbox or --lock-b)"},
    {"--dbl MM", "* edit", "edit: the DBL (distance between lenses) in millimetres"},
    {"--lock-b", "* edit", "edit: keep box A at its datum while box B changes (not\nwith --hbox)"},
    {"--rotate STEPS", "* edit", "edit: turn the shape by STEPS points, positive to the right"},
    {"--tray TRAY", "* store", "store: store under this tray instead of the file's JOB"},
    {"--settings FILE", "* fetch store", "fetch, store: the settings file (default: see FILES)"},
    {"--port NAME", "* fetch store",
     "fetch, store: the port instead of the settings' port: COMn,\na device path, "
     "socket://HOST:PORT or rfc2217://HOST:PORT"},
    {"--log FILE", "* fetch store", "fetch, store: write the communication log to FILE, also on\nfailure"},
    {"--transcript FILE", "* fetch store",
     "fetch, store: write the session transcript (every byte both\nways with its timing, as JSON "
     "Lines) to FILE; trevalon-host\n--replay FILE plays the host's side of it"},
    {"--json", "", "print the result as one JSON object, also on failure"},
    {"-h, --help", "", "show this help and exit"},
    {"--version", "", "show the version and exit"},
};

// The options of Command (all of them when it is empty), laid out for help2man.
std::string OptionsText(const std::string& command) {
    constexpr std::size_t Column = 24;
    std::string text = "Options:\n";
    for (const TOptionHelp& option : OptionHelp) {
        const std::string commands = std::string(" ") + option.Commands + " ";
        const bool all = *option.Commands == '\0';
        if (!all && commands.find(" " + (command.empty() ? std::string("*") : command) + " ") ==
                        std::string::npos)
            continue;
        std::string line = std::string("  ") + option.Words;
        line += line.size() < Column ? std::string(Column - line.size(), ' ')
                                     : "\n" + std::string(Column, ' ');
        std::string body = option.Text;
        for (char& c : body)
            if (c == '\n') c = ' ';
        // A command's own help needs no "fetch, store: " before the text.
        if (!command.empty() && !all)
            if (const std::size_t colon = body.find(": ");
                colon != std::string::npos &&
                body.find_first_not_of("abcdefghijklmnopqrstuvwxyz, ") == colon)
                body.erase(0, colon + 2);
        // Wrapped to 79 columns, each line under the first indented to Column.
        std::size_t lineStart = 0;
        for (std::size_t space = body.find(' '); space != std::string::npos;
             space = body.find(' ', space + 1)) {
            const std::size_t next = body.find(' ', space + 1);
            const std::size_t wordEnd = next == std::string::npos ? body.size() : next;
            if (Column + wordEnd - lineStart > 79) {
                body[space] = '\n';
                body.insert(space + 1, std::string(Column, ' '));
                lineStart = space + 1 + Column;
                space += Column;
            }
        }
        text += line + body + "\n";
    }
    return text;
}

const TCommandRule* FindCommand(const std::string& name) {
    for (const TCommandRule& rule : Commands)
        if (name == rule.Name) return &rule;
    return nullptr;
}

constexpr char FilesText[] = R"(Files:
The settings file of fetch and store is the window's: trevalon.dat beside
trevalon (in a build tree app/trevalon) when that file exists or its folder
is writable (a build or a portable copy), otherwise
$XDG_CONFIG_HOME/trevalon/trevalon.dat, that is
~/.config/trevalon/trevalon.dat. A key it leaves out takes its default.
The schema of the --json output is share/trevalon/trevalon-cli.schema.json
of the installation.
)";

constexpr char ExitStatus[] = R"(Exit status:
  0  success
  1  another failure (an edit refused, a PDF not made)
  2  the command line cannot be used
  3  the link to the host cannot be opened
  4  the host refused, has no such job, or its reply cannot be read
  5  the host did not answer in time
  6  a file cannot be read, used or written
)";

// A number in millimetres within [Low, High) (Low itself only when LowIncluded).
double Millimetres(const std::string& option, const std::string& text, double low, bool lowIncluded,
                   double high) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || at != end || !std::isfinite(value))
        throw EUsage(option + " takes a number in millimetres with \".\" as the separator, not '" +
                     text + "'");
    if (value < low || (!lowIncluded && value == low) || value >= high) {
        char range[64];
        std::snprintf(range, sizeof range, "%s %g and below %g", lowIncluded ? "from" : "above", low,
                      high);
        throw EUsage(option + " takes millimetres " + range + ", not '" + text + "'");
    }
    return value;
}

int WholeNumber(const std::string& option, const std::string& text, long long low, long long high) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    const bool number = !text.empty() && at == end && error != std::errc::invalid_argument;
    if (!number) throw EUsage(option + " takes a whole number, not '" + text + "'");
    if (error == std::errc::result_out_of_range || value < low || value > high)
        throw EUsage(option + " takes a whole number from " + std::to_string(low) + " to " +
                     std::to_string(high) + ", not '" + text + "'");
    return static_cast<int>(value);
}

void Parse(const std::vector<std::string>& args, TCliOptions& options) {
    bool arguments = false;  // after "--" every word is an argument
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const std::string& {
            // An option where the value should be means the value is missing
            // ("--port --json"); a negative number is a value.
            if (i + 1 >= args.size() ||
                (args[i + 1].size() > 1 && args[i + 1][0] == '-' &&
                 !(args[i + 1][1] >= '0' && args[i + 1][1] <= '9')))
                throw EUsage(arg + " needs a value");
            return args[++i];
        };
        if (arguments || arg.size() < 2 || arg[0] != '-') {
            if (options.Command.empty() && !arguments)
                options.Command = arg;
            else
                options.Arguments.push_back(arg);
        } else if (arg == "--") {
            arguments = true;
        } else if (arg == "--help" || arg == "-h") {
            options.Help = true;
        } else if (arg == "--version") {
            options.Version = true;
        } else if (arg == "--json") {
            options.Json = true;
        } else if (arg == "--lock-b") {
            options.LockB = true;
        } else if (arg == "--settings") {
            options.Settings = value();
            if (options.Settings.empty()) throw EUsage("--settings needs a file name");
        } else if (arg == "--port") {
            options.Port = value();
            if (options.Port.empty()) throw EUsage("--port needs a port name");
            if (std::string fault = PortNameFault(options.Port); !fault.empty())
                throw EUsage("--port " + options.Port + ": " + fault);
        } else if (arg == "--log") {
            options.Log = value();
            if (options.Log.empty()) throw EUsage("--log needs a file name");
        } else if (arg == "--transcript") {
            options.Transcript = value();
            if (options.Transcript.empty()) throw EUsage("--transcript needs a file name");
        } else if (arg == "-o" || arg == "--output") {
            options.Output = value();
            if (options.Output.empty()) throw EUsage(arg + " needs a file name");
        } else if (arg == "--tray") {
            options.Tray = value();
            if (std::string fault = TrayArgumentFault(options.Tray); !fault.empty())
                throw EUsage("--tray: " + fault);
        } else if (arg == "--hbox") {
            options.HBox = Millimetres(arg, value(), 0, false, 200);
        } else if (arg == "--vbox") {
            options.VBox = Millimetres(arg, value(), 0, false, 200);
        } else if (arg == "--circ") {
            options.Circ = Millimetres(arg, value(), 0, false, 630);
        } else if (arg == "--dbl") {
            options.DBL = Millimetres(arg, value(), 0, true, 100);
        } else if (arg == "--rotate") {
            options.Rotate = WholeNumber(arg, value(), -1000000, 1000000);
        } else if (arg == "--format") {
            options.Format = WholeNumber(arg, value(), 1, 4);
        } else if (arg == "--points") {
            options.Points = WholeNumber(arg, value(), MinTracePoints, MaxTracePoints);
        } else {
            throw EUsage("unknown option " + arg);
        }
    }
    if (options.Help || options.Version) {
        if (!options.Command.empty() && !FindCommand(options.Command))
            throw EUsage("unknown command " + options.Command);
        return;
    }
    if (options.Command.empty()) throw EUsage("no command given");
    const TCommandRule* rule = FindCommand(options.Command);
    if (!rule) throw EUsage("unknown command " + options.Command);
    const std::size_t wanted = rule->Argument ? 1 : 0;
    if (options.Arguments.size() < wanted)
        throw EUsage(options.Command + " needs its " + rule->Argument);
    if (options.Arguments.size() > wanted)
        throw EUsage(options.Command + " takes " +
                     (rule->Argument ? std::string("one ") + rule->Argument : std::string("nothing")) +
                     ", not also '" + options.Arguments[wanted] + "'");
    if (options.Command == "fetch")
        if (std::string fault = TrayArgumentFault(options.Arguments[0]); !fault.empty())
            throw EUsage("TRAY: " + fault);
    if (wanted && options.Command != "fetch" && options.Arguments[0].empty())
        throw EUsage(options.Command + " needs a file name as its " + rule->Argument);

    const bool edit = options.Command == "edit";
    const bool host = options.Command == "fetch" || options.Command == "store";
    if (!edit && (options.HBox || options.VBox || options.Circ || options.DBL || options.Rotate ||
                  options.Points || options.LockB))
        throw EUsage("--hbox, --vbox, --circ, --dbl, --rotate, --points and --lock-b belong to edit");
    if (options.Format && !edit && options.Command != "fetch")
        throw EUsage("--format belongs to edit and fetch");
    if (!options.Tray.empty() && options.Command != "store") throw EUsage("--tray belongs to store");
    if (!host && (!options.Transcript.empty() || !options.Log.empty() || !options.Port.empty() ||
                  !options.Settings.empty()))
        throw EUsage("--settings, --port, --log and --transcript belong to fetch and store");
    if ((edit || options.Command == "print") && options.Output.empty())
        throw EUsage(options.Command + " needs -o FILE");
    if (!options.Output.empty() && !edit && options.Command != "print" && options.Command != "fetch")
        throw EUsage("-o belongs to fetch, edit and print");
    if (options.Format && options.Command == "fetch" && options.Output.empty())
        throw EUsage("--format on fetch needs -o FILE: it is the written file's format");
    // Each change of the window starts again from the shape as received, so
    // a box and a circumference cannot both be asked for.
    if (options.Circ && (options.HBox || options.VBox || options.LockB))
        throw EUsage("--circ cannot be combined with --hbox, --vbox or --lock-b: each change "
                     "starts again from the shape as read");
    if (options.LockB && options.HBox)
        throw EUsage("--lock-b keeps box A at its datum: it cannot be combined with --hbox");
}

}  // namespace

std::string PortDeviceNote(const std::string& port) {
    if (IsNetworkPort(port)) return {};
    const std::string device = ComDevicePath(port);
    if (device.size() >= port.size() &&
        device.compare(device.size() - port.size(), port.size(), port) == 0)
        return {};
    return " (" + port + " is " + device + ")";
}

std::string TrayArgumentFault(const std::string& tray) {
    if (tray.empty()) return "the tray number is empty";
    return TrayNumberFault(std::string_view(tray));
}

TCliOptions ParseCliOptions(const std::vector<std::string>& args) {
    TCliOptions options;
    try {
        Parse(args, options);
    } catch (EUsage& e) {
        // --json may follow the word that failed; an unknown command is none.
        e.Command = FindCommand(options.Command) ? options.Command : std::string();
        for (const std::string& arg : args)
            if (arg == "--json") e.Json = true;
        throw;
    }
    return options;
}

std::string CliTryHelp(const std::string& command) {
    return FindCommand(command) ? "Try 'trevalon-cli " + command + " --help'."
                                : std::string("Try 'trevalon-cli --help'.");
}

std::string CliHelpText(const std::string& command) {
    if (const TCommandRule* rule = FindCommand(command))
        return std::string("Usage: trevalon-cli ") + rule->Synopsis + "\n" + rule->Text + "\n" +
               OptionsText(command) + "\n" + ExitStatus +
               (command == "fetch" || command == "store" ? std::string("\n") + FilesText : "");
    std::string text = R"(Usage: trevalon-cli COMMAND [ARGUMENT] [OPTION]...
Fetches and stores frame shapes (traces) of spectacle jobs on an OMA lab host,
and reads, changes and prints job files, for lab scripts. Its texts stay in
English, whatever the desktop's language, so that scripts can read them.

Commands:
)";
    for (const TCommandRule& rule : Commands) {
        std::string synopsis = rule.Synopsis;
        synopsis.resize(synopsis.find(" [OPTION]..."));
        synopsis = "  " + synopsis;
        synopsis += synopsis.size() < 26 ? std::string(26 - synopsis.size(), ' ') : "  ";
        text += synopsis + rule.Summary + "\n";
    }
    text += "\n'trevalon-cli COMMAND --help' describes one command and its options.\n\n";
    text += OptionsText({});
    text += R"(
While waiting for the host, the last nine seconds of the reply timeout are
shown on standard error when it is a terminal.

)";
    return text + ExitStatus + "\n" + FilesText;
}
