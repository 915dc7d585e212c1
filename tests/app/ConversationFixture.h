// A main window whose host conversations a test drives: the scripted host on
// the fixture's pseudo-terminal, shapes reached by real requests.
#pragma once

#include <QApplication>
#include <QClipboard>

#include <cmath>
#include <cstdio>

#include "FormFixture.h"
#include "oma/HostPackets.h"
#include "app/ValueEdit.h"
#include "oma/OMAMach.h"
#include "shape/TrceCalc.h"
#include "tests/support/PacketFiles.h"

inline const std::string Ack(1, ACK);

// A radius string of Count points on an ellipse of half-axes A and B (mm):
// the shape the golden job-ellipse replies carry, which make_replies.py
// writes from its own computation of the same ellipse.
inline std::string EllipseRadii(int count, double a = 26.0, double b = 21.0) {
    std::string radii;
    for (int i = 0; i < count; ++i) {
        const double t = 2 * 3.14159265358979323846 * i / count;
        const double c = std::cos(t) / a;
        const double s = std::sin(t) / b;
        AppendRadiusGroup(radii, static_cast<int>(std::lround(100.0 / std::sqrt(c * c + s * s))));
    }
    return radii;
}

// The perimeter of the polygon through a radius string's points (hundredths
// of a millimetre at equal angles), worked out here from their coordinates.
inline double Perimeter(const std::string& radii) {
    const std::size_t n = radii.size() / 4;
    const auto point = [&](std::size_t i) {
        const double r = std::stoi(radii.substr(4 * (i % n), 4)) / 100.0;
        const double t = 2 * 3.14159265358979323846 * static_cast<double>(i % n) /
                         static_cast<double>(n);
        return std::pair{r * std::cos(t), r * std::sin(t)};
    };
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto [x0, y0] = point(i);
        const auto [x1, y1] = point(i + 1);
        sum += std::hypot(x1 - x0, y1 - y0);
    }
    return sum;
}

// A box or circumference value as the wire carries it, worked out here:
// two decimals, twice, separated by ";".
inline std::string WireBox(double mm) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f;%.2f", mm, mm);
    return text;
}

class TConversationFixture : public TFormFixture {
protected:
    void SetUp() override {
        TFormFixture::SetUp();
        FSleep = [this](unsigned ms) { FSlept.push_back(ms); };
        WriteSettings(PortSettings);
        Create();
        ASSERT_EQ(Panel(0), "Ready");
    }

    // Starts the window again on a settings file with these lines added.
    void Restart(const std::string& moreSettings) {
        FForm.reset();
        WriteSettings(PortSettings + moreSettings);
        Create();
        ASSERT_EQ(Panel(0), "Ready");
    }

    // The operator presses Escape: a running conversation ends at once.
    void Abandon() {
        PressKey(FForm.get(), Qt::Key_Escape);
        Settle();
        ASSERT_FALSE(FForm->Talking());
        FHost.ReadAvailable();
    }

    // Everything the program sends until it has sent a packet's GS; empty
    // when nothing complete arrives in time.
    std::string ProgramSends() {
        std::string sent;
        const bool done = ProcessEventsUntil([&] {
            sent += FHost.ReadAvailable();
            return sent.find(GS) != std::string::npos;
        });
        return done ? sent : std::string();
    }

    // The host answers with the golden reply Name, preceded by its ACK;
    // returns what the program sends back up to its next GS.
    std::string AnswerFile(std::string_view name) {
        FHost.Write(Ack + ReplyFile(name));
        return ProgramSends();
    }

    // The host answers with Bytes, after which the conversation ends.
    void AnswerLast(const std::string& bytes) {
        FHost.Write(bytes);
        ASSERT_TRUE(ProcessEventsUntil([&] { return !FForm->Talking(); }));
        Settle();
        FTaken = FHost.ReadAvailable();
    }

    void SetTray(const char* text) { FForm->TrayEdit->setText(QString::fromLatin1(text)); }

    // Runs Request Shape up to the job request for DEF 7 and the given
    // format and count; returns the job request as sent.
    std::string RequestUpToJob(const char* tray, const std::string& format,
                               const std::string& count) {
        SetTray(tray);
        FForm->ReqButton->click();
        EXPECT_EQ(ProgramSends(), PacketFile("init"));
        EXPECT_EQ(AnswerFile("init-fmt1"), Ack + PacketFile("edger-description"));
        // The golden DEF 7 answer granting this format and count.
        return AnswerFile("edger-granted-" + format + "-" + count);
    }

    // A received shape of Radii, as a request for tray 1234 leaves it: the
    // host answers DEF 7 granting format 1 and Radii's count, then sends the
    // golden job reply Reply, which carries Radii in format 1. Nothing is
    // left on the line or in the viewer.
    void HoldShape(std::string_view reply, const std::string& radii) {
        const std::string count = std::to_string(RadiusCount(radii));
        FForm->ReqButton->setEnabled(true);
        ASSERT_FALSE(RequestUpToJob("1234", "1", count).empty());
        AnswerLast(Ack + ReplyFile(reply));
        ASSERT_EQ(Panel(0), "");
        ASSERT_EQ(Received().Radii, radii);
        ASSERT_TRUE(FForm->SaveButton->isEnabled());
        FForm->TimeoutTimerTimer();  // the reply timer's next tick finds the conversation over
        ASSERT_FALSE(FForm->TimeoutTimer->isActive());
        FSlept.clear();
    }

    std::vector<unsigned> FSlept;
    std::string FTaken;  // bytes the program sent in answer to the last reply
};

// The golden job request (DEF 7, tray 1234, format 1, 400 points) for
// another DEF, tray, format and count.
inline std::string JobRequestFor(const std::string& def, const std::string& tray,
                                 const std::string& format, const std::string& count) {
    std::string body = PacketBody("job-request");
    body.replace(body.find("REQ=7\r"), 6, "REQ=" + def + "\r");
    body.replace(body.find("JOB=\"1234\""), 10, "JOB=\"" + tray + "\"");
    body.replace(body.find("TRCFMT=1;400;"), 13, "TRCFMT=" + format + ";" + count + ";");
    return GoldenFrame(body);
}

// The golden store request (DEF 8, tray 1234) for another DEF.
inline std::string StoreRequestFor(const std::string& def) {
    std::string body = PacketBody("store-request");
    body.replace(body.find("REQ=8\r"), 6, "REQ=" + def + "\r");
    return GoldenFrame(body);
}

// The records of a packet's body, each without its CR.
inline std::vector<std::string> BodyRecords(const std::string& packet) {
    std::vector<std::string> records;
    const std::size_t start = packet.find(FS);
    const std::size_t end = packet.rfind(RS);
    if (start == std::string::npos || end == std::string::npos) return records;
    std::string body = packet.substr(start + 1, end - start - 1);
    std::size_t from = 0;
    while (from < body.size()) {
        const std::size_t cr = body.find('\r', from);
        records.push_back(body.substr(from, cr - from));
        if (cr == std::string::npos) break;
        from = cr + 1;
    }
    return records;
}
