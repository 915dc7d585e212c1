// TComPort and the Win32 device over real COM ports: Wine's COM20..COM27,
// whose far ends the pty hub plays on the Linux side.
// ComDevice.h before <windows.h>: it declares the EV_* flags windows.h defines as macros.
#include "serial/ComDevice.h"

#define WIN32_LEAN_AND_MEAN  // no winspool.h: its SetPort macro would rename TComPort::SetPort
#include <windows.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

#include "serial/Comms.h"
#include "serialqt/QtComOwnerThread.h"
#include "tests/serial/Watchdog.h"
#include "tests/support/QtEvents.h"
#include "tests/win32/HubClient.h"

namespace {

// The system's own text for an error code, taken straight from Windows.
std::string SystemText(DWORD code) {
    char buffer[512] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, n);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

// The program's hooks: deliveries run on this thread's Qt event loop.
TComPortHooks OwnerHooks() {
    TComPortHooks hooks;
    hooks.OwnerThread = NewQtComOwnerThread();
    return hooks;
}

std::string OpenFailure(TComPort& port) {
    try {
        port.SetActive(true);
    } catch (const EComPort& e) {
        return e.what();
    }
    return "(opened)";
}

class TComPortWin32Test : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureCoreApplication();
        FHub.Plug(Com);
        FHub.Plug(Other);
        FPort.SetPort(HubPortName(Com));
    }

    // A receive handler as the program writes it: read what was reported.
    void ReadEverything() {
        FPort.OnRxChar = [this](TComPort* sender, int32_t inQue) {
            EXPECT_EQ(sender, &FPort);
            std::string text;
            const int32_t got = sender->Read(text, inQue, true);
            FReceived += text.substr(0, static_cast<size_t>(std::max(got, 0)));
        };
    }

    static constexpr int Com = 20;
    static constexpr int Other = 21;
    THubClient FHub;
    TComPort FPort{OwnerHooks()};
    std::string FReceived;
};

TEST_F(TComPortWin32Test, OpenCloseAndOpenAgain) {
    FPort.SetActive(true);
    EXPECT_TRUE(FPort.Active());
    FPort.SetActive(false);
    EXPECT_FALSE(FPort.Active());
    FPort.SetActive(true);  // the handle was really given back
    EXPECT_TRUE(FPort.Active());
}

TEST_F(TComPortWin32Test, APortIsHeldByOneOwnerAtATime) {
    FPort.SetActive(true);
    TComPort second(OwnerHooks());
    second.SetPort(HubPortName(Com));
    EXPECT_EQ(OpenFailure(second),
              "Unable to open " + HubPortName(Com) + ": " + SystemText(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(second.Active());
    FPort.SetActive(false);
    EXPECT_EQ(OpenFailure(second), "(opened)");
}

TEST_F(TComPortWin32Test, MissingAndEmptyNamesFailWithTheSystemsText) {
    FPort.SetPort("COM300");  // beyond every COM name Wine (or Windows) hands out
    EXPECT_EQ(OpenFailure(FPort), "Unable to open COM300: " + SystemText(ERROR_FILE_NOT_FOUND));
    FPort.SetPort("");
    EXPECT_EQ(OpenFailure(FPort).rfind("Unable to open : ", 0), 0u);
    EXPECT_FALSE(FPort.Active());
}

TEST_F(TComPortWin32Test, LineSettingsReachTheDevice) {
    struct TCase {
        int32_t Baud;
        TDataBits DataBits;
        TParityBits Parity;
        TStopBits StopBits;
        THubLine Expected;
    };
    // A pseudo-terminal carries 8 data bits without parity only (the kernel
    // forces them); rates and stop bits it takes as given.
    const TCase cases[] = {
        {9600, 8, prNone, sbOneStopBit, {9600, 8}},
        {19200, 8, prNone, sbTwoStopBits, {19200, 8, false, false, false, true}},
        {115200, 8, prNone, sbOneStopBit, {115200, 8}},
        {1200, 8, prNone, sbTwoStopBits, {1200, 8, false, false, false, true}},
    };
    FPort.SetActive(true);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Baud);
        try {
            FPort.SetBaudRate(c.Baud);  // each applied at once while open
            FPort.SetDataBits(c.DataBits);
            FPort.Parity().SetBits(c.Parity);
            FPort.SetStopBits(c.StopBits);
        } catch (const EComPort& e) {
            ADD_FAILURE() << e.what();
            continue;
        }
        const THubLine line = FHub.Line(Com);
        EXPECT_EQ(line.Baud, c.Expected.Baud);
        EXPECT_EQ(line.DataBits, c.Expected.DataBits);
        EXPECT_EQ(line.ParityOn, c.Expected.ParityOn);
        EXPECT_EQ(line.ParityOdd, c.Expected.ParityOdd);
        EXPECT_EQ(line.TwoStopBits, c.Expected.TwoStopBits);
        EXPECT_FALSE(line.RtsCts);
        EXPECT_FALSE(line.XonOut);
    }
    EXPECT_NO_THROW(FPort.FlowControl().SetXonXoffOut(true));
    EXPECT_NO_THROW(FPort.FlowControl().SetXonXoffIn(true));
    // Wine reports RTS as enabled whenever CTS handshaking is on: that is
    // the combination it can take.
    EXPECT_NO_THROW(FPort.FlowControl().SetControlRts(rtsEnable));
    EXPECT_NO_THROW(FPort.FlowControl().SetOutCtsFlow(true));
    const THubLine line = FHub.Line(Com);
    EXPECT_TRUE(line.XonOut);
    EXPECT_TRUE(line.XonIn);
    EXPECT_TRUE(line.RtsCts);
}

// A pseudo-terminal carries no arbitrary rate, no parity and nothing but 8
// data bits; Wine keeps no DSR flow and drops no NUL bytes. The driver's
// read-back shows each, and the open fails with the system's text.
TEST_F(TComPortWin32Test, SettingsTheDeviceCannotCarryAreErrors) {
    const std::function<void(TComPort&)> refused[] = {
        [](TComPort& p) { p.SetBaudRate(12345); },
        [](TComPort& p) { p.SetDataBits(7); },
        [](TComPort& p) { p.Parity().SetBits(prEven); },
        [](TComPort& p) { p.Parity().SetBits(prMark); },
        [](TComPort& p) { p.FlowControl().SetOutDsrFlow(true); },
        [](TComPort& p) { p.SetDiscardNull(true); },
    };
    const std::string expected = "Unable to set com state: " + SystemText(ERROR_INVALID_PARAMETER);
    for (size_t i = 0; i < std::size(refused); ++i) {
        SCOPED_TRACE(i);
        TComPort port(OwnerHooks());
        port.SetPort(HubPortName(Com));
        refused[i](port);
        EXPECT_EQ(OpenFailure(port), expected);
        EXPECT_FALSE(port.Active());
    }
    // And while open: the change raises, the port stays usable.
    FPort.SetActive(true);
    try {
        FPort.SetBaudRate(12345);
        ADD_FAILURE() << "12345 baud taken";
    } catch (const EComPort& e) {
        EXPECT_EQ(std::string(e.what()), expected);
    }
    FPort.SetBaudRate(9600);
    EXPECT_EQ(FPort.Write("ok", true), 2);
    EXPECT_EQ(FHub.Read(Com, 2), "ok");
}

TEST_F(TComPortWin32Test, WrittenBytesArriveUntouched) {
    FPort.SetActive(true);
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    EXPECT_EQ(FPort.Write(all, true), 256);
    EXPECT_EQ(FHub.Read(Com, 256), all);
}

TEST_F(TComPortWin32Test, ReceivedBytesReachOnRxCharOnTheOwnerThread) {
    const std::thread::id owner = std::this_thread::get_id();
    ReadEverything();
    auto inner = FPort.OnRxChar;
    int deliveries = 0;
    FPort.OnRxChar = [&](TComPort* sender, int32_t inQue) {
        EXPECT_EQ(std::this_thread::get_id(), owner);
        ++deliveries;
        inner(sender, inQue);
    };
    FPort.SetActive(true);
    std::string expected;
    for (int i = 0; i < 256; ++i) expected += static_cast<char>(i);
    FHub.Write(Com, expected);
    ASSERT_TRUE(ProcessEventsUntil([&] { return FReceived.size() >= expected.size(); }))
        << FReceived.size() << " of 256 bytes";
    EXPECT_EQ(FReceived, expected);
    EXPECT_GE(deliveries, 1);
}

TEST_F(TComPortWin32Test, AConversationBothWays) {
    ReadEverything();
    FPort.SetActive(true);
    for (int round = 0; round < 5; ++round) {
        const std::string request = "\x1cREQ=" + std::to_string(round) + "\r";
        ASSERT_EQ(FPort.Write(request, true), static_cast<int32_t>(request.size()));
        EXPECT_EQ(FHub.Read(Com, request.size()), request);
        const std::string reply = "ANS=" + std::to_string(round * 7) + "\r\x1d";
        FReceived.clear();
        FHub.Write(Com, reply);
        ASSERT_TRUE(ProcessEventsUntil([&] { return FReceived.size() >= reply.size(); }));
        EXPECT_EQ(FReceived, reply);
    }
}

TEST_F(TComPortWin32Test, ReadWithNothingWaitingReturnsAtOnceWithNothing) {
    FPort.SetActive(true);
    std::string text;
    EXPECT_EQ(FPort.Read(text, 10, true), 0);
    EXPECT_EQ(text.size(), 10u);  // the text keeps the length asked for
    EXPECT_EQ(FPort.Read(text, 0, true), 0);
    EXPECT_TRUE(text.empty());
}

TEST_F(TComPortWin32Test, AReadTimeoutEndsAShortRead) {
    FPort.Timeouts().SetReadInterval(0);
    FPort.Timeouts().SetReadTotalConstant(200);
    FPort.SetActive(true);
    FHub.Write(Com, "abc");
    ASSERT_TRUE(ProcessEventsUntil([&] { return FPort.InputCount() == 3; }));
    std::string text;
    EXPECT_EQ(FPort.Read(text, 10, true), 3);  // ends by the total timeout, not at 10 bytes
    EXPECT_EQ(text.substr(0, 3), "abc");
}

TEST_F(TComPortWin32Test, AWriteTimeoutSendsFewerBytesAndSaysSo) {
    FPort.Timeouts().SetWriteTotalMultiplier(0);
    FPort.Timeouts().SetWriteTotalConstant(300);
    FPort.SetActive(true);
    // The far end reads nothing: the device's queues fill and the write times out.
    const std::string big(1 << 20, 'x');
    const int32_t sent = FPort.Write(big, true);
    EXPECT_GT(sent, 0);
    EXPECT_LT(sent, static_cast<int32_t>(big.size()));
}

TEST_F(TComPortWin32Test, PurgeEmptiesTheInputQueue) {
    std::unique_ptr<TComDevice> device = NewPlatformComDevice();
    ASSERT_EQ(device->Open(HubPortName(Com)), 0);
    TComLineSettings settings;
    ASSERT_EQ(device->SetLineSettings(settings), 0);
    FHub.Write(Com, "0123456789");
    int32_t count = 0;
    ASSERT_TRUE(ProcessEventsUntil([&] { return device->InputCount(count) == 0 && count == 10; }));
    EXPECT_EQ(device->Purge(), 0);
    EXPECT_EQ(device->InputCount(count), 0);
    EXPECT_EQ(count, 0);
    device->Close();
}

TEST_F(TComPortWin32Test, AnUnpluggedDeviceFailsTheNextWriteWithTheSystemsCode) {
    ReadEverything();
    FPort.SetActive(true);
    FHub.Unplug(Com);
    try {
        FPort.Write("lost", true);
        ADD_FAILURE() << "a write to an unplugged device succeeded";
    } catch (const EComPort& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Operation failed: ", 0), 0u) << e.what();
    }
    TWatchdog watchdog(10s);
    FPort.SetActive(false);  // the event thread ends, nothing hangs
}

TEST_F(TComPortWin32Test, CloseWhileBytesKeepArrivingReturns) {
    ReadEverything();
    FPort.SetActive(true);
    FHub.Flood(Com, 200000);
    ASSERT_TRUE(ProcessEventsUntil([&] { return FReceived.size() > 1000; }));
    TWatchdog watchdog(10s);
    FPort.SetActive(false);
    EXPECT_FALSE(FPort.Active());
}

TEST_F(TComPortWin32Test, AHandlerMayCloseItsOwnPort) {
    bool closed = false;
    FPort.OnRxChar = [&](TComPort* sender, int32_t) {
        sender->SetActive(false);
        closed = true;
    };
    FPort.SetActive(true);
    FHub.Write(Com, "x");
    TWatchdog watchdog(10s);
    ASSERT_TRUE(ProcessEventsUntil([&] { return closed; }));
    EXPECT_FALSE(FPort.Active());
}

TEST_F(TComPortWin32Test, TwoPortsWorkSideBySide) {
    ReadEverything();
    TComPort second(OwnerHooks());
    std::string secondReceived;
    second.OnRxChar = [&](TComPort* sender, int32_t inQue) {
        std::string text;
        secondReceived += text.substr(0, static_cast<size_t>(sender->Read(text, inQue, true)));
    };
    second.SetPort(HubPortName(Other));
    FPort.SetActive(true);
    second.SetActive(true);
    FHub.Write(Com, "first");
    FHub.Write(Other, "second");
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return FReceived.size() >= 5 && secondReceived.size() >= 6; }));
    EXPECT_EQ(FReceived, "first");
    EXPECT_EQ(secondReceived, "second");
}

TEST(TComDeviceWin32, ErrorTextsAreTheSystemsWithoutTheLineBreak) {
    std::unique_ptr<TComDevice> device = NewPlatformComDevice();
    for (DWORD code : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_INVALID_PARAMETER}) {
        const std::string text = device->ErrorText(static_cast<int>(code));
        EXPECT_EQ(text, SystemText(code));
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(text.find('\n'), std::string::npos);
    }
    EXPECT_EQ(InvalidHandleError(), static_cast<int>(ERROR_INVALID_HANDLE));
}

}  // namespace
