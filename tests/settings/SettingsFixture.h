// Shared setup of the settings tests: a widget application, COM names that
// open nothing unless a test maps them, no USB serial devices, and message
// boxes answered without a modal loop.
#pragma once

#include <QApplication>
#include <map>
#include <string>
#include <vector>

#include "serial/Comms.h"
#include "settings/FindPort.h"
#include "tests/support/PtyHost.h"

// Creates the QApplication the dialogs need, once per test program.
inline void EnsureApplication() {
    if (QCoreApplication::instance() != nullptr) return;
    static int argc = 1;
    static char name[] = "test_settings";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

// Every COM name opens a path that does not exist unless the test maps it.
inline std::map<std::string, std::string> NoComPorts() {
    std::map<std::string, std::string> names;
    for (int n = 1; n <= 99; ++n)
        names["COM" + std::to_string(n)] = "/nonexistent/tty" + std::to_string(n);
    return names;
}

// While it exists, the USB serial device list is Devices; restores the
// previous lister.
class TUsbSerialDevices {
public:
    explicit TUsbSerialDevices(std::vector<std::string> devices = {})
        : FPrevious(SetUsbSerialLister([devices] { return devices; })) {}
    ~TUsbSerialDevices() { SetUsbSerialLister(FPrevious); }
    TUsbSerialDevices(const TUsbSerialDevices&) = delete;
    TUsbSerialDevices& operator=(const TUsbSerialDevices&) = delete;

private:
    TUsbSerialLister FPrevious;
};

// While it exists, message boxes go to Hook; restores the previous hook.
class TMessageBoxAnswers {
public:
    explicit TMessageBoxAnswers(TMessageBoxHook hook)
        : FPrevious(SetMessageBoxHook(std::move(hook))) {}
    ~TMessageBoxAnswers() { SetMessageBoxHook(FPrevious); }
    TMessageBoxAnswers(const TMessageBoxAnswers&) = delete;
    TMessageBoxAnswers& operator=(const TMessageBoxAnswers&) = delete;

private:
    TMessageBoxHook FPrevious;
};

// The settings dialogs' world: the application, no COM port unless mapped
// with Names.Add, no USB serial devices.
class TPortWorld {
protected:
    TPortWorld() : FNames(NoComPorts()) { EnsureApplication(); }

    TComNameMap FNames;
    TUsbSerialDevices FNoUsb;
};
