// TComPort on the POSIX device over pseudo-terminals, the test playing the far end.
#include <gtest/gtest.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <future>
#include <thread>

#include "serial/ComDevice.h"
#include "tests/serial/Watchdog.h"
#include "tests/serial/TestOwnerThread.h"
#include "tests/support/PtyHost.h"

namespace {

class TComPortPty : public ::testing::Test {
protected:
    void SetUp() override { FPort.SetPort("COM5"); }
    TPtyHost FHost;
    TComNameMap FNames{{{"COM5", FHost.SlavePath()}, {"COM77", "/nonexistent/tty"}}};
    std::vector<std::string> FReports;
    std::shared_ptr<TTestOwnerThread> FOwner = std::make_shared<TTestOwnerThread>();
    TComPort FPort{Owned(FNames.PortHooks([this](const std::string& m) { FReports.push_back(m); }))};

    TComPortHooks Owned(TComPortHooks hooks) {
        hooks.OwnerThread = FOwner;
        return hooks;
    }

    std::string FReceived;
    std::vector<int32_t> FInQues;
    // A receive handler as the program writes it: read what was reported.
    void ReadEverything() {
        FPort.OnRxChar = [this](TComPort* sender, int32_t inQue) {
            EXPECT_EQ(sender, &FPort);
            FInQues.push_back(inQue);
            std::string text;
            sender->Read(text, inQue, true);
            FReceived += text;
        };
    }
};

std::string OpenFailure(TComPort& port) {
    try {
        port.SetActive(true);
    } catch (const EComPort& e) {
        return e.what();
    }
    return "(opened)";
}

TEST_F(TComPortPty, BytesReachOnRxCharOnTheOwnerThreadExactlyOnce) {
    const std::thread::id owner = std::this_thread::get_id();
    ReadEverything();
    auto inner = FPort.OnRxChar;
    FPort.OnRxChar = [&](TComPort* sender, int32_t inQue) {
        EXPECT_EQ(std::this_thread::get_id(), owner);
        inner(sender, inQue);
    };
    FPort.SetActive(true);

    std::string expected;
    for (int i = 0; i < 20; ++i) {  // single bytes, each awaited
        const std::string byte(1, static_cast<char>('a' + i));
        FHost.Write(byte);
        expected += byte;
        ASSERT_TRUE(FOwner->RunUntil([&] { return FReceived == expected; }));
    }
    std::string burst;
    for (int i = 0; i < 3000; ++i) burst += static_cast<char>(i * 7);
    FHost.Write(burst);
    expected += burst;
    ASSERT_TRUE(FOwner->RunUntil([&] { return FReceived.size() >= expected.size(); }));
    EXPECT_EQ(FReceived, expected);
    for (int32_t inQue : FInQues) EXPECT_GE(inQue, 0);
    EXPECT_EQ(FPort.InputCount(), 0);
}

TEST_F(TComPortPty, UnreadBytesAreReportedOncePerArrivalWithTheGrowingCount) {
    std::vector<int32_t> counts;
    FPort.OnRxChar = [&](TComPort*, int32_t inQue) { counts.push_back(inQue); };
    FPort.SetActive(true);
    FHost.Write("abc");
    ASSERT_TRUE(FOwner->RunUntil([&] { return !counts.empty(); }));
    FHost.Write("de");
    ASSERT_TRUE(FOwner->RunUntil([&] { return !counts.empty() && counts.back() == 5; }));
    // A device that reports unread bytes again and again would have called
    // the handler many times by now.
    EXPECT_LE(counts.size(), 2u);
    EXPECT_EQ(FPort.InputCount(), 5);
    std::string text;
    EXPECT_EQ(FPort.Read(text, 5, true), 5);
    EXPECT_EQ(text, "abcde");
    EXPECT_EQ(FPort.InputCount(), 0);
}

TEST_F(TComPortPty, BytesLeftBehindByAShortReadAreAnnouncedAgain) {
    // The handler reads only what was reported, but more has arrived by the
    // time it reads; the rest must still reach a later event, even when the
    // far end then falls silent (a host waiting for our ACK).
    int calls = 0;
    std::string text;
    FPort.OnRxChar = [&](TComPort* sender, int32_t inQue) {
        if (++calls == 1) {
            FHost.Write("tail-of-reply\x1d");
            ASSERT_TRUE(FOwner->RunUntil(
                [&] { return FHost.SlaveInputCount() == 0 || sender->InputCount() > inQue; }));
        }
        std::string part;
        sender->Read(part, inQue, true);
        text += part;
    };
    FPort.SetActive(true);
    FHost.Write("head");
    ASSERT_TRUE(FOwner->RunUntil([&] { return text == "headtail-of-reply\x1d"; }))
        << "received only: " << text;
}

TEST_F(TComPortPty, WrittenBytesArriveUntouched) {
    FPort.SetActive(true);
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    const std::string protocol = "\x1cREQ=INI\r\nOMAV=3.02\r\x1e\x11\x13\x1d\x06\x03\x7f\r\n";
    EXPECT_EQ(FPort.Write(all, true), 256);
    EXPECT_EQ(FPort.Write(protocol, true), static_cast<int32_t>(protocol.size()));
    EXPECT_EQ(FHost.Read(all.size() + protocol.size()), all + protocol);
}

TEST_F(TComPortPty, BytesWrittenJustBeforeTheCloseStillArrive) {
    // The far end has not read yet (a host busy elsewhere) and more is on its
    // way than its input buffer holds; the port closes at once, as the
    // command line does after the last ACK of a conversation.
    ReadEverything();  // an event thread runs, and purges when it ends
    FPort.SetActive(true);
    std::string sent;
    for (int i = 0; i < 6000; ++i) sent += static_cast<char>('A' + i % 26);
    sent += '\x06';
    ASSERT_EQ(FPort.Write(sent, true), static_cast<int32_t>(sent.size()));
    FPort.SetActive(false);
    const std::string arrived = FHost.Read(sent.size(), 2s);
    ASSERT_EQ(arrived.size(), sent.size()) << "the close took written bytes back";
    EXPECT_TRUE(arrived == sent) << "the bytes changed on the way";
}

TEST_F(TComPortPty, ReadReturnsAtOnceWithWhatHasArrived) {
    FPort.SetActive(true);
    std::string text = "stale";
    EXPECT_EQ(FPort.Read(text, 4, true), 0);
    EXPECT_EQ(text, std::string(4, '\0'));
    FHost.Write("xy");
    ASSERT_TRUE(FOwner->RunUntil([&] { return FPort.InputCount() == 2; }));
    EXPECT_EQ(FPort.Read(text, 4, true), 2);
    EXPECT_EQ(text, std::string("xy\0\0", 4));
}

TEST_F(TComPortPty, LineSettingsReachTheDeviceOnlyWhileOpen) {
    FPort.SetActive(true);
    termios t = FHost.LineSettings();
    EXPECT_EQ(BaudRateOf(t), 9600);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);  // raw
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);

    FPort.SetBaudRate(19200);
    FPort.SetStopBits(sbTwoStopBits);
    t = FHost.LineSettings();
    EXPECT_EQ(BaudRateOf(t), 19200);
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);

    FPort.SetActive(false);
    FPort.SetBaudRate(38400);
    FPort.SetStopBits(sbOneStopBit);
    t = FHost.LineSettings();
    EXPECT_EQ(BaudRateOf(t), 19200);
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);

    FPort.SetActive(true);
    t = FHost.LineSettings();
    EXPECT_EQ(BaudRateOf(t), 38400);
    EXPECT_EQ(t.c_cflag & CSTOPB, 0u);
}

TEST_F(TComPortPty, SettingsTheDeviceRefusesAreErrors) {
    FPort.SetActive(true);
    try {
        FPort.Parity().SetBits(prEven);  // a pseudo-terminal keeps no parity
        FAIL() << "parity accepted";
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "Unable to set com state: Invalid argument");
    }
    EXPECT_TRUE(FPort.Active());
    FPort.Parity().SetBits(prNone);
    FPort.SetActive(false);

    FPort.SetBaudRate(12345);  // no such line speed
    EXPECT_EQ(OpenFailure(FPort), "Unable to set com state: Invalid argument");
    EXPECT_FALSE(FPort.Active());
    FPort.SetBaudRate(9600);
    FPort.SetDataBits(7);
    EXPECT_EQ(OpenFailure(FPort), "Unable to set com state: Invalid argument");
    EXPECT_FALSE(FPort.Active());
    FPort.SetDataBits(8);
    EXPECT_EQ(OpenFailure(FPort), "(opened)");
}

TEST_F(TComPortPty, ADeviceIsHeldByOnePortAtATime) {
    FPort.SetActive(true);
    TComPort second(Owned(FNames.PortHooks()));
    second.SetPort("COM5");
    EXPECT_EQ(OpenFailure(second), "Unable to open COM5: Device or resource busy");
    EXPECT_FALSE(second.Active());
    FPort.SetActive(false);
    EXPECT_EQ(OpenFailure(second), "(opened)");

    auto third = std::make_unique<TComPort>(Owned(FNames.PortHooks()));
    third->SetPort("COM5");
    EXPECT_EQ(OpenFailure(*third), "Unable to open COM5: Device or resource busy");
    second.SetActive(false);
    EXPECT_EQ(OpenFailure(*third), "(opened)");
    third.reset();  // destroying an open port releases the device
    EXPECT_EQ(OpenFailure(FPort), "(opened)");
}

TEST_F(TComPortPty, MissingAndEmptyNamesFailWithTheSystemsReason) {
    FPort.SetPort("COM77");
    EXPECT_EQ(OpenFailure(FPort), "Unable to open COM77: No such file or directory");
    FPort.SetPort("");
    EXPECT_EQ(OpenFailure(FPort).rfind("Unable to open : ", 0), 0u);
    EXPECT_FALSE(FPort.Active());
}

// A device refused for lack of permission names the group that may use it
// (its owning group) and how to join it; other failures get no advice.
TEST_F(TComPortPty, RefusedPermissionAdvisesJoiningTheDevicesGroup) {
    const std::unique_ptr<TComDevice> device = NewPlatformComDevice();
    struct stat st {};
    ASSERT_EQ(::stat(FHost.SlavePath().c_str(), &st), 0);
    const struct group* owner = ::getgrgid(st.st_gid);
    const std::string groupName = owner != nullptr && st.st_gid != 0 ? owner->gr_name : "dialout";
    const struct passwd* me = ::getpwuid(::geteuid());
    ASSERT_NE(me, nullptr);
    const std::string advice = "; only members of the group " + groupName +
                               " may use it: sudo adduser " + me->pw_name + " " + groupName +
                               ", then log out and in again";
    EXPECT_EQ(device->OpenAdvice(FHost.SlavePath(), EACCES), advice);
    EXPECT_EQ(device->OpenAdvice(FHost.SlavePath(), EPERM), advice);
    // A device that is not there has no group: the usual one is named.
    EXPECT_NE(device->OpenAdvice("/nonexistent/tty", EACCES).find(" group dialout "), std::string::npos);
    for (int code : {0, ENOENT, EBUSY, ENOTTY, EIO})
        EXPECT_EQ(device->OpenAdvice(FHost.SlavePath(), code), "") << code;
}

TEST_F(TComPortPty, ChangingPortWhileOpenMovesToTheNewDevice) {
    TPtyHost other;
    FNames.Add("COM6", other.SlavePath());
    FPort.SetActive(true);
    FPort.SetPort("COM6");
    EXPECT_TRUE(FPort.Active());
    FPort.Write("hello", true);
    EXPECT_EQ(other.Read(5), "hello");
    EXPECT_EQ(FHost.ReadAvailable(), "");
    TComPort check(Owned(FNames.PortHooks()));  // the first device is free again
    check.SetPort("COM5");
    EXPECT_EQ(OpenFailure(check), "(opened)");
}

TEST_F(TComPortPty, BytesLeftFromBeforeTheOpenAreDropped) {
    FHost.Write("stale reply");
    ASSERT_TRUE(FOwner->RunUntil([&] { return FHost.SlaveInputCount() == 11; }));
    FPort.SetActive(true);
    EXPECT_EQ(FPort.InputCount(), 0);
}

TEST_F(TComPortPty, CloseWhileBytesKeepArrivingReturns) {
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        while (!stop) {
            try {
                FHost.Write(std::string(64, 'z'), 100ms);
            } catch (const std::exception&) {  // nobody reading: the pty is full
            }
        }
    });
    TWatchdog watchdog(60s);
    std::atomic<int> deliveries{0};
    FPort.OnRxChar = [&](TComPort* sender, int32_t inQue) {
        ++deliveries;
        std::string text;
        sender->Read(text, inQue, true);
    };
    for (int round = 0; round < 25; ++round) {
        FPort.SetActive(true);
        const int before = deliveries;
        EXPECT_TRUE(FOwner->RunUntil([&] { return deliveries > before; }, 10s));
        // The event thread is now (or soon) waiting for the next hand-off
        // that this thread does not run its event loop for.
        FPort.SetActive(false);
    }
    stop = true;
    writer.join();
    EXPECT_GT(deliveries, 0);
}

// How little CPU the event thread uses meanwhile is measured in bench_serial.
TEST_F(TComPortPty, AnUnpluggedDeviceFailsTheNextWrite) {
    ReadEverything();
    FPort.SetActive(true);
    FHost.Write("last");
    ASSERT_TRUE(FOwner->RunUntil([&] { return FReceived == "last"; }));
    FHost.CloseMaster();
    try {
        FPort.Write("anyone?", true);
        FAIL() << "write to an unplugged device succeeded";
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "Operation failed: 5 (Input/output error)");
    }
    EXPECT_TRUE(FPort.Active());
    FPort.SetActive(false);
}

TEST_F(TComPortPty, AThrowingHandlerIsReportedAndTheNextBytesStillArrive) {
    FPort.OnRxChar = [&](TComPort* sender, int32_t inQue) {
        std::string text;
        sender->Read(text, inQue, true);
        FReceived += text;
        if (text.find('!') != std::string::npos) throw EComPort("bad reply");
    };
    FPort.SetActive(true);
    FHost.Write("one!");
    ASSERT_TRUE(FOwner->RunUntil([&] { return !FReports.empty(); }));
    FHost.Write("two");
    EXPECT_TRUE(FOwner->RunUntil([&] { return FReceived == "one!two"; }));
    EXPECT_EQ(FReports, std::vector<std::string>{"bad reply"});
}

TEST_F(TComPortPty, EventCharAndDiscardNullWorkOnTheReceivedBytes) {
    int flags = 0;
    FPort.OnRxFlag = [&](TComPort*) { ++flags; };
    FPort.SetEventChar('\x1d');
    FPort.SetDiscardNull(true);
    FPort.SetActive(true);
    FHost.Write(std::string("a\0b\x1d", 4));
    ASSERT_TRUE(FOwner->RunUntil([&] { return flags == 1; }));
    std::string text;
    EXPECT_EQ(FPort.Read(text, FPort.InputCount(), true), 3);
    EXPECT_EQ(text, "ab\x1d");
}

}  // namespace
