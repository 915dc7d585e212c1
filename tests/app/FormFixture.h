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
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/CommLog.h"
#include "app/ErrorReport.h"
#include "app/StatusBar.h"
#include "app/Unit1.h"
#include "serial/ComDevice.h"
#include "serial/Comms.h"
#include "settings/Hooks.h"
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

// The platform's device, counting the bytes the window's reads took: a pty
// may still hold bytes between its two ends that neither end's queue shows,
// so only this count says whether everything written has been read.
class TCountingComDevice : public TComDevice {
public:
    explicit TCountingComDevice(std::shared_ptr<std::atomic<std::int64_t>> bytesRead)
        : FDevice(NewPlatformComDevice()), FBytesRead(std::move(bytesRead)) {}

    int Open(const std::string& port) override { return FDevice->Open(port); }
    void Close() override { FDevice->Close(); }
    int SetQueueSizes(int32_t readSize, int32_t writeSize) override {
        return FDevice->SetQueueSizes(readSize, writeSize);
    }
    int SetLineSettings(const TComLineSettings& settings) override {
        return FDevice->SetLineSettings(settings);
    }
    int SetTimeouts(const TComTimeoutValues& timeouts) override {
        return FDevice->SetTimeouts(timeouts);
    }
    int SetEventMask(uint32_t mask) override { return FDevice->SetEventMask(mask); }
    int NewStopSignal(std::unique_ptr<TComStopSignal>& signal) override {
        return FDevice->NewStopSignal(signal);
    }
    TWaitResult WaitEvent(TComStopSignal& stop, uint32_t& mask) override {
        return FDevice->WaitEvent(stop, mask);
    }
    std::unique_ptr<TComOperation> NewOperation() override { return FDevice->NewOperation(); }
    TComIoResult Write(TComOperation& op, const char* data, int32_t count) override {
        return FDevice->Write(op, data, count);
    }
    TComIoResult Read(TComOperation& op, char* data, int32_t count) override {
        const TComIoResult result = FDevice->Read(op, data, count);
        if (result.Status == TComIoResult::ioPending) FPendingRead = &op;
        if (result.Status == TComIoResult::ioDone) *FBytesRead += result.Count;
        return result;
    }
    TComIoResult WaitOperation(TComOperation& op) override {
        const TComIoResult result = FDevice->WaitOperation(op);
        if (&op == FPendingRead.exchange(nullptr) && result.Status == TComIoResult::ioDone)
            *FBytesRead += result.Count;
        return result;
    }
    int InputCount(int32_t& count) override { return FDevice->InputCount(count); }
    int Purge() override { return FDevice->Purge(); }
    std::string ErrorText(int code) const override { return FDevice->ErrorText(code); }
    std::string OpenAdvice(const std::string& port, int code) const override {
        return FDevice->OpenAdvice(port, code);
    }

private:
    std::unique_ptr<TComDevice> FDevice;
    std::shared_ptr<std::atomic<std::int64_t>> FBytesRead;
    std::atomic<TComOperation*> FPendingRead{nullptr};
};

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
    void Create() {
        FForm = std::make_unique<TForm1>(Hooks());
        Settle();
    }

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
        hooks.TranscriptPath = FDir.filePath(QStringLiteral("transcripts"));
        hooks.ChooseFile = [this](TFileChoice& choice) {
            return FChooseFile ? FChooseFile(choice) : QString();
        };
        hooks.Sleep = [this](unsigned ms) {
            if (FSleep) FSleep(ms);
        };
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
        hooks.ComPort.NewDevice = [bytesRead = FBytesRead] {
            return std::make_unique<TCountingComDevice>(bytesRead);
        };
        hooks.UsbSerialDevices = [] { return std::vector<std::string>{}; };
        return hooks;
    }

    // Handles everything already queued (posted messages, port deliveries).
    static void Settle() {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }

    QString Panel(int n) const { return FForm->StatusBar1->PanelText(n); }
    const TTraceInfo& Received() const { return FForm->ReceivedShape(); }
    const TTraceInfo& Working() const { return FForm->WorkingShape(); }
    const TNameValueList& Records() const { return FForm->JobRecords(); }
    QString Hint() const { return FForm->StatusBar1->Hint(); }

    // The communication log as the operator gets it: Display Communication
    // Log writes it to its file and hands that to the viewer. This ends a
    // running conversation, as the menu item does.
    std::vector<std::string> ShownLog() {
        FForm->DisplayCommunicationLog1->trigger();
        Settle();
        std::vector<std::string> lines;
        EXPECT_FALSE(FViewed.empty()) << "the log was not shown";
        if (FViewed.empty()) return lines;
        const std::string text = ReadFileBytes(FViewed.back());
        std::size_t from = 0;
        for (std::size_t end = text.find("\r\n"); end != std::string::npos;
             end = text.find("\r\n", from)) {
            lines.push_back(text.substr(from, end - from));
            from = end + 2;
        }
        return lines;
    }

    // Lines of Log that are data entries' headers from the host.
    static int FromHostEntries(const std::vector<std::string>& log) {
        int n = 0;
        for (const std::string& line : log)
            if (line.find("Data From Host") != std::string::npos) ++n;
        return n;
    }

    // Whether the window has read everything the host wrote: nothing waits
    // in the device or in the port's queue.
    bool Taken() const { return FHost.SlaveInputCount() == 0 && FForm->COMPort->InputCount() == 0; }

    // Writes Bytes as the host and waits until the window has read them all:
    // as many bytes as were written went through its reads, and nothing is
    // left waiting.
    void HostWrites(const std::string& bytes) {
        const std::int64_t before = *FBytesRead;
        FHost.Write(bytes, 30s);
        const auto size = static_cast<std::int64_t>(bytes.size());
        ASSERT_TRUE(
            ProcessEventsUntil([&] { return *FBytesRead - before >= size && Taken(); }, 30s))
            << "the window did not read " << bytes.size() << " bytes";
        Settle();
    }

    QTemporaryDir FDir;
    TPtyHost FHost;
    TComNameMap FNames;
    std::unique_ptr<TForm1> FForm;
    std::uint32_t FTick = 100000;
    std::shared_ptr<std::atomic<std::int64_t>> FBytesRead =
        std::make_shared<std::atomic<std::int64_t>>(0);  // by the window's ports
    std::vector<QString> FViewed;
    bool FViewerStarts = true;
    QString FTempPath;
    QString FProgramDir;
    std::vector<std::string> FErrors;
    std::function<void(unsigned)> FSleep;  // the window's pauses
    std::function<QString(TFileChoice&)> FChooseFile;  // the file dialogs; none: cancelled
    std::function<int(TSettingsForm&)> FRunDialog = [](TSettingsForm&) { return 0; };
    std::vector<TMessageBoxInfo> FBoxes;
    std::vector<std::string> FPortsAsked;  // every port name a port of the window opened
};
