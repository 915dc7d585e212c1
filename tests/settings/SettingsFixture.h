// Shared setup of the settings tests: a widget application, COM names that
// open nothing unless a test maps them, the USB serial devices the test
// lists (none by default), message boxes answered without a modal loop, and
// error reports collected.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <functional>
#include <string>
#include <vector>

#include "serial/Comms.h"
#include "settings/Hooks.h"
#include "tests/support/PtyHost.h"
#include "tests/support/QtEvents.h"

// Creates the QApplication the dialogs need, once per test program.
inline void EnsureApplication() {
    if (QCoreApplication::instance() != nullptr) return;
    static int argc = 1;
    static char name[] = "test_settings";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

// The settings dialogs' world: the application, no port unless mapped with
// FNames.Add, the USB serial devices in FUsbDevices, message boxes answered
// by FAnswer (a box nobody expected fails the test), reports in FErrors.
class TPortWorld {
protected:
    TPortWorld() { EnsureApplication(); }

    THooks Hooks() {
        THooks hooks;
        hooks.ComPort = FNames.PortHooks();
        hooks.UsbSerialDevices = [this] { return FUsbDevices; };
        hooks.MessageBox = [this](QWidget* owner, const TMessageBoxInfo& box) {
            if (FAnswer) return FAnswer(owner, box);
            ADD_FAILURE() << "unexpected message box: " << box.Text;
            return QMessageBox::Cancel;
        };
        hooks.ReportError = [this](const QString& m) { FErrors.push_back(m.toStdString()); };
        return hooks;
    }

    TComNameMap FNames;
    std::vector<std::string> FUsbDevices;
    std::function<QMessageBox::StandardButton(QWidget*, const TMessageBoxInfo&)> FAnswer;
    std::vector<std::string> FErrors;
};
