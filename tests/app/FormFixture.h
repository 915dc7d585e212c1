// A main window on a pseudo-terminal whose far end the test plays, with the
// clock, the log viewer, the settings dialog and the error report in the
// test's hands.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/CommLog.h"
#include "app/ErrorReport.h"
#include "app/StatusBar.h"
#include "app/Unit1.h"
#include "serial/Comms.h"
#include "tests/support/PtyHost.h"

// The application object of the test program, created once.
inline void EnsureApplication() {
    if (QCoreApplication::instance() != nullptr) return;
    static int Argc = 1;
    static char Name[] = "test_app";
    static char* Argv[] = {Name, nullptr};
    new TApplication(Argc, Argv);  // lives for the test program
}

// Reaches the window's private state.
struct TForm1Probe {
    static std::string& RxBuffer(TForm1& F) { return F.FRxBuffer; }
    static std::uint8_t& State(TForm1& F) { return F.FState; }
    static std::int32_t& Countdown(TForm1& F) { return F.FCountdown; }
    static std::string& EndMessage(TForm1& F) { return F.FEndMessage; }
    static std::uint32_t& LastRxTick(TForm1& F) { return F.FLastRxTick; }
    static TCommLog& Log(TForm1& F) { return F.FLog; }
    static std::string& LogFileName(TForm1& F) { return F.FLogFileName; }
    static TNameValueList& Settings(TForm1& F) { return F.SettingsList; }
    static TTraceInfo& Received(TForm1& F) { return F.FReceived; }
    static TTraceInfo& Working(TForm1& F) { return F.FWorking; }
    static TNameValueList& Records(TForm1& F) { return F.FRecords; }
    static std::string& HostDef(TForm1& F) { return F.FHostDef; }
    static std::string& PointCount(TForm1& F) { return F.FPointCount; }
    static std::string& StoreInitReply(TForm1& F) { return F.FStoreInitReply; }
    static std::function<void(unsigned)>& Sleep(TForm1& F) { return F.FHooks.Sleep; }
    static TForm1::TStepHandler& Step(TForm1& F, int State) {
        return F.FStepTable[static_cast<std::size_t>(State)];
    }
};

// A settings file whose port is the fixture's pseudo-terminal, at 9600 8N1.
inline const std::string PortSettings =
    "Port=COM5\r\nBaudRate=9600\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\n";

// Presses Key on Widget as the keyboard would: through the application, so
// the window's key preview sees it.
inline void PressKey(QWidget* Widget, int Key, Qt::KeyboardModifiers Modifiers = Qt::NoModifier) {
    QKeyEvent Press(QEvent::KeyPress, Key, Modifiers);
    QCoreApplication::sendEvent(Widget, &Press);
    QKeyEvent Release(QEvent::KeyRelease, Key, Modifiers);
    QCoreApplication::sendEvent(Widget, &Release);
}

inline std::string ReadFileBytes(const QString& Name) {
    QFile File(Name);
    if (!File.open(QIODevice::ReadOnly)) return {};
    return File.readAll().toStdString();
}

inline bool WriteFileBytes(const QString& Name, const std::string& Bytes) {
    QFile File(Name);
    if (!File.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return File.write(Bytes.data(), static_cast<qint64>(Bytes.size())) ==
           static_cast<qint64>(Bytes.size());
}

class FormFixture : public ::testing::Test {
protected:
    FormFixture() : Names({}) { EnsureApplication(); }

    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        Names.Add("COM5", Host.SlavePath());
        PreviousReport = SetErrorReport([this](const std::string& M) { Errors.push_back(M); });
        PreviousLister = SetUsbSerialLister([] { return std::vector<std::string>{}; });
    }

    void TearDown() override {
        Form.reset();
        SetErrorReport(PreviousReport);
        SetUsbSerialLister(PreviousLister);
    }

    QString ProgramFile() const { return Dir.filePath(QStringLiteral("trevalon")); }
    QString SettingsFile() const { return Dir.filePath(QStringLiteral("trevalon.dat")); }

    void WriteSettings(const std::string& Content) {
        ASSERT_TRUE(WriteFileBytes(SettingsFile(), Content));
    }

    // Creates the window and lets it run until its posted messages are handled.
    void Create() {
        TFormHooks Hooks;
        Hooks.ProgramFile = ProgramFile().toStdString();
        Hooks.TickCount = [this] { return Tick; };
        Hooks.LocalTime = [] { return QTime(14, 3, 27, 45); };
        Hooks.OpenViewer = [this](const QString& Name) {
            Viewed.push_back(Name);
            return ViewerStarts;
        };
        Hooks.TempPath = TempPath.isEmpty() ? Dir.path() : TempPath;
        Hooks.Sleep = [](unsigned) {};
        Hooks.ShowSettingsModal = [this](TSettingsForm& Dialog) { return RunDialog(Dialog); };
        Form = std::make_unique<TForm1>(std::move(Hooks));
        Settle();
    }

    // Handles everything already queued (posted messages, port deliveries).
    static void Settle() {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }

    QString Panel(int n) const { return Form->StatusBar1->PanelText(n); }
    TTraceInfo& Received() { return TForm1Probe::Received(*Form); }
    TTraceInfo& Working() { return TForm1Probe::Working(*Form); }
    TNameValueList& Records() { return TForm1Probe::Records(*Form); }
    QString Hint() const { return Form->StatusBar1->Hint(); }

    // Lines of the log that are data entries' headers from the host.
    int FromHostEntries() const {
        int n = 0;
        for (const std::string& Line : TForm1Probe::Log(*Form).Lines())
            if (Line.find("Data From Host") != std::string::npos) ++n;
        return n;
    }

    QTemporaryDir Dir;
    TPtyHost Host;
    TComNameMap Names;
    std::unique_ptr<TForm1> Form;
    std::uint32_t Tick = 100000;
    std::vector<QString> Viewed;
    bool ViewerStarts = true;
    QString TempPath;
    std::vector<std::string> Errors;
    std::function<int(TSettingsForm&)> RunDialog = [](TSettingsForm&) { return 0; };
    TErrorReport PreviousReport;
    TUsbSerialLister PreviousLister;
};
