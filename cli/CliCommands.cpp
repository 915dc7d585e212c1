#include "cli/CliCommands.h"

#include <QGuiApplication>
#include <QString>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/CommLog.h"
#include "app/TranscriptFiles.h"
#include "app/ShapePrint.h"
#include "app/TrayNumber.h"
#include "cli/CliPlatform.h"
#include "cli/CliSession.h"
#include "link/Link.h"
#include "oma/HostPackets.h"
#include "oma/JobFile.h"
#include "oma/OmaErrors.h"
#include "settings/Hooks.h"
#include "settings/Settings.h"
#include "settings/SettingsLocation.h"
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

void ShapeFigures(TReport& report, const TTraceInfo& shape) {
    report.Number("box A", shape.HBox);
    report.Number("box B", shape.VBox);
    report.Number("circumference", shape.Circ);
    report.Number("DBL", shape.DBL);
    report.Count("points", RadiusCount(shape.Radii));
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

// Writes Shape with Records as a job file in Format, as Save Job File does.
// A shape read from a file (Opened) goes back into that file, every other
// line as it was read.
void WriteJob(const std::string& fileName, std::vector<std::string> records, const TTraceInfo& shape,
              int format, const std::string& tray, const TOmaJobFile* opened = nullptr) {
    try {
        const TJobFileShape file{shape.Radii, shape.HBox, shape.VBox, shape.Circ, shape.DBL};
        if (opened) {
            WriteJobFileBytes(PathOf(fileName), RewriteJobFile(*opened, file, format));
            return;
        }
        if (!tray.empty()) SetJobRecord(records, "JOB", "\"" + tray + "\"");
        WriteJobFileBytes(PathOf(fileName), BuildJobFile(records, file, format));
    } catch (const std::exception& e) {
        throw ECliFailure(exFile, e.what());
    }
}

// --- The host -----------------------------------------------------------------------

// Opens the link the settings name and runs one conversation on it.
class THostRun {
public:
    THostRun(const TCliOptions& options, std::ostream& err)
        : FOptions(options), FErr(err), FSettings(LoadSettings(options)) {
        FLoop = std::make_shared<TCliLoop>();
        TComPortHooks hooks;
        hooks.OwnerThread = FLoop;
        hooks.ReportError = [this](const std::string& message) { FErr << message << "\n"; };
        FPort = std::make_unique<TComPort>(hooks);
        TLinkSettings& link = FLinkSettings;
        try {
            link = LinkSettingsFrom(FSettings);
        } catch (const std::exception& e) {
            throw ECliFailure(exFile, std::string("The settings cannot be used: ") + e.what());
        }
        FLink = NewLink(link.Port, hooks, *FPort);
        try {
            FLink->Open(link);
        } catch (const std::exception& e) {
            throw ECliFailure(exLink, e.what());
        }
        FSession = std::make_unique<TCliSession>(*FLink, *FLoop, FLog);
        if (ErrorIsTerminal())
            FSession->OnCountdown = [this](std::int32_t seconds) {
                FErr << "\r" << (seconds > 0 ? "Waiting for the host: " + std::to_string(seconds) + " s "
                                             : std::string(28, ' ') + "\r")
                     << std::flush;
            };
    }
    ~THostRun() {
        FSession.reset();
        FLink.reset();
        FPort.reset();
    }
    THostRun(const THostRun&) = delete;
    THostRun& operator=(const THostRun&) = delete;

    // Starts recording when --transcript asks for it.
    void BeginTranscript(const char* kind, const std::string& tray) {
        if (FOptions.Transcript.empty()) return;
        const TTranscriptHeader header = TranscriptHeaderFor(
            FSettings, kind, tray, TREVALON_VERSION, TREVALON_CLI_PLATFORM);
        FRecorder = std::make_unique<TTranscriptRecorder>(header, [] {
            using namespace std::chrono;
            return static_cast<std::uint32_t>(
                duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
        });
        FSession->SetRecorder(FRecorder.get());
    }

    TConversationSettings Settings() const {
        return {FSettings.Value("TracerMode") == "No Init", FSettings.Value("PauseMode") == "Y"};
    }
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

    // Writes the communication log where --log asks; the conversation's
    // result stands, so a log that cannot be written is only reported.
    bool WriteLog() {
        bool written = true;
        std::string error;
        if (!FOptions.Log.empty() && !WriteLogFile(FOptions.Log, FLog.Text(), error)) {
            FErr << "trevalon-cli: cannot write the communication log " << FOptions.Log << ": "
                 << error << "\n";
            written = false;
        }
        if (FRecorder && !WriteTranscriptFile(FOptions.Transcript, FRecorder->Text(), error)) {
            FErr << "trevalon-cli: cannot write the session transcript " << FOptions.Transcript
                 << ": " << error << "\n";
            written = false;
        }
        return written;
    }

private:
    const TCliOptions& FOptions;
    std::ostream& FErr;
    TNameValueList FSettings;
    TLinkSettings FLinkSettings;
    TCommLog FLog;
    std::unique_ptr<TTranscriptRecorder> FRecorder;
    std::shared_ptr<TCliLoop> FLoop;
    std::unique_ptr<TComPort> FPort;
    std::unique_ptr<TLink> FLink;
    std::unique_ptr<TCliSession> FSession;
};

// Runs Conversation, writes the log whatever came of it, then checks the outcome.
template <class F>
TCliOutcome Converse(THostRun& run, F&& conversation) {
    TCliOutcome outcome = conversation();
    const bool logged = run.WriteLog();
    THostRun::Check(outcome);
    if (!logged) throw ECliFailure(exFile, "The communication log or transcript was not written");
    return outcome;
}

// --- Commands ---------------------------------------------------------------------------

void Fetch(const TCliOptions& options, TReport& report, std::ostream& err) {
    const std::string tray = CheckedTray(options.Arguments[0]);
    THostRun run(options, err);
    run.BeginTranscript("request", tray);
    TCliOutcome outcome =
        Converse(run, [&] { return run.Session().Request(tray, run.Settings()); });
    TTraceInfo shape;
    shape.Radii = outcome.Job.Radii;
    shape.DBL = outcome.Job.DBL;
    MeasureTrace(shape);
    report.Text("tray", tray);
    ShapeFigures(report, shape);
    report.Count("bytes sent", static_cast<long long>(outcome.BytesSent));
    report.Count("bytes received", static_cast<long long>(outcome.BytesReceived));
    if (!options.Output.empty()) {
        WriteJob(options.Output, outcome.Job.Records, shape, options.Format.value_or(1), tray);
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
    THostRun run(options, err);
    run.BeginTranscript("store", tray);
    TCliOutcome outcome = Converse(run, [&] {
        return run.Session().Store(tray, source, source.Working.DBL, run.Settings());
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

void Edit(const TCliOptions& options, TReport& report) {
    const TJobFileData file = ReadJob(options.Arguments[0]);
    const TTraceInfo received = MeasuredShape(file);
    TTraceInfo working = received;
    const bool box = options.HBox || options.VBox || options.LockB;
    if (box || options.Circ) {
        try {
            working.Radii = ChangedRadii(received.Radii, box ? scBox : scCirc, options.LockB,
                                         [&](TShapeValue which) {
                                             switch (which) {
                                                 case svBoxA:
                                                     return options.HBox.value_or(received.HBox);
                                                 case svBoxB:
                                                     return options.VBox.value_or(received.VBox);
                                                 default:
                                                     return *options.Circ;
                                             }
                                         });
        } catch (const std::exception& e) {
            throw ECliFailure(exFailure, e.what());
        }
    }
    if (options.DBL) working.DBL = *options.DBL;
    if (options.Rotate) working.Radii = RotatedRadii(std::move(working.Radii), *options.Rotate);
    MeasureTrace(working);
    const int format = options.Format.value_or(file.Format >= 1 && file.Format <= 4 ? file.Format : 1);
    const int points = options.Points.value_or(RadiusCount(received.Radii));
    // The shape at the point count it is written with. The file keeps the box
    // values of the shape as edited; the figures are those of the shape as written.
    TTraceInfo written = working;
    const bool resampled = points != RadiusCount(working.Radii);
    if (resampled) {
        TTraceCalc calc;
        calc.LoadTrace(working.Radii);
        calc.Resample(static_cast<std::uint16_t>(points));
        written.Radii = calc.GetTrace();
    }
    WriteJob(options.Output, file.Records, written, format, {}, &file.File);
    report.Text("file", options.Output);
    report.Count("format", format);
    if (resampled) MeasureTrace(written);
    ShapeFigures(report, written);
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
            failure.Print(out, true);
        }
        err << "trevalon-cli: " << e.what() << "\n";
        return e.Code;
    }
    report.Print(out, options.Json);
    return exOk;
}
