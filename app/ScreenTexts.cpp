#include "app/ScreenTexts.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

constexpr char Context[] = "TScreenTexts";

// Patterns are tried in order: a specific one before a general one it
// overlaps ("Opened job file %1 (right eye)" before "Opened job file %1").
const char* const Table[] = {
    // The conversation with the host
    QT_TRANSLATE_NOOP("TScreenTexts", "Ready"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Ver %1"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Sent request to initialize"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Sent information specs to host"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Requesting job %1"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Requesting to store job %1"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Negotiating trace format with host"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Received data"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Storing the shape to job %1"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Job stored"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Timeout waiting for host"),
    QT_TRANSLATE_NOOP("TScreenTexts",
                      "The host's reply was damaged on the line (checksum error); if this host is "
                      "known to send wrong checksums, turn off checksum verification in Settings"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Timeout sending to host: %1 of %2 bytes sent"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Cannot store a trace of %1 points"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Display Log"),
    // The host's replies
    QT_TRANSLATE_NOOP("TScreenTexts", "Did not get positive response from host"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Did not receive status 0 on init"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Did not receive DEF from host (init 2)"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Did not receive TRCFMT from host (init 2)"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Did not find the host's DEF value"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Did not store the shape to the host"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Job not found/not available"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Reply from host is too complex to read"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Reply matching failed: %1"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Cannot find trace data"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Cannot find the trace format (no TRCFMT record)"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Trace type %1 is unsupported"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Trace contains %1 points, but number of points is %2"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Trace data has %1 digits, but %2 points need %3"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Trace data holds \"%1\", which is not a number"),
    QT_TRANSLATE_NOOP("TScreenTexts",
                      "Invalid trace data: point %1 has the value %2, outside 0 to 9999"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Invalid trace data: point %1 has the value %2"),
    QT_TRANSLATE_NOOP("TScreenTexts",
                      "Invalid trace data: %1 points requested, format 4 allows 0 to 4096"),
    QT_TRANSLATE_NOOP("TScreenTexts",
                      "Invalid trace data: format 4 data of %1 bytes exceeds 8193 bytes"),
    QT_TRANSLATE_NOOP("TScreenTexts", "'%1' is not a valid integer value"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Cannot send an empty trace in format 4"),
    QT_TRANSLATE_NOOP("TScreenTexts",
                      "Cannot send a trace of %1 points in format 4 (at most 4096)"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Cannot store a trace of %1 points (%2 to %3)"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Cannot read a trace of %1 points (%2 to %3)"),
    // Job files
    QT_TRANSLATE_NOOP("TScreenTexts", "There is no shape to save"),
    QT_TRANSLATE_NOOP("TScreenTexts", "There is no shape to print"),
    QT_TRANSLATE_NOOP("TScreenTexts", "There is no session transcript to save yet"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Wait until the conversation with the host has ended"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Opened job file %1 (right eye)"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Opened job file %1 (left eye)"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Opened job file %1 (both eyes)"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Opened job file %1"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Saved job file %1"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Saved %1"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Shape printed"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Cannot save the session transcript: %1"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Cannot read the job file: it is not a file"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Cannot read the job file: %1"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Cannot write the job file: %1"),
    QT_TRANSLATE_NOOP("TScreenTexts",
                      "The file is too large for a job file (%1 KiB, at most %2 KiB)"),
    QT_TRANSLATE_NOOP("TScreenTexts", "The file is too large for a job file (at most %1 KiB)"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Tray number may only contain Latin-1 characters"),
    // Shapes
    QT_TRANSLATE_NOOP("TScreenTexts", "Box A Too small"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Box B Too small"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Circ Too small"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Radius %1 mm is outside 0 to 99.99 mm"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Too many points to scale the shape: %1 (at most %2)"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Floating point division by zero"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Invalid floating point operation"),
    // Ports and network links
    QT_TRANSLATE_NOOP(
        "TScreenTexts",
        "The serial port is not open: it has been closed. Choose a port in Settings."),
    QT_TRANSLATE_NOOP("TScreenTexts",
                      "The serial port is not open: %1. Choose a port in Settings."),
    QT_TRANSLATE_NOOP("TScreenTexts", "Unable to open %1: the port is being closed"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Unable to open %1: %2"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Unable to set com state: %1"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Unable to set up comm: %1"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Unable to start the event thread: %1"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Unable to set comm mask: %1"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Unable to read com status: %1"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Cannot abort operation: %1"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Operation failed: %1"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Operation aborted: %1"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Cannot connect to %1: No such host"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Cannot connect to %1: Connection refused"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Cannot connect to %1: No answer within %2 s"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Cannot connect to %1: %2"),
    QT_TRANSLATE_NOOP("TScreenTexts", "The host closed the connection"),
    QT_TRANSLATE_NOOP("TScreenTexts", "The connection to the host failed: %1"),
    QT_TRANSLATE_NOOP("TScreenTexts", "The network link is not open"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Cannot start the network link: %1"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Cannot start the network: %1"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Not a network address: %1"),
    QT_TRANSLATE_NOOP("TScreenTexts",
                      "The device server at %1 does not answer as an rfc2217:// server: if it is a "
                      "raw TCP port, use socket://%2"),
    QT_TRANSLATE_NOOP("TScreenTexts", "The sample host did not start: %1"),
    // The host search
    QT_TRANSLATE_NOOP("TScreenTexts",
                      "This will attempt to find the host\ron all available serial "
                      "ports at all\ravailable baud rates.\r\rContinue?"),
    QT_TRANSLATE_NOOP("TScreenTexts",
                      "This will attempt to find the host\ron %1 at all\ravailable "
                      "baud rates.\r\rContinue?"),
    QT_TRANSLATE_NOOP("TScreenTexts", "This will attempt to find the host\ron %1.\r\rContinue?"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Confirm..."),
    QT_TRANSLATE_NOOP("TScreenTexts", "Found host on %1"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Success!"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Cancelled finding the host"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Cancelled"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Did not find host"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Host Not Found"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Unable to access %1"),
    QT_TRANSLATE_NOOP("TScreenTexts", "Problem..."),
    QT_TRANSLATE_NOOP("TScreenTexts", "Trying %1 at %2 baud..."),
    QT_TRANSLATE_NOOP("TScreenTexts", "Trying %1..."),
};

struct TPattern {
    const char* Source;
    QRegularExpression Match;  // invalid for an exact text
    int Arguments;
};

const std::vector<TPattern>& Patterns() {
    static const std::vector<TPattern> Compiled = [] {
        static const QRegularExpression Marker(QStringLiteral("%([1-9])"));
        std::vector<TPattern> patterns;
        for (const char* source : Table) {
            const QString text = QString::fromLatin1(source);
            QString expression;
            int arguments = 0;
            qsizetype at = 0;
            for (auto m = Marker.globalMatch(text); m.hasNext();) {
                const QRegularExpressionMatch marker = m.next();
                expression += QRegularExpression::escape(text.mid(at, marker.capturedStart() - at));
                expression += QStringLiteral("(?<a%1>.*)").arg(marker.captured(1));
                at = marker.capturedEnd();
                ++arguments;
            }
            if (arguments == 0) {
                patterns.push_back({source, QRegularExpression(), 0});
                continue;
            }
            expression += QRegularExpression::escape(text.mid(at));
            patterns.push_back({source,
                                QRegularExpression(QRegularExpression::anchoredPattern(expression),
                                                   QRegularExpression::DotMatchesEverythingOption),
                                arguments});
        }
        return patterns;
    }();
    return Compiled;
}

}  // namespace

QString ScreenText(const std::string& text) {
    const QString shown = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    for (const TPattern& pattern : Patterns()) {
        if (pattern.Arguments == 0) {
            if (text == pattern.Source) return QCoreApplication::translate(Context, pattern.Source);
            continue;
        }
        const QRegularExpressionMatch match = pattern.Match.match(shown);
        if (!match.hasMatch()) continue;
        QString result = QCoreApplication::translate(Context, pattern.Source);
        // One pass over the markers, so an argument that itself holds "%1"
        // is not taken for one.
        QStringList arguments;
        for (int n = 1; n <= pattern.Arguments; ++n)
            arguments << match.captured(QStringLiteral("a%1").arg(n));
        QString out;
        static const QRegularExpression Marker(QStringLiteral("%([1-9])"));
        qsizetype at = 0;
        for (auto m = Marker.globalMatch(result); m.hasNext();) {
            const QRegularExpressionMatch marker = m.next();
            out += result.mid(at, marker.capturedStart() - at);
            const int n = marker.captured(1).toInt();
            out += n <= arguments.size() ? arguments[n - 1] : marker.captured(0);
            at = marker.capturedEnd();
        }
        out += result.mid(at);
        return out;
    }
    return shown;
}

std::vector<std::string> ScreenTextSources() {
    return {std::begin(Table), std::end(Table)};
}
