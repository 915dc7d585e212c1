#include "cli/CliOptions.h"

#include <charconv>
#include <cmath>

#include "oma/OmaTrace.h"

namespace {

struct TCommandRule {
    const char* Name;
    std::size_t Arguments;
};
constexpr TCommandRule Commands[] = {{"fetch", 1}, {"store", 1}, {"show", 1},
                                     {"edit", 1},  {"print", 1}, {"ports", 0}};

double NumberOption(const std::string& option, const std::string& text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || at != end || !std::isfinite(value))
        throw EUsage(option + " takes a number in millimetres with \".\" as the separator, not '" +
                     text + "'");
    return value;
}

int IntegerOption(const std::string& option, const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || at != end)
        throw EUsage(option + " takes a whole number, not '" + text + "'");
    return value;
}

}  // namespace

TCliOptions ParseCliOptions(const std::vector<std::string>& args) {
    TCliOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw EUsage(arg + " needs a value");
            return args[++i];
        };
        if (arg == "--help" || arg == "-h") {
            options.Help = true;
        } else if (arg == "--version") {
            options.Version = true;
        } else if (arg == "--json") {
            options.Json = true;
        } else if (arg == "--lock-b") {
            options.LockB = true;
        } else if (arg == "--settings") {
            options.Settings = value();
        } else if (arg == "--port") {
            options.Port = value();
        } else if (arg == "--log") {
            options.Log = value();
        } else if (arg == "--transcript") {
            options.Transcript = value();
        } else if (arg == "-o" || arg == "--output") {
            options.Output = value();
        } else if (arg == "--tray") {
            options.Tray = value();
        } else if (arg == "--hbox") {
            options.HBox = NumberOption(arg, value());
        } else if (arg == "--vbox") {
            options.VBox = NumberOption(arg, value());
        } else if (arg == "--circ") {
            options.Circ = NumberOption(arg, value());
        } else if (arg == "--dbl") {
            options.DBL = NumberOption(arg, value());
        } else if (arg == "--rotate") {
            options.Rotate = IntegerOption(arg, value());
        } else if (arg == "--format") {
            options.Format = IntegerOption(arg, value());
        } else if (arg == "--points") {
            options.Points = IntegerOption(arg, value());
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw EUsage("unknown option " + arg);
        } else if (options.Command.empty()) {
            options.Command = arg;
        } else {
            options.Arguments.push_back(arg);
        }
    }
    if (options.Help || options.Version) return options;
    if (options.Command.empty()) throw EUsage("no command given");
    const TCommandRule* rule = nullptr;
    for (const TCommandRule& r : Commands)
        if (options.Command == r.Name) rule = &r;
    if (!rule) throw EUsage("unknown command " + options.Command);
    if (options.Arguments.size() != rule->Arguments)
        throw EUsage(options.Command + (rule->Arguments ? " takes one argument" : " takes no argument"));

    const bool edit = options.Command == "edit";
    if (!edit && (options.HBox || options.VBox || options.Circ || options.DBL || options.Rotate ||
                  options.Points || options.LockB))
        throw EUsage("--hbox, --vbox, --circ, --dbl, --rotate, --points and --lock-b belong to edit");
    if (options.Format && !edit && options.Command != "fetch")
        throw EUsage("--format belongs to edit and fetch");
    if (!options.Tray.empty() && options.Command != "store") throw EUsage("--tray belongs to store");
    if ((!options.Transcript.empty() || !options.Log.empty()) && options.Command != "fetch" &&
        options.Command != "store")
        throw EUsage("--log and --transcript belong to fetch and store");
    if ((edit || options.Command == "print") && options.Output.empty())
        throw EUsage(options.Command + " needs -o FILE");
    if (!options.Output.empty() && !edit && options.Command != "print" && options.Command != "fetch")
        throw EUsage("-o belongs to fetch, edit and print");
    // Each change of the window starts again from the shape as received, so
    // a box and a circumference cannot both be asked for.
    if (options.Circ && (options.HBox || options.VBox))
        throw EUsage("--circ cannot be combined with --hbox or --vbox");
    if (options.LockB && options.HBox)
        throw EUsage("--lock-b keeps box A as it is: it cannot be combined with --hbox");
    if (options.Format && (*options.Format < 1 || *options.Format > 4))
        throw EUsage("--format takes 1, 2, 3 or 4");
    if (options.Points)
        if (std::string fault = PointCountFault(*options.Points, "write"); !fault.empty())
            throw EUsage(fault);
    return options;
}

std::string CliHelpText() {
    return R"(Usage: trevalon-cli COMMAND [OPTIONS]
Fetches and stores frame shapes (traces) of spectacle jobs on an OMA lab host,
and reads, changes and prints job files, for lab scripts.

Commands:
  fetch TRAY [-o FILE] [--format N]
                 ask the host for the job's shape; print box A, box B,
                 circumference, DBL and point count; -o writes it as a job
                 file (format 1 unless --format says 1 to 4)
  store FILE [--tray N]
                 store the job file's shape and records on the host under
                 the file's JOB (or tray N); print the host's verdict
  show FILE      print a job file's figures
  edit IN -o OUT [--hbox MM] [--vbox MM] [--circ MM] [--dbl MM]
                 [--rotate STEPS] [--lock-b] [--format N] [--points N]
                 change a job file's shape as typing into the window's
                 edits does (the DBL first; each value change starts
                 again from the shape as read, at 1024 points; --rotate
                 turns by points of the shape as it then is) and write
                 it at the file's point count (or --points N, 100 to
                 4096); a size too small is refused; an unchanged job is
                 written back byte for byte
  print FILE -o FILE.pdf
                 the shape at true scale as a PDF (A4)
  ports          the serial ports that can be opened now

Options:
  --settings FILE  the settings file (default: the window's)
  --port NAME      the port to use instead of the settings' port
  --log FILE       write the communication log to FILE
  --transcript FILE
                   write the session transcript (every byte both ways with
                   its timing, as JSON Lines) to FILE; trevalon-host
                   --replay FILE plays the host's side of it
  --json           print the result as one JSON object
  --help           this text
  --version        the program's version

While waiting for the host, the last nine seconds of the reply timeout are
shown on standard error when it is a terminal.

Exit status:
  0  success
  1  another failure (an edit refused, a PDF not made)
  2  the command line cannot be used
  3  the link to the host cannot be opened
  4  the host refused, has no such job, or its reply cannot be read
  5  the host did not answer in time
  6  a file cannot be read, used or written
)";
}
