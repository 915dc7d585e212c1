// TComPort on the POSIX device over pseudo-terminals, the test playing the far end.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdlib>
#include <future>
#include <thread>

#include "tests/serial/Watchdog.h"
#include "tests/support/PtyHost.h"

namespace {

class ComPortPty : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureCoreApplication();
        Port.SetPort("COM5");
    }
    TPtyHost Host;
    TComNameMap Names{{{"COM5", Host.SlavePath()}, {"COM77", "/nonexistent/tty"}}};
    TComPort Port;

    std::string Received;
    std::vector<int32_t> InQues;
    // A receive handler as the program writes it: read what was reported.
    void ReadEverything() {
        Port.OnRxChar = [this](TComPort* Sender, int32_t InQue) {
            EXPECT_EQ(Sender, &Port);
            InQues.push_back(InQue);
            std::string Text;
            Sender->Read(Text, InQue, true);
            Received += Text;
        };
    }
};

std::string OpenFailure(TComPort& Port) {
    try {
        Port.SetActive(true);
    } catch (const EComPort& E) {
        return E.what();
    }
    return "(opened)";
}

TEST_F(ComPortPty, BytesReachOnRxCharOnTheOwnerThreadExactlyOnce) {
    const std::thread::id Owner = std::this_thread::get_id();
    ReadEverything();
    auto Inner = Port.OnRxChar;
    Port.OnRxChar = [&](TComPort* Sender, int32_t InQue) {
        EXPECT_EQ(std::this_thread::get_id(), Owner);
        Inner(Sender, InQue);
    };
    Port.SetActive(true);

    std::string Expected;
    for (int I = 0; I < 20; ++I) {  // single bytes, each awaited
        const std::string Byte(1, static_cast<char>('a' + I));
        Host.Write(Byte);
        Expected += Byte;
        ASSERT_TRUE(ProcessEventsUntil([&] { return Received == Expected; }));
    }
    std::string Burst;
    for (int I = 0; I < 3000; ++I) Burst += static_cast<char>(I * 7);
    Host.Write(Burst);
    Expected += Burst;
    ASSERT_TRUE(ProcessEventsUntil([&] { return Received.size() >= Expected.size(); }));
    EXPECT_EQ(Received, Expected);
    for (int32_t InQue : InQues) EXPECT_GE(InQue, 0);
    EXPECT_EQ(Port.InputCount(), 0);
}

TEST_F(ComPortPty, UnreadBytesAreReportedOncePerArrivalWithTheGrowingCount) {
    std::vector<int32_t> Counts;
    Port.OnRxChar = [&](TComPort*, int32_t InQue) { Counts.push_back(InQue); };
    Port.SetActive(true);
    Host.Write("abc");
    ASSERT_TRUE(ProcessEventsUntil([&] { return !Counts.empty(); }));
    Host.Write("de");
    ASSERT_TRUE(ProcessEventsUntil([&] { return !Counts.empty() && Counts.back() == 5; }));
    // A device that reports unread bytes again and again would have called
    // the handler many times by now.
    EXPECT_LE(Counts.size(), 2u);
    EXPECT_EQ(Port.InputCount(), 5);
    std::string Text;
    EXPECT_EQ(Port.Read(Text, 5, true), 5);
    EXPECT_EQ(Text, "abcde");
    EXPECT_EQ(Port.InputCount(), 0);
}

TEST_F(ComPortPty, BytesLeftBehindByAShortReadAreAnnouncedAgain) {
    // The handler reads only what was reported, but more has arrived by the
    // time it reads; the rest must still reach a later event, even when the
    // far end then falls silent (a host waiting for our ACK).
    int Calls = 0;
    std::string Text;
    Port.OnRxChar = [&](TComPort* Sender, int32_t InQue) {
        if (++Calls == 1) {
            Host.Write("tail-of-reply\x1d");
            ASSERT_TRUE(ProcessEventsUntil(
                [&] { return Host.SlaveInputCount() == 0 || Sender->InputCount() > InQue; }));
        }
        std::string Part;
        Sender->Read(Part, InQue, true);
        Text += Part;
    };
    Port.SetActive(true);
    Host.Write("head");
    ASSERT_TRUE(ProcessEventsUntil([&] { return Text == "headtail-of-reply\x1d"; }))
        << "received only: " << Text;
}

TEST_F(ComPortPty, WrittenBytesArriveUntouched) {
    Port.SetActive(true);
    std::string All;
    for (int I = 0; I < 256; ++I) All += static_cast<char>(I);
    const std::string Protocol = "\x1cREQ=INI\r\nOMAV=3.02\r\x1e\x11\x13\x1d\x06\x03\x7f\r\n";
    EXPECT_EQ(Port.Write(All, true), 256);
    EXPECT_EQ(Port.Write(Protocol, true), static_cast<int32_t>(Protocol.size()));
    EXPECT_EQ(Host.Read(All.size() + Protocol.size()), All + Protocol);
}

TEST_F(ComPortPty, ReadReturnsAtOnceWithWhatHasArrived) {
    Port.SetActive(true);
    std::string Text = "stale";
    EXPECT_EQ(Port.Read(Text, 4, true), 0);
    EXPECT_EQ(Text, std::string(4, '\0'));
    Host.Write("xy");
    ASSERT_TRUE(ProcessEventsUntil([&] { return Port.InputCount() == 2; }));
    EXPECT_EQ(Port.Read(Text, 4, true), 2);
    EXPECT_EQ(Text, std::string("xy\0\0", 4));
}

TEST_F(ComPortPty, LineSettingsReachTheDeviceOnlyWhileOpen) {
    Port.SetActive(true);
    termios T = Host.LineSettings();
    EXPECT_EQ(BaudRateOf(T), 9600);
    EXPECT_EQ(T.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(T.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(T.c_lflag & (ICANON | ECHO | ISIG), 0u);  // raw
    EXPECT_EQ(T.c_oflag & OPOST, 0u);
    EXPECT_EQ(T.c_iflag & (IXON | IXOFF | ICRNL), 0u);

    Port.SetBaudRate(19200);
    Port.SetStopBits(sbTwoStopBits);
    T = Host.LineSettings();
    EXPECT_EQ(BaudRateOf(T), 19200);
    EXPECT_NE(T.c_cflag & CSTOPB, 0u);

    Port.SetActive(false);
    Port.SetBaudRate(38400);
    Port.SetStopBits(sbOneStopBit);
    T = Host.LineSettings();
    EXPECT_EQ(BaudRateOf(T), 19200);
    EXPECT_NE(T.c_cflag & CSTOPB, 0u);

    Port.SetActive(true);
    T = Host.LineSettings();
    EXPECT_EQ(BaudRateOf(T), 38400);
    EXPECT_EQ(T.c_cflag & CSTOPB, 0u);
}

TEST_F(ComPortPty, SettingsTheDeviceRefusesAreErrors) {
    Port.SetActive(true);
    try {
        Port.Parity().SetBits(prEven);  // a pseudo-terminal keeps no parity
        FAIL() << "parity accepted";
    } catch (const EComPort& E) {
        EXPECT_STREQ(E.what(), "Unable to set com state: Invalid argument");
    }
    EXPECT_TRUE(Port.Active());
    Port.Parity().SetBits(prNone);
    Port.SetActive(false);

    Port.SetBaudRate(12345);  // no such line speed
    EXPECT_EQ(OpenFailure(Port), "Unable to set com state: Invalid argument");
    EXPECT_FALSE(Port.Active());
    Port.SetBaudRate(9600);
    Port.SetDataBits(7);
    EXPECT_EQ(OpenFailure(Port), "Unable to set com state: Invalid argument");
    EXPECT_FALSE(Port.Active());
    Port.SetDataBits(8);
    EXPECT_EQ(OpenFailure(Port), "(opened)");
}

TEST_F(ComPortPty, ADeviceIsHeldByOnePortAtATime) {
    Port.SetActive(true);
    TComPort Second;
    Second.SetPort("COM5");
    EXPECT_EQ(OpenFailure(Second), "Unable to open COM5: Device or resource busy");
    EXPECT_FALSE(Second.Active());
    Port.SetActive(false);
    EXPECT_EQ(OpenFailure(Second), "(opened)");

    auto Third = std::make_unique<TComPort>();
    Third->SetPort("COM5");
    EXPECT_EQ(OpenFailure(*Third), "Unable to open COM5: Device or resource busy");
    Second.SetActive(false);
    EXPECT_EQ(OpenFailure(*Third), "(opened)");
    Third.reset();  // destroying an open port releases the device
    EXPECT_EQ(OpenFailure(Port), "(opened)");
}

TEST_F(ComPortPty, MissingAndEmptyNamesFailWithTheSystemsReason) {
    Port.SetPort("COM77");
    EXPECT_EQ(OpenFailure(Port), "Unable to open COM77: No such file or directory");
    Port.SetPort("");
    EXPECT_EQ(OpenFailure(Port).rfind("Unable to open : ", 0), 0u);
    EXPECT_FALSE(Port.Active());
}

TEST_F(ComPortPty, ChangingPortWhileOpenMovesToTheNewDevice) {
    TPtyHost Other;
    Names.Add("COM6", Other.SlavePath());
    Port.SetActive(true);
    Port.SetPort("COM6");
    EXPECT_TRUE(Port.Active());
    Port.Write("hello", true);
    EXPECT_EQ(Other.Read(5), "hello");
    EXPECT_EQ(Host.ReadAvailable(), "");
    TComPort Check;  // the first device is free again
    Check.SetPort("COM5");
    EXPECT_EQ(OpenFailure(Check), "(opened)");
}

TEST_F(ComPortPty, BytesLeftFromBeforeTheOpenAreDropped) {
    Host.Write("stale reply");
    ASSERT_TRUE(ProcessEventsUntil([&] { return Host.SlaveInputCount() == 11; }));
    Port.SetActive(true);
    EXPECT_EQ(Port.InputCount(), 0);
}

TEST_F(ComPortPty, CloseWhileBytesKeepArrivingReturns) {
    std::atomic<bool> Stop{false};
    std::thread Writer([&] {
        while (!Stop) {
            try {
                Host.Write(std::string(64, 'z'), 100ms);
            } catch (const std::exception&) {  // nobody reading: the pty is full
            }
        }
    });
    TWatchdog Watchdog(60s);
    std::atomic<int> Deliveries{0};
    Port.OnRxChar = [&](TComPort* Sender, int32_t InQue) {
        ++Deliveries;
        std::string Text;
        Sender->Read(Text, InQue, true);
    };
    for (int Round = 0; Round < 25; ++Round) {
        Port.SetActive(true);
        const int Before = Deliveries;
        ProcessEventsUntil([&] { return Deliveries > Before; }, 2s);
        // The event thread is now (or soon) waiting for the next hand-off
        // that this thread does not run its event loop for.
        Port.SetActive(false);
    }
    Stop = true;
    Writer.join();
    EXPECT_GT(Deliveries, 0);
}

double ProcessCpuSeconds() {
    rusage Usage{};
    getrusage(RUSAGE_SELF, &Usage);
    return static_cast<double>(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) +
           static_cast<double>(Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
}

TEST_F(ComPortPty, AnUnpluggedDeviceCostsNoCpuAndFailsTheNextWrite) {
    ReadEverything();
    Port.SetActive(true);
    Host.Write("last");
    ASSERT_TRUE(ProcessEventsUntil([&] { return Received == "last"; }));
    Host.CloseMaster();
    // The whole process's CPU time bounds the event thread's: this thread sleeps.
    const double Before = ProcessCpuSeconds();
    std::this_thread::sleep_for(1s);
    EXPECT_LT(ProcessCpuSeconds() - Before, 0.1);
    try {
        Port.Write("anyone?", true);
        FAIL() << "write to an unplugged device succeeded";
    } catch (const EComPort& E) {
        EXPECT_STREQ(E.what(), "Operation failed: 5 (Input/output error)");
    }
    EXPECT_TRUE(Port.Active());
    Port.SetActive(false);
}

TEST_F(ComPortPty, AThrowingHandlerIsReportedAndTheNextBytesStillArrive) {
    std::vector<std::string> Reports;
    TComErrorReport Previous =
        SetComErrorReport([&](const std::string& Message) { Reports.push_back(Message); });
    Port.OnRxChar = [&](TComPort* Sender, int32_t InQue) {
        std::string Text;
        Sender->Read(Text, InQue, true);
        Received += Text;
        if (Text.find('!') != std::string::npos) throw EComPort("bad reply");
    };
    Port.SetActive(true);
    Host.Write("one!");
    ASSERT_TRUE(ProcessEventsUntil([&] { return !Reports.empty(); }));
    Host.Write("two");
    EXPECT_TRUE(ProcessEventsUntil([&] { return Received == "one!two"; }));
    SetComErrorReport(Previous);
    EXPECT_EQ(Reports, std::vector<std::string>{"bad reply"});
}

TEST_F(ComPortPty, EventCharAndDiscardNullWorkOnTheReceivedBytes) {
    int Flags = 0;
    Port.OnRxFlag = [&](TComPort*) { ++Flags; };
    Port.SetEventChar('\x1d');
    Port.SetDiscardNull(true);
    Port.SetActive(true);
    Host.Write(std::string("a\0b\x1d", 4));
    ASSERT_TRUE(ProcessEventsUntil([&] { return Flags == 1; }));
    std::string Text;
    EXPECT_EQ(Port.Read(Text, Port.InputCount(), true), 3);
    EXPECT_EQ(Text, "ab\x1d");
}

}  // namespace
