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

// The result of a command: named values, printed as lines or as one JSON object.
class TReport {
public:
    void Text(const std::string& name, const std::string& value) {
        FFields.push_back({name, JsonString(value), value});
    }
    void Number(const std::string& name, double value) {
        const std::string text = FormatWireNumber(value);
        FFields.push_back({name, text, text});
    }
    void Count(const std::string& name, long long value) {
        FFields.push_back({name, std::to_string(value), std::to_string(value)});
    }
    void List(const std::string& name, const std::vector<std::string>& values) {
        std::string json = "[";
        std::string text;
        for (const std::string& value : values) {
            json += (json.size() > 1 ? "," : "") + JsonString(value);
            text += (text.empty() ? "" : " ") + value;
        }
        FFields.push_back({name, json + "]", text});
    }
    // The text of the field Name; empty when there is none.
    std::string Find(const std::string& name) const {
        for (const TField& field : FFields)
            if (field.Name == name) return field.Text;
        return {};
    }
    void Print(std::ostream& out, bool json) const {
        if (!json) {
            for (const TField& field : FFields) out << field.Name << ": " << field.Text << "\n";
            return;
        }
        out << "{";
        for (std::size_t i = 0; i < FFields.size(); ++i)
            out << (i ? "," : "") << JsonString(FFields[i].Name) << ":" << FFields[i].Json;
        out << "}\n";
    }

private:
    struct TField {
        std::string Name, Json, Text;
    };
    std::vector<TField> FFields;
};

// The shape's figures as the window shows them; Points, when given, is the
// count its trace was written with.
void ShapeFigures(TReport& report, const TTraceInfo& shape, int points = 0) {
    report.Number("box A", shape.HBox);
    report.Number("box B", shape.VBox);
    report.Number("circumference", shape.Circ);
    report.Number("DBL", shape.DBL);
    report.Count("points", points > 0 ? points : RadiusCount(shape.Radii));
}

// --- Inputs ---------------------------------------------------------------------

TNameValueList LoadSettings(const TCliOptions& options) {
    TNameValueList settings;
    std::string fileName = options.Settings;
    if (fileName.empty()) {
        // The window's file: the program beside this one.
        const std::filesystem::path self = PathOf(OwnProgramFile());
        std::filesystem::path window = self.parent_path() / "trevalon";
        window += self.extension();
        fileName = SettingsFileFor(Utf8Of(window));
        if (!settings.LoadFromFile(fileName)) SetDefaultSettings(settings);
    } else if (!settings.LoadFromFile(fileName)) {
        throw ECliFailure(exFile, "Cannot read the settings file " + fileName);
    }
    if (!options.Port.empty()) settings.SetValue("Port", options.Port);
    if (settings.Value("Port").empty())
        throw ECliFailure(exUsage, "No port is chosen: give --port NAME or a settings file that names one");
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

std::string CheckedTray(const std::string& tray) {
    if (std::string fault = TrayNumberFault(std::string_view(tray)); !fault.empty())
        throw ECliFailure(exUsage, fault);
    return tray;
}

// Writes the job's working shape as a job file in Format at Count points, as
// Save Job File does.
void WriteJob(const std::string& fileName, const TJob& job, int format, int count,
              const std::string& tray) {
    try {
        WriteJobFileBytes(PathOf(fileName), job.FileText(format, count, tray, job.Working.DBL));
    } catch (const std::exception& e) {
        throw ECliFailure(exFile, e.what());
    }
}

// --- The host -----------------------------------------------------------------------

// Fails with exit 6 when FileName (for What) could not be written later, so a
// conversation never runs only to lose its log. Leaves no file behind.
void CheckWritable(const std::string& fileName, const char* what) {
    if (fileName.empty()) return;
    std::error_code ec;
    const bool existed = std::filesystem::exists(PathOf(fileName), ec);
    std::FILE* file = OpenUtf8File(fileName, existed ? "r+b" : "wb");
    if (file == nullptr)
        throw ECliFailure(exFile, std::string("cannot write the ") + what + " " + fileName + ": " +
                                      std::strerror(errno));
    std::fclose(file);
    if (!existed) RemoveUtf8File(fileName);
}

// Opens the link the settings name and runs one conversation on it.
class THostRun {
public:
    THostRun(const TCliOptions& options, std::ostream& err)
        : FOptions(options), FErr(err), FSettings(LoadSettings(options)) {
        CheckWritable(FOptions.Log, "communication log");
        CheckWritable(FOptions.Transcript, "session transcript");
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
            error = FSession->Session().OpenLink(FSettings);
        } catch (const std::exception& e) {
            throw ECliFailure(exFile, std::string("The settings cannot be used: ") + e.what());
        }
        if (!error.empty()) throw ECliFailure(exLink, error);
        if (ErrorIsTerminal())
            FSession->OnCountdown = [this](std::int32_t seconds) {
                FErr << "\r" << (seconds > 0 ? "Waiting for the host: " + std::to_string(seconds) + " s "
                                             : std::string(28, ' ') + "\r")
                     << std::flush;
            };
    }
    ~THostRun() {
        FSession.reset();
        FPort.reset();
    }
    THostRun(const THostRun&) = delete;
    THostRun& operator=(const THostRun&) = delete;

    const TNameValueList& Settings() const { return FSettings; }
    TCliSession& Session() { return *FSession; }

    // The outcome's failure as the exit code and message.
    static void Check(const TCliOutcome& outcome) {
        switch (outcome.Kind) {
            case TCliOutcome::okJob:
            case TCliOutcome::okStored:
                return;
            case TCliOutcome::okNotStarted:
                throw ECliFailure(exLink, outcome.Message);
            case TCliOutcome::okTimeout:
                throw ECliFailure(exTimeout, outcome.Message);
            case TCliOutcome::okFailed:
                throw ECliFailure(exHost, outcome.Message);
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
    if (const std::string failures = run.WriteLog(); !failures.empty())
        report.Text("write_error", failures);
    THostRun::Check(outcome);
    return outcome;
}

// --- Commands ---------------------------------------------------------------------------

void Fetch(const TCliOptions& options, TReport& report, std::ostream& err) {
    const std::string tray = CheckedTray(options.Arguments[0]);
    THostRun run(options, err);
    TCliOutcome outcome =
        Converse(run, report, [&] { return run.Session().Request(run.Settings(), tray); });
    TJob job;
    job.TakeHostJob(outcome.Job);
    report.Text("tray", tray);
    ShapeFigures(report, job.Received);
    report.Count("bytes sent", static_cast<long long>(outcome.BytesSent));
    report.Count("bytes received", static_cast<long long>(outcome.BytesReceived));
    if (!options.Output.empty()) {
        WriteJob(options.Output, job, options.Format.value_or(1), RadiusCount(job.Received.Radii),
                 tray);
        report.Text("file", options.Output);
    }
}

void Store(const TCliOptions& options, TReport& report, std::ostream& err) {
    const TJobFileData file = ReadJob(options.Arguments[0]);
    const std::string tray = CheckedTray(options.Tray.empty() ? file.Tray : options.Tray);
    if (tray.empty()) throw ECliFailure(exUsage, "The file names no job: give --tray N");
    TStoreSource source;
    source.Working = MeasuredShape(file);
    for (const std::string& record : file.Records) source.Records.Add(record);
    // A trace that few points describe no frame: nothing goes to the host.
    if (std::string fault = PointCountFault(RadiusCount(source.Working.Radii), "store");
        !fault.empty())
        throw ECliFailure(exFile, options.Arguments[0] + ": " + fault);
    THostRun run(options, err);
    TCliOutcome outcome = Converse(run, report, [&] {
        return run.Session().Store(run.Settings(), tray, source, source.Working.DBL);
    });
    report.Text("tray", tray);
    report.Text("verdict", outcome.Message);
    if (outcome.Upload) report.Count("points stored", RadiusCount(outcome.Upload->Working.Radii));
}

void Show(const TCliOptions& options, TReport& report) {
    const TJobFileData file = ReadJob(options.Arguments[0]);
    report.Text("file", options.Arguments[0]);
    report.Text("tray", file.Tray);
    report.Count("format", file.Format);
    ShapeFigures(report, MeasuredShape(file));
}

// Each option is what typing its value into the window's edit does: every
// change starts again from the received shape, the other edits keep what they
// show, the DBL edit first.
void Edit(const TCliOptions& options, TReport& report) {
    if (options.LockB && options.HBox)
        throw ECliFailure(exUsage, "--hbox cannot be changed with --lock-b: box A stays at its datum");
    if (options.Circ && (options.HBox || options.VBox || options.LockB))
        throw ECliFailure(exUsage,
                          "--circ cannot be combined with --hbox, --vbox or --lock-b: each change "
                          "starts again from the shape as read");
    TJob job;
    TJobFileData file;
    try {
        file = job.Open(ReadJobFileBytes(PathOf(options.Arguments[0])));
    } catch (const std::exception& e) {
        throw ECliFailure(exFile, options.Arguments[0] + ": " + e.what());
    }
    const int format = options.Format.value_or(file.Format >= 1 && file.Format <= 4 ? file.Format : 1);
    const int points = options.Points.value_or(RadiusCount(job.Received.Radii));
    if (std::string fault = PointCountFault(points, "write"); !fault.empty())
        throw ECliFailure(exUsage, fault);
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
    report.Text("file", options.Output);
    report.Count("format", format);
    ShapeFigures(report, job.Working, points);
}

void Print(const TCliOptions& options, TReport& report) {
    const TJobFileData file = ReadJob(options.Arguments[0]);
    const TTraceInfo shape = MeasuredShape(file);
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
        throw ECliFailure(exFile, e.what());
    }
    report.Text("file", options.Output);
    ShapeFigures(report, shape);
}

void Ports(TReport& report) {
    THooks hooks;
    TComPort port(hooks.ComPortHooks());
    report.List("ports", ListUsablePorts(port, hooks));
}

}  // namespace

int RunCliCommand(const TCliOptions& options, std::ostream& out, std::ostream& err) {
    TReport report;
    report.Text("command", options.Command);
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
            TReport failure;
            failure.Text("command", options.Command);
            failure.Count("exit", e.Code);
            failure.Text("error", e.what());
            if (const std::string written = report.Find("write_error"); !written.empty())
                failure.Text("write_error", written);
            failure.Print(out, true);
        }
        err << "trevalon-cli: " << e.what() << "\n";
        return e.Code;
    }
    report.Print(out, options.Json);
    return exOk;
}
