#include "cli/CliCommands.h"

#include <QGuiApplication>
#include <QString>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "base/Utf8File.h"
#include "cli/CliPlatform.h"
#include "cli/CliSession.h"
#include "conversation/Session.h"
#include "link/LinkName.h"
#include "drawing/ShapePrint.h"
#include "oma/HostPackets.h"
#include "oma/JobFile.h"
#include "oma/OmaErrors.h"
#include "settings/Hooks.h"
#include "settings/Settings.h"
#include "settings/SettingsLocation.h"
#include "job/Job.h"
#include "oma/OmaTrace.h"
#include "shape/ShapeEdit.h"
#include "shape/TrceCalc.h"

namespace {

std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// A failure with its exit code; what() is the message for standard error.
class ECliFailure : public std::runtime_error {
public:
    ECliFailure(TExitCode code, const std::string& message)
        : std::runtime_error(message), Code(code) {}
    TExitCode Code;
};

std::string JsonString(std::string_view bytes) {
    std::string out = "\"";
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte >= 0x7F) {
            // Bytes are single-byte text: above ASCII they are Latin-1.
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// The result of a command: named values, printed as "label: value" lines or
// as one JSON object under each value's key. A key names one figure in every
// command (the README's table and cli/trevalon-cli.schema.json).
class TReport {
public:
    void Text(const char* key, const char* label, const std::string& value) {
        Put(key, label, JsonString(value), value);
    }
    void Number(const char* key, const char* label, double value) {
        const std::string text = FormatWireNumber(value);
        Put(key, label, text, text);
    }
    void Count(const char* key, const char* label, long long value) {
        Put(key, label, std::to_string(value), std::to_string(value));
    }
    void List(const char* key, const char* label, const std::vector<std::string>& values) {
        std::string json = "[";
        std::string text;
        for (const std::string& value : values) {
            json += (json.size() > 1 ? "," : "") + JsonString(value);
            text += (text.empty() ? "" : " ") + value;
        }
        Put(key, label, json + "]", text);
    }
    // Field Key of From as it stands there, when From has it.
    void Take(const TReport& from, const std::string& key) {
        for (const TField& field : from.FFields)
            if (field.Key == key) FFields.push_back(field);
    }
    void Print(std::ostream& out, bool json) const {
        if (!json) {
            for (const TField& field : FFields)
                if (field.Label) out << field.Label << ": " << field.Text << "\n";
            return;
        }
        out << "{";
        for (std::size_t i = 0; i < FFields.size(); ++i)
            out << (i ? "," : "") << JsonString(FFields[i].Key) << ":" << FFields[i].Json;
        out << "}\n";
    }

private:
    struct TField {
        std::string Key;
        const char* Label;  // nullptr: JSON only
        std::string Json, Text;
    };
    void Put(const char* key, const char* label, std::string json, std::string text) {
        // A later value of the same key replaces the earlier one in place.
        for (TField& field : FFields)
            if (field.Key == key) {
                field.Json = std::move(json);
                field.Text = std::move(text);
                return;
            }
        FFields.push_back({key, label, std::move(json), std::move(text)});
    }
    std::vector<TField> FFields;
};

// The shape's figures as the window shows them; Points, when given, is the
// count its trace was written with.
void ShapeFigures(TReport& report, const TTraceInfo& shape, int points = 0) {
    report.Number("box_a", "box A", shape.HBox);
    report.Number("box_b", "box B", shape.VBox);
    report.Number("circ", "circumference", shape.Circ);
    report.Number("dbl", "DBL", shape.DBL);
    report.Count("points", "points", points > 0 ? points : RadiusCount(shape.Radii));
}

// --- Inputs ---------------------------------------------------------------------

// Fails with exit 6 when FileName (for What) could not be written later, so
// nothing runs only to lose its result. Leaves no file behind.
void CheckWritable(const std::string& fileName, const char* what) {
    if (fileName.empty()) return;
    std::error_code ec;
    const bool existed = std::filesystem::exists(PathOf(fileName), ec);
    if (existed && std::filesystem::is_directory(PathOf(fileName), ec))
        throw ECliFailure(exFile, std::string("cannot write the ") + what + " " + fileName + ": " +
                                      std::strerror(EISDIR));
    std::FILE* file = OpenUtf8File(fileName, existed ? "r+b" : "wb");
    if (file == nullptr)
        throw ECliFailure(exFile, std::string("cannot write the ") + what + " " + fileName + ": " +
                                      std::strerror(errno));
    std::fclose(file);
    if (!existed) RemoveUtf8File(fileName);
}

// The settings file fetch and store read: --settings, or the window's.
std::string SettingsFileName(const TCliOptions& options) {
    if (!options.Settings.empty()) return options.Settings;
    const std::filesystem::path self = PathOf(OwnProgramFile());
    std::filesystem::path window = self.parent_path() / "trevalon";
    window += self.extension();
    // A build tree makes the window in app/ beside cli/: its settings are
    // the ones scripts/run.sh writes.
    std::filesystem::path built = self.parent_path().parent_path() / "app" / "trevalon";
    built += self.extension();
    std::error_code ec;
    if (!std::filesystem::exists(window, ec) && std::filesystem::exists(built, ec)) window = built;
    return SettingsFileFor(Utf8Of(window));
}

TNameValueList LoadSettings(const TCliOptions& options, const std::string& fileName) {
    TNameValueList settings;
    if (!settings.LoadFromFile(fileName)) {
        // Without a file of its own the window starts from its defaults too.
        if (options.Settings.empty()) {
            SetDefaultSettings(settings);
        } else {
            const int error = errno;
            throw ECliFailure(exFile, "cannot read the settings file " + fileName +
                                          (error ? std::string(": ") + std::strerror(error) : ""));
        }
    }
    if (!options.Port.empty()) settings.SetValue("Port", options.Port);
    if (settings.Value("Port").empty())
        throw ECliFailure(exUsage, "no port is chosen: give --port NAME, or a settings file with "
                                   "a Port line (" + fileName + " has none)");
    return settings;
}

TJobFileData ReadJob(const std::string& fileName) {
    try {
        return ParseJobFile(ReadJobFileBytes(PathOf(fileName)));
    } catch (const std::exception& e) {
        throw ECliFailure(exFile, fileName + ": " + e.what());
    }
}

TTraceInfo MeasuredShape(const TJobFileData& file) {
    TTraceInfo shape;
    shape.Radii = file.Radii;
    shape.DBL = file.DBL;
    MeasureTrace(shape);
    return shape;
}

// Writes the job's working shape as a job file in Format at Count points, as
// Save Job File does.
void WriteJob(const std::string& fileName, const TJob& job, int format, int count,
              const std::string& tray) {
    try {
        WriteJobFileBytes(PathOf(fileName), job.FileText(format, count, tray, job.Working.DBL));
    } catch (const std::exception& e) {
        throw ECliFailure(exFile, "cannot write the job file " + fileName + ": " + e.what());
    }
}

// --- The host -----------------------------------------------------------------------

// Opens the link the settings name and runs one conversation on it.
class THostRun {
public:
    // Everything that can be checked without the host has been: the link opens last.
    THostRun(const TCliOptions& options, std::ostream& err)
        : FOptions(options),
          FErr(err),
          FSettingsFile(SettingsFileName(options)),
          FSettings(LoadSettings(options, FSettingsFile)) {
        CheckWritable(FOptions.Log, "communication log");
        CheckWritable(FOptions.Transcript, "session transcript");
    }
    ~THostRun() {
        FSession.reset();
        FPort.reset();
    }
    THostRun(const THostRun&) = delete;
    THostRun& operator=(const THostRun&) = delete;

    void Open() {
        FLoop = std::make_shared<TCliLoop>();
        TComPortHooks hooks;
        hooks.OwnerThread = FLoop;
        hooks.ReportError = [this](const std::string& message) { FErr << message << "\n"; };
        FPort = std::make_unique<TComPort>(hooks);
        TSessionOptions sessionOptions;
        sessionOptions.Version = TREVALON_VERSION;
        sessionOptions.Platform = TREVALON_CLI_PLATFORM;
        sessionOptions.TranscriptFile = FOptions.Transcript;
        FSession = std::make_unique<TCliSession>(FLoop, hooks, *FPort, std::move(sessionOptions));
        FSession->OnWarning = [this](const std::string& text) {
            FErr << "trevalon-cli: " << text << "\n";
        };
        std::string error;
        try {
            error = FSession->Session().OpenLink(FSettings, FSettingsFile);
        } catch (const ESettingsValue& e) {
            throw ECliFailure(exFile, e.what());
        }
        if (!error.empty()) throw ECliFailure(exLink, error + PortDeviceNote(FSettings.Value("Port")));
        if (ErrorIsTerminal())
            FSession->OnCountdown = [this](std::int32_t seconds) {
                FErr << "\r" << (seconds > 0 ? "Waiting for the host: " + std::to_string(seconds) + " s "
                                             : std::string(28, ' ') + "\r")
                     << std::flush;
            };
    }

    const TNameValueList& Settings() const { return FSettings; }
    TCliSession& Session() { return *FSession; }

    // The outcome's failure as the exit code and message; the host's own
    // STATUS text goes beside the program's.
    static void Check(const TCliOutcome& outcome, TReport& report) {
        std::string message = outcome.Message;
        if (outcome.HostStatus) {
            report.Count("host_status", "host status", outcome.HostStatus->Code);
            report.Text("host_text", "host text", outcome.HostStatus->Text);
            if (!outcome.HostStatus->Text.empty() && outcome.HostStatus->Text != message)
                message += " (the host said: STATUS=" + std::to_string(outcome.HostStatus->Code) +
                           " \"" + outcome.HostStatus->Text + "\")";
        }
        switch (outcome.Kind) {
            case TCliOutcome::okJob:
            case TCliOutcome::okStored:
                return;
            case TCliOutcome::okNotStarted:
                throw ECliFailure(exLink, message);
            case TCliOutcome::okTimeout:
                throw ECliFailure(exTimeout, message);
            case TCliOutcome::okFailed:
                throw ECliFailure(exHost, message);
        }
    }

    // Writes the communication log where --log asks and reports a transcript
    // the session could not write. The conversation's outcome stands either
    // way: what could not be written is said on Err and returned.
    std::string WriteLog() {
        std::string failures;
        const auto report = [&](const std::string& text) {
            FErr << "trevalon-cli: " << text << "\n";
            failures += (failures.empty() ? "" : "; ") + text;
        };
        std::string error;
        if (!FOptions.Log.empty() &&
            !WriteUtf8File(FOptions.Log, FSession->Session().Log().Text(), error))
            report("cannot write the communication log " + FOptions.Log + ": " + error);
        const std::string& transcript = FSession->Session().TranscriptFileError();
        if (!transcript.empty())
            report("cannot write the session transcript " + FOptions.Transcript + ": " + transcript);
        return failures;
    }

private:
    const TCliOptions& FOptions;
    std::ostream& FErr;
    std::string FSettingsFile;
    TNameValueList FSettings;
    std::shared_ptr<TCliLoop> FLoop;
    std::unique_ptr<TComPort> FPort;
    std::unique_ptr<TCliSession> FSession;
};

// Runs Conversation, writes the log whatever came of it, then checks the
// outcome. A log that could not be written goes into the report beside it.
template <class F>
TCliOutcome Converse(THostRun& run, TReport& report, F&& conversation) {
    TCliOutcome outcome = conversation();
    report.Count("bytes_sent", "bytes sent", static_cast<long long>(outcome.BytesSent));
    report.Count("bytes_received", "bytes received", static_cast<long long>(outcome.BytesReceived));
    if (const std::string failures = run.WriteLog(); !failures.empty())
        report.Text("write_error", "write error", failures);
    THostRun::Check(outcome, report);
    return outcome;
}

// --- Commands ---------------------------------------------------------------------------

void Fetch(const TCliOptions& options, TReport& report, std::ostream& err) {
    const std::string& tray = options.Arguments[0];
    report.Text("tray", "tray", tray);
    THostRun run(options, err);
    CheckWritable(options.Output, "job file");
    run.Open();
    TCliOutcome outcome =
        Converse(run, report, [&] { return run.Session().Request(run.Settings(), tray); });
    TJob job;
    job.TakeHostJob(outcome.Job);
    report.Count("format", "format", outcome.Job.Format.empty() ? 1 : outcome.Job.Format[0] - '0');
    ShapeFigures(report, job.Received);
    if (!options.Output.empty()) {
        WriteJob(options.Output, job, options.Format.value_or(1), RadiusCount(job.Received.Radii),
                 tray);
        report.Text("output", "output", options.Output);
    }
}

void Store(const TCliOptions& options, TReport& report, std::ostream& err) {
    const std::string& fileName = options.Arguments[0];
    report.Text("file", "file", fileName);
    const TJobFileData file = ReadJob(fileName);
    const std::string tray = options.Tray.empty() ? file.Tray : options.Tray;
    if (std::string fault = TrayArgumentFault(tray); !fault.empty())
        throw ECliFailure(exUsage, tray.empty() ? fileName + " names no job (no JOB record): give --tray TRAY"
                                                : fileName + ": JOB " + fault);
    report.Text("tray", "tray", tray);
    TStoreSource source;
    source.Working = MeasuredShape(file);
    for (const std::string& record : file.Records) source.Records.Add(record);
    // A trace that few points describe no frame: nothing goes to the host.
    if (std::string fault = PointCountFault(RadiusCount(source.Working.Radii), "store");
        !fault.empty())
        throw ECliFailure(exFile, fileName + ": " + fault);
    THostRun run(options, err);
    run.Open();
    TCliOutcome outcome = Converse(run, report, [&] {
        return run.Session().Store(run.Settings(), tray, source, source.Working.DBL);
    });
    report.Text("verdict", "verdict", outcome.Message);
    if (outcome.Upload) {
        const TStoreSource& upload = *outcome.Upload;
        // The host's grant names the format; one it made up is not reported.
        if (upload.Format.size() == 1 && upload.Format[0] >= '1' && upload.Format[0] <= '4')
            report.Count("format", "format", upload.Format[0] - '0');
        ShapeFigures(report, source.Working, RadiusCount(upload.Working.Radii));
    }
}

void Show(const TCliOptions& options, TReport& report) {
    const TJobFileData file = ReadJob(options.Arguments[0]);
    report.Text("file", "file", options.Arguments[0]);
    report.Text("tray", "tray", file.Tray);
    report.Count("format", "format", file.Format);
    ShapeFigures(report, MeasuredShape(file));
}

// Each option is what typing its value into the window's edit does: every
// change starts again from the received shape, the other edits keep what they
// show, the DBL edit first.
void Edit(const TCliOptions& options, TReport& report) {
    const std::string& fileName = options.Arguments[0];
    report.Text("file", "file", fileName);
    TJob job;
    TJobFileData file;
    try {
        file = job.Open(ReadJobFileBytes(PathOf(fileName)));
    } catch (const std::exception& e) {
        throw ECliFailure(exFile, fileName + ": " + e.what());
    }
    CheckWritable(options.Output, "job file");
    const int format = options.Format.value_or(file.Format >= 1 && file.Format <= 4 ? file.Format : 1);
    const int points = options.Points.value_or(RadiusCount(job.Received.Radii));
    if (std::string fault = PointCountFault(points, "write"); !fault.empty())
        throw ECliFailure(exFile, fileName + ": " + fault + ": give --points N");
    try {
        if (options.DBL) job.Change(scNone, options.LockB, {}, *options.DBL);
        const double dbl = options.DBL.value_or(ShownValue(job.Working.DBL));
        if (options.HBox || options.VBox || options.LockB) {
            const double a = options.HBox.value_or(ShownValue(job.Working.HBox));
            const double b = options.VBox.value_or(ShownValue(job.Working.VBox));
            job.Change(scBox, options.LockB,
                       [&](TShapeValue which) { return which == svBoxA ? a : b; }, dbl);
        } else if (options.Circ) {
            job.Change(scCirc, options.LockB, [&](TShapeValue) { return *options.Circ; }, dbl);
        }
        if (options.Rotate) job.Rotate(*options.Rotate);
    } catch (const std::exception& e) {
        throw ECliFailure(exFailure, e.what());
    }
    WriteJob(options.Output, job, format, points, {});
    report.Text("output", "output", options.Output);
    report.Text("tray", "tray", file.Tray);
    report.Count("format", "format", format);
    ShapeFigures(report, job.Working, points);
}

// Qt's own warnings (a runtime folder, a painter that could not begin) say
// nothing a script can act on; the command's message says what failed.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) std::fprintf(stderr, "trevalon-cli: %s\n", qPrintable(message));
}

void Print(const TCliOptions& options, TReport& report) {
    const std::string& fileName = options.Arguments[0];
    report.Text("file", "file", fileName);
    const TJobFileData file = ReadJob(fileName);
    CheckWritable(options.Output, "PDF");
    const TTraceInfo shape = MeasuredShape(file);
    qInstallMessageHandler(QuietQtMessages);
    // Fonts and painting need a Qt application, never a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "trevalon-cli";
    char* argv[] = {name, nullptr};
    QGuiApplication application(argc, argv);
    const TPrintSheet sheet = PrintSheetFor(
        shape, QString::fromLatin1(file.Tray.data(), static_cast<qsizetype>(file.Tray.size())));
    try {
        SaveShapeSheetPdf(QString::fromStdString(options.Output), sheet);
    } catch (const std::exception& e) {
        throw ECliFailure(exFile, "cannot write the PDF " + options.Output + ": " + e.what());
    }
    report.Text("output", "output", options.Output);
    report.Text("tray", "tray", file.Tray);
    report.Count("format", "format", file.Format);
    ShapeFigures(report, shape);
}

void Ports(TReport& report) {
    THooks hooks;
    TComPort port(hooks.ComPortHooks());
    report.List("ports", "ports", ListUsablePorts(port, hooks));
}

}  // namespace

void PrintCliFailure(std::ostream& out, const std::string& command, int code, const std::string& error) {
    TReport failure;
    failure.Text("command", nullptr, command);
    failure.Count("exit", nullptr, code);
    failure.Text("error", nullptr, error);
    failure.Print(out, true);
}

void PrintCliInfo(std::ostream& out, const std::string& command, const char* key, const std::string& text) {
    TReport info;
    info.Text("command", nullptr, command);
    info.Count("exit", nullptr, exOk);
    info.Text(key, nullptr, text);
    info.Print(out, true);
}

int RunCliCommand(const TCliOptions& options, std::ostream& out, std::ostream& err) {
    TReport report;
    report.Text("command", nullptr, options.Command);
    report.Count("exit", nullptr, exOk);
    try {
        if (options.Command == "fetch")
            Fetch(options, report, err);
        else if (options.Command == "store")
            Store(options, report, err);
        else if (options.Command == "show")
            Show(options, report);
        else if (options.Command == "edit")
            Edit(options, report);
        else if (options.Command == "print")
            Print(options, report);
        else if (options.Command == "ports")
            Ports(report);
    } catch (const ECliFailure& e) {
        if (options.Json) {
            // What the failure leaves known goes with it: the host's words,
            // the bytes exchanged, a log that could not be written.
            TReport failure;
            failure.Text("command", nullptr, options.Command);
            failure.Count("exit", nullptr, e.Code);
            failure.Text("error", nullptr, e.what());
            for (const char* key :
                 {"host_status", "host_text", "bytes_sent", "bytes_received", "write_error"})
                failure.Take(report, key);
            failure.Print(out, true);
        }
        err << "trevalon-cli: " << e.what() << "\n";
        return e.Code;
    }
    report.Print(out, options.Json);
    return exOk;
}
