// A main window whose host conversations a test drives: the scripted host on
// the fixture's pseudo-terminal, and the conversation state within reach.
#pragma once

#include <QApplication>
#include <QClipboard>

#include "FormFixture.h"
#include "app/HostPackets.h"
#include "app/ValueEdit.h"
#include "oma/OMAMach.h"
#include "oma/OmaTrace.h"
#include "shape/TrceCalc.h"

inline const std::string Ack(1, ACK);

// A radius string of Count points on an ellipse of half-axes A and B (mm).
inline std::string EllipseRadii(int Count, double A = 26.0, double B = 21.0) {
    std::string Radii;
    for (int i = 0; i < Count; ++i) {
        const double T = 2 * 3.14159265358979323846 * i / Count;
        const double C = std::cos(T) / A;
        const double S = std::sin(T) / B;
        AppendRadiusGroup(Radii, static_cast<int>(std::lround(100.0 / std::sqrt(C * C + S * S))));
    }
    return Radii;
}

class ConversationFixture : public FormFixture {
protected:
    void SetUp() override {
        FormFixture::SetUp();
        WriteSettings(PortSettings);
        Create();
        ASSERT_EQ(Panel(0), "Ready");
        TForm1Probe::Sleep(*Form) = [this](unsigned Ms) { Slept.push_back(Ms); };
    }

    // Everything the program sends until it has sent a packet's GS; empty
    // when nothing complete arrives in time.
    std::string ProgramSends() {
        std::string Sent;
        const bool Done = ProcessEventsUntil([&] {
            Sent += Host.ReadAvailable();
            return Sent.find(GS) != std::string::npos;
        });
        return Done ? Sent : std::string();
    }

    // The host answers with Body framed as a packet, preceded by its ACK;
    // returns what the program sends back up to its next GS.
    std::string Answer(const std::string& Body) {
        Host.Write(Ack + BuildPacket(Body));
        return ProgramSends();
    }

    // The host answers with Bytes, after which the conversation ends.
    void AnswerLast(const std::string& Bytes) {
        Host.Write(Bytes);
        ASSERT_TRUE(ProcessEventsUntil([&] { return TForm1Probe::State(*Form) == cvIdle; }));
        Settle();
        Taken = Host.ReadAvailable();
    }

    void SetTray(const char* Text) { Form->TrayEdit->setText(QString::fromLatin1(Text)); }

    // Runs Request Shape up to the job request for DEF 7 and the given
    // format and count; returns the job request as sent.
    std::string RequestUpToJob(const char* Tray, const std::string& Format,
                               const std::string& Count) {
        SetTray(Tray);
        Form->ReqButton->click();
        EXPECT_EQ(ProgramSends(), BuildPacket(InitRequestBody()));
        EXPECT_EQ(Answer("ANS=INI\rSTATUS=0\r"), Ack + BuildPacket(EdgerDescriptionBody()));
        return Answer("ANS=INI\rSTATUS=0\rDEF=7\rTRCFMT=" + Format + ";" + Count + ";E;B\r");
    }

    // A received shape of Radii with the job records Records, as after a request.
    void HoldShape(const std::string& Radii, const std::vector<std::string>& JobRecords = {},
                   const char* Tray = "1234") {
        Received().Radii = Radii;
        Received().DBL = 18;
        MeasureTrace(Received());
        Working() = Received();
        for (const std::string& Line : JobRecords) Records().Add(Line);
        SetTray(Tray);
        Form->ShowValues();
        Form->EnableControls(true);
    }

    void SetSetting(const char* Name, const char* Value) {
        TForm1Probe::Settings(*Form).SetValue(Name, Value);
    }

    std::vector<unsigned> Slept;
    std::string Taken;  // bytes the program sent in answer to the last reply
};

// The records of a packet's body, each without its CR.
inline std::vector<std::string> BodyRecords(const std::string& Packet) {
    std::vector<std::string> Records;
    const std::size_t Start = Packet.find(FS);
    const std::size_t End = Packet.rfind(RS);
    if (Start == std::string::npos || End == std::string::npos) return Records;
    std::string Body = Packet.substr(Start + 1, End - Start - 1);
    std::size_t From = 0;
    while (From < Body.size()) {
        const std::size_t Cr = Body.find('\r', From);
        Records.push_back(Body.substr(From, Cr - From));
        if (Cr == std::string::npos) break;
        From = Cr + 1;
    }
    return Records;
}
