// A main window on a pseudo-terminal whose far end the test plays, with the
// clock, the log viewer, the settings dialog, the error report and every
// serial port name in the test's hands: a port name the test did not map
// opens nothing.
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
#include "settings/Hooks.h"
#include "app/StatusBar.h"
#include "app/Unit1.h"
#include "serial/Comms.h"
#include "tests/support/PtyHost.h"
#include "tests/support/QtEvents.h"

// The application object of the test program, created once.
inline void EnsureApplication() {
    if (QCoreApplication::instance() != nullptr) return;
    static int argc = 1;
    static char name[] = "test_app";
    static char* argv[] = {name, nullptr};
    // Lives for the test program. A failure no window handled is a fault.
    new TApplication(argc, argv, [](const QString& message) {
        ADD_FAILURE() << "unhandled failure: " << message.toStdString();
    });
}

// Reaches the window's private state.
struct TForm1Probe {
    static std::string& RxBuffer(TForm1& f) { return f.FRxBuffer; }
    static std::uint8_t& State(TForm1& f) { return f.FState; }
    static std::int32_t& Countdown(TForm1& f) { return f.FCountdown; }
    static std::string& EndMessage(TForm1& f) { return f.FEndMessage; }
    static std::uint32_t& LastRxTick(TForm1& f) { return f.FLastRxTick; }
    static TCommLog& Log(TForm1& f) { return f.FLog; }
    static std::string& LogFileName(TForm1& f) { return f.FLogFileName; }
    static TNameValueList& Settings(TForm1& f) { return f.SettingsList; }
    static TTraceInfo& Received(TForm1& f) { return f.FReceived; }
    static TTraceInfo& Working(TForm1& f) { return f.FWorking; }
    static TNameValueList& Records(TForm1& f) { return f.FRecords; }
    static std::string& HostDef(TForm1& f) { return f.FHostDef; }
    static std::string& PointCount(TForm1& f) { return f.FPointCount; }
    static std::string& StoreInitReply(TForm1& f) { return f.FStoreInitReply; }
    static std::function<void(unsigned)>& Sleep(TForm1& f) { return f.FHooks.Sleep; }
    static THooks& Hooks(TForm1& f) { return f.FHooks; }
};

// A settings file whose port is the fixture's pseudo-terminal, at 9600 8N1.
inline const std::string PortSettings =
    "Port=COM5\r\nBaudRate=9600\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\n";

// Presses Key on Widget as the keyboard would: through the application, so
// the window's key preview sees it.
inline void PressKey(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QCoreApplication::sendEvent(widget, &release);
}

inline std::string ReadFileBytes(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll().toStdString();
}

inline bool WriteFileBytes(const QString& name, const std::string& bytes) {
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
           static_cast<qint64>(bytes.size());
}

class TFormFixture : public ::testing::Test {
protected:
    TFormFixture() { EnsureApplication(); }

    void SetUp() override {
        ASSERT_TRUE(FDir.isValid());
        FNames.Add("COM5", FHost.SlavePath());
    }

    void TearDown() override { FForm.reset(); }

    // The program file sits in FDir, or in FProgramDir when a test sets it.
    QString ProgramDir() const { return FProgramDir.isEmpty() ? FDir.path() : FProgramDir; }
    QString ProgramFile() const { return ProgramDir() + QStringLiteral("/trevalon"); }
    QString SettingsFile() const { return ProgramDir() + QStringLiteral("/trevalon.dat"); }

    void WriteSettings(const std::string& content) {
        ASSERT_TRUE(WriteFileBytes(SettingsFile(), content));
    }

    // Creates the window and lets it run until its posted messages are handled.
    void Create() { FForm = std::make_unique<TForm1>(Hooks()); Settle(); }

    // The window's surroundings as this fixture plays them.
    THooks Hooks() {
        THooks hooks;
        hooks.ProgramFile = ProgramFile().toStdString();
        hooks.TickCount = [this] { return FTick; };
        hooks.LocalTime = [] { return QTime(14, 3, 27, 45); };
        hooks.OpenViewer = [this](const QString& name) {
            FViewed.push_back(name);
            return FViewerStarts;
        };
        hooks.TempPath = FTempPath.isEmpty() ? FDir.path() : FTempPath;
        hooks.Sleep = [](unsigned) {};
        hooks.ShowSettingsModal = [this](TSettingsForm& dialog) { return FRunDialog(dialog); };
        hooks.ReportError = [this](const QString& m) { FErrors.push_back(m.toStdString()); };
        hooks.MessageBox = [this](QWidget*, const TMessageBoxInfo& box) {
            FBoxes.push_back(box);
            return QMessageBox::No;
        };
        hooks.ComPort.DevicePath = [this](const std::string& port) {
            FPortsAsked.push_back(port);
            return FNames.DevicePath(port);
        };
        hooks.UsbSerialDevices = [] { return std::vector<std::string>{}; };
        return hooks;
    }

    // Handles everything already queued (posted messages, port deliveries).
    static void Settle() {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }

    QString Panel(int n) const { return FForm->StatusBar1->PanelText(n); }
    TTraceInfo& Received() { return TForm1Probe::Received(*FForm); }
    TTraceInfo& Working() { return TForm1Probe::Working(*FForm); }
    TNameValueList& Records() { return TForm1Probe::Records(*FForm); }
    QString Hint() const { return FForm->StatusBar1->Hint(); }

    // Lines of the log that are data entries' headers from the host.
    int FromHostEntries() const {
        int n = 0;
        for (const std::string& line : TForm1Probe::Log(*FForm).Lines())
            if (line.find("Data From Host") != std::string::npos) ++n;
        return n;
    }

    QTemporaryDir FDir;
    TPtyHost FHost;
    TComNameMap FNames;
    std::unique_ptr<TForm1> FForm;
    std::uint32_t FTick = 100000;
    std::vector<QString> FViewed;
    bool FViewerStarts = true;
    QString FTempPath;
    QString FProgramDir;
    std::vector<std::string> FErrors;
    std::function<int(TSettingsForm&)> FRunDialog = [](TSettingsForm&) { return 0; };
    std::vector<TMessageBoxInfo> FBoxes;
    std::vector<std::string> FPortsAsked;  // every port name a port of the window opened
};
