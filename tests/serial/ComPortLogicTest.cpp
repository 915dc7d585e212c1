// TComPort's own logic (properties, open/close order, pending transfers,
// failure texts, event delivery) over a scripted device.
#include <gtest/gtest.h>

#include <thread>

#include "serial/ComThread.h"
#include "tests/serial/FakeComDevice.h"
#include "tests/serial/Watchdog.h"
#include "tests/serial/TestOwnerThread.h"

namespace {

class TComPortLogic : public ::testing::Test {
protected:
    std::shared_ptr<TFakeComState> FState = std::make_shared<TFakeComState>();
    std::shared_ptr<TTestOwnerThread> FOwner = std::make_shared<TTestOwnerThread>();
    TComPort FPort{FakeFactory(FState, FOwner)};

    template <typename E>
    std::string FailureOf(const std::function<void()>& action) {
        try {
            action();
        } catch (const E& error) {
            return error.what();
        }
        return "(no exception)";
    }
};

TEST_F(TComPortLogic, DefaultsAreTheDocumentedOnes) {
    EXPECT_FALSE(FPort.Active());
    EXPECT_EQ(FPort.BaudRate(), 9600);
    EXPECT_EQ(FPort.Port(), "COM1");
    EXPECT_EQ(FPort.Parity().Bits(), prNone);
    EXPECT_FALSE(FPort.Parity().Check());
    EXPECT_FALSE(FPort.Parity().Replace());
    EXPECT_EQ(FPort.Parity().ReplaceChar(), 0);
    EXPECT_EQ(FPort.StopBits(), sbOneStopBit);
    EXPECT_EQ(FPort.DataBits(), 8);
    EXPECT_FALSE(FPort.DiscardNull());
    EXPECT_EQ(FPort.EventChar(), 0);
    EXPECT_EQ(FPort.Events(), TEvents::All());
    EXPECT_EQ(FPort.WriteBufSize(), 1024);
    EXPECT_EQ(FPort.ReadBufSize(), 1024);
    EXPECT_EQ(FPort.FlowControl().ControlDtr(), dtrDisable);
    EXPECT_EQ(FPort.FlowControl().ControlRts(), rtsDisable);
    EXPECT_EQ(FPort.Timeouts().ReadInterval(), -1);
    EXPECT_EQ(FPort.Timeouts().WriteTotalMultiplier(), 100);
    EXPECT_EQ(FPort.Timeouts().WriteTotalConstant(), 1000);
    EXPECT_EQ(FPort.SyncMethod(), smSynchronize);
}

TEST_F(TComPortLogic, OpenAppliesSettingsInOrderThenStartsWatchingAndCallsOnOpen) {
    std::vector<std::string> seen;
    FPort.OnOpen = [&](TComPort*) { seen = FState->TakeCalls(); };
    FPort.SetActive(true);
    EXPECT_EQ(seen, (std::vector<std::string>{"Open COM1", "SetupComm", "SetCommState",
                                              "SetCommTimeouts", "CreateEvent", "SetCommMask"}));
    EXPECT_EQ(FState->EventMask, 0x05FFu);
    EXPECT_EQ(FState->ReadSize, 1024);
    EXPECT_EQ(FState->WriteSize, 1024);

    const TComLineSettings& l = FState->Line;
    EXPECT_EQ(l.BaudRate, 9600u);
    EXPECT_EQ(l.ByteSize, 8);
    EXPECT_EQ(l.ParityBits, 0);
    EXPECT_EQ(l.StopBits, 0);
    EXPECT_EQ(l.XonLim, 256);
    EXPECT_EQ(l.XoffLim, 256);
    EXPECT_EQ(l.XonChar, 0x11);
    EXPECT_EQ(l.XoffChar, 0x13);
    EXPECT_FALSE(l.Parity || l.OutxCtsFlow || l.OutX || l.InX || l.Null || l.ErrorCharOn);

    const TComTimeoutValues& t = FState->Timeouts;
    EXPECT_EQ(t.ReadInterval, 0xFFFFFFFFu);
    EXPECT_EQ(t.ReadTotalMultiplier, 0u);
    EXPECT_EQ(t.ReadTotalConstant, 0u);
    EXPECT_EQ(t.WriteTotalMultiplier, 100u);
    EXPECT_EQ(t.WriteTotalConstant, 1000u);
}

struct TLineCase {
    const char* Name;
    std::function<void(TComPort&)> Change;
    std::function<bool(const TComLineSettings&)> Reached;
};

TEST_F(TComPortLogic, LineSettingsChangedWhileOpenReachTheDeviceAtOnce) {
    const TLineCase cases[] = {
        {"BaudRate", [](TComPort& p) { p.SetBaudRate(4800); },
         [](const TComLineSettings& l) { return l.BaudRate == 4800; }},
        {"DataBits 7", [](TComPort& p) { p.SetDataBits(7); },
         [](const TComLineSettings& l) { return l.ByteSize == 7; }},
        {"StopBits two", [](TComPort& p) { p.SetStopBits(sbTwoStopBits); },
         [](const TComLineSettings& l) { return l.StopBits == 2; }},
        {"Parity even", [](TComPort& p) { p.Parity().SetBits(prEven); },
         [](const TComLineSettings& l) { return l.ParityBits == 2; }},
        {"Parity space", [](TComPort& p) { p.Parity().SetBits(prSpace); },
         [](const TComLineSettings& l) { return l.ParityBits == 4; }},
        {"Parity check", [](TComPort& p) { p.Parity().SetCheck(true); },
         [](const TComLineSettings& l) { return l.Parity; }},
        {"Replace char without Replace", [](TComPort& p) { p.Parity().SetReplaceChar('?'); },
         [](const TComLineSettings& l) { return !l.ErrorCharOn && l.ErrorChar == 0; }},
        {"Replace", [](TComPort& p) { p.Parity().SetReplace(true); },
         [](const TComLineSettings& l) { return l.ErrorCharOn && l.ErrorChar == '?'; }},
        {"DiscardNull", [](TComPort& p) { p.SetDiscardNull(true); },
         [](const TComLineSettings& l) { return l.Null; }},
        {"EventChar", [](TComPort& p) { p.SetEventChar('\x1d'); },
         [](const TComLineSettings& l) { return l.EvtChar == '\x1d'; }},
        {"CTS flow", [](TComPort& p) { p.FlowControl().SetOutCtsFlow(true); },
         [](const TComLineSettings& l) { return l.OutxCtsFlow; }},
        {"RTS toggle", [](TComPort& p) { p.FlowControl().SetControlRts(rtsToggle); },
         [](const TComLineSettings& l) { return l.RtsControl == 3; }},
        {"DTR enable", [](TComPort& p) { p.FlowControl().SetControlDtr(dtrEnable); },
         [](const TComLineSettings& l) { return l.DtrControl == 1; }},
        {"XON/XOFF in", [](TComPort& p) { p.FlowControl().SetXonXoffIn(true); },
         [](const TComLineSettings& l) { return l.InX; }},
    };
    FPort.SetActive(true);
    for (const TLineCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const int before = FState->LineSettingsCalls;
        c.Change(FPort);
        EXPECT_EQ(FState->LineSettingsCalls, before + 1);
        EXPECT_TRUE(c.Reached(FState->Line));
        c.Change(FPort);  // the same value again
        EXPECT_EQ(FState->LineSettingsCalls, before + 1);
    }
}

TEST_F(TComPortLogic, TimeoutsAndQueueSizesChangedWhileOpenReachTheDevice) {
    FPort.SetActive(true);
    FPort.Timeouts().SetReadTotalConstant(250);
    EXPECT_EQ(FState->Timeouts.ReadTotalConstant, 250u);
    FPort.Timeouts().SetReadInterval(-1);
    EXPECT_EQ(FState->TimeoutCalls, 2);
    FPort.SetReadBufSize(4096);
    EXPECT_EQ(FState->ReadSize, 4096);
    FPort.SetWriteBufSize(2048);
    EXPECT_EQ(FState->WriteSize, 2048);
    EXPECT_EQ(FState->QueueCalls, 3);
}

TEST_F(TComPortLogic, ChangesWhileClosedTouchNoDevice) {
    FPort.SetBaudRate(19200);
    FPort.SetDataBits(7);
    FPort.Parity().SetBits(prOdd);
    FPort.Timeouts().SetWriteTotalConstant(5);
    FPort.SetReadBufSize(64);
    FPort.SetEvents({evRxChar});
    FPort.SetSyncMethod(smNone);
    FPort.SetActive(false);
    EXPECT_TRUE(FState->TakeCalls().empty());
    FPort.SetActive(true);
    EXPECT_EQ(FState->Line.BaudRate, 19200u);
    EXPECT_EQ(FState->Line.ByteSize, 7);
    EXPECT_EQ(FState->Line.ParityBits, 1);
    EXPECT_EQ(FState->Line.XonLim, 16);
    EXPECT_EQ(FState->Timeouts.WriteTotalConstant, 5u);
    EXPECT_EQ(FState->EventMask, EV_RXCHAR);
}

TEST_F(TComPortLogic, EventsChangedWhileOpenWaitForTheNextOpen) {
    FPort.SetActive(true);
    FState->TakeCalls();
    FPort.SetEvents({evRxChar, evBreak});
    EXPECT_TRUE(FState->TakeCalls().empty());
    FPort.SetActive(false);
    FPort.SetActive(true);
    EXPECT_EQ(FState->EventMask, EV_RXCHAR | EV_BREAK);
}

TEST_F(TComPortLogic, NoEventsMeansNoEventThread) {
    FPort.SetEvents({});
    FPort.SetActive(true);
    auto calls = FState->TakeCalls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "SetCommMask"), 0);
    FPort.SetActive(false);
    calls = FState->TakeCalls();
    EXPECT_EQ(calls, std::vector<std::string>{"Close"});  // no purge without a thread
}

TEST_F(TComPortLogic, PortNamesCompareExactlyAndReopenWhileOpen) {
    FPort.SetActive(true);
    FState->TakeCalls();
    FPort.SetPort("COM1");
    EXPECT_TRUE(FState->TakeCalls().empty());
    FPort.SetPort("com1");
    const auto calls = FState->TakeCalls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0], "PurgeComm");  // the event thread's last act
    EXPECT_EQ(calls[1], "Close");
    EXPECT_EQ(calls[2], "Open com1");
    EXPECT_TRUE(FPort.Active());
}

TEST_F(TComPortLogic, FailedReopenOnANewPortLeavesThePortClosed) {
    FPort.SetActive(true);
    FState->OpenError = 2;
    EXPECT_EQ(FailureOf<EComPort>([&] { FPort.SetPort("COM9"); }),
              "Unable to open COM9: fake error 2");
    EXPECT_FALSE(FPort.Active());
    EXPECT_EQ(FPort.Port(), "COM9");
}

TEST_F(TComPortLogic, FailuresDuringOpenCloseTheDeviceAndKeepTheirText) {
    struct TCase {
        int TFakeComState::*Error;
        std::string Message;
    } cases[] = {
        {&TFakeComState::OpenError, "Unable to open COM1: fake error 5"},
        {&TFakeComState::QueueError, "Unable to set up comm: fake error 5"},
        {&TFakeComState::LineError, "Unable to set com state: fake error 5"},
    };
    bool opened = false;
    FPort.OnOpen = [&](TComPort*) { opened = true; };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Message);
        FState->ClearErrors();
        (*FState).*c.Error = 5;
        EXPECT_EQ(FailureOf<EComPort>([&] { FPort.SetActive(true); }), c.Message);
        EXPECT_FALSE(FPort.Active());
        EXPECT_FALSE(opened);
        const auto calls = FState->TakeCalls();
        if (c.Error != &TFakeComState::OpenError) {
            EXPECT_EQ(calls.back(), "Close");
        }
    }
    FState->ClearErrors();
    FState->TimeoutError = 5;
    EXPECT_EQ(FailureOf<EOSError>([&] { FPort.SetActive(true); }),
              "System Error.  Code: 5.\r\nfake error 5");
    EXPECT_FALSE(FPort.Active());
    EXPECT_EQ(std::string(EOSError(0, "ignored").what()), "A call to an OS function failed");
}

TEST_F(TComPortLogic, SyncMethodIsRefusedWhileOpen) {
    FPort.SetActive(true);
    EXPECT_EQ(FailureOf<EComPort>([&] { FPort.SetSyncMethod(smNone); }),
              "Cannot set SyncMethod while connected");
    EXPECT_EQ(FPort.SyncMethod(), smSynchronize);
    FPort.SetSyncMethod(smSynchronize);  // the same value is no change
    FPort.SetActive(false);
    FPort.SetSyncMethod(smWindow);
    EXPECT_EQ(FPort.SyncMethod(), smWindow);
}

TEST_F(TComPortLogic, PendingTransfersStackUpAndAreReleased) {
    FPort.SetActive(true);
    EXPECT_EQ(FPort.WaitForLastOperation(), -2);
    FState->WriteResult = {TComIoResult::ioPending, 0, 0};
    EXPECT_EQ(FPort.Write("abc", false), -1);
    EXPECT_EQ(FPort.Write("de", false), -1);
    EXPECT_EQ(FState->LiveOperations, 2);
    FState->WaitResult = {TComIoResult::ioDone, 2, 0};
    EXPECT_EQ(FPort.WaitForLastOperation(), 2);
    EXPECT_EQ(FState->LiveOperations, 1);

    FState->WaitResult = {TComIoResult::ioDone, 4, 0};
    EXPECT_EQ(FPort.Write("wxyz", true), 4);  // waits at once
    EXPECT_EQ(FState->LiveOperations, 1);

    FState->TakeCalls();
    FPort.SetActive(false);
    EXPECT_EQ(FState->LiveOperations, 0);
    EXPECT_EQ(FState->TakeCalls().front(), "PurgeComm");  // AbortAllOperations comes first
}

TEST_F(TComPortLogic, TransferFailuresKeepThePortOpenAndFreeTheRecord) {
    FPort.SetActive(true);
    FState->WriteResult = {TComIoResult::ioFailed, 0, 31};
    EXPECT_EQ(FailureOf<EComPort>([&] { FPort.Write("x", true); }),
              "Operation failed: 31 (fake error 31)");
    FState->ReadResult = {TComIoResult::ioFailed, 0, 995};
    std::string data;
    EXPECT_EQ(FailureOf<EComPort>([&] { FPort.Read(data, 3, true); }),
              "Operation aborted: 995 (fake error 995)");
    FState->WriteResult = {TComIoResult::ioPending, 0, 0};
    FPort.Write("y", false);
    FState->WaitResult = {TComIoResult::ioFailed, 0, 6};
    EXPECT_EQ(FailureOf<EComPort>([&] { FPort.WaitForLastOperation(); }),
              "Operation failed: 6 (fake error 6)");
    EXPECT_EQ(FState->LiveOperations, 0);
    EXPECT_TRUE(FPort.Active());
}

TEST_F(TComPortLogic, ReadGivesTheTextItsCountAndKeepsIt) {
    FPort.SetActive(true);
    FState->ToRead = "ab";
    std::string data = "old";
    EXPECT_EQ(FPort.Read(data, 5, true), 2);
    EXPECT_EQ(data, std::string("ab\0\0\0", 5));
    EXPECT_EQ(FPort.Read(data, 0, true), 0);
    EXPECT_EQ(data, "");
}

TEST_F(TComPortLogic, StatusAndAbortFailuresCarryTheDecimalCode) {
    FPort.SetActive(true);
    FState->InQueue = 12;
    EXPECT_EQ(FPort.InputCount(), 12);
    FState->InputCountError = 22;
    EXPECT_EQ(FailureOf<EComPort>([&] { FPort.InputCount(); }), "Unable to read com status: 22");
    FState->InputCountError = 0;

    FState->TakeCalls();
    FPort.AbortAllOperations();  // nothing pending: the device is not asked
    EXPECT_TRUE(FState->TakeCalls().empty());

    FState->WriteResult = {TComIoResult::ioPending, 0, 0};
    FPort.Write("a", false);
    FPort.Write("b", false);
    FState->PurgeError = 9;
    EXPECT_EQ(FailureOf<EComPort>([&] { FPort.AbortAllOperations(); }), "Cannot abort operation: 9");
    EXPECT_EQ(FState->LiveOperations, 0);
    EXPECT_EQ(FPort.WaitForLastOperation(), -2);
}

TEST_F(TComPortLogic, CloseFinishesEvenWhenAbortingFails) {
    FPort.SetActive(true);
    FState->WriteResult = {TComIoResult::ioPending, 0, 0};
    FPort.Write("a", false);
    FState->PurgeError = 9;
    bool closed = false;
    FPort.OnClose = [&](TComPort*) { closed = true; };
    EXPECT_EQ(FailureOf<EComPort>([&] { FPort.SetActive(false); }), "Cannot abort operation: 9");
    EXPECT_FALSE(FPort.Active());
    EXPECT_TRUE(closed);
}

TEST_F(TComPortLogic, OnCloseRunsOncePerRealClose) {
    int closes = 0;
    FPort.OnClose = [&](TComPort*) { ++closes; };
    FPort.SetActive(false);
    FPort.SetActive(true);
    FPort.SetActive(false);
    FPort.Close();
    EXPECT_EQ(closes, 1);
}

TEST_F(TComPortLogic, DestroyingAnOpenPortClosesIt) {
    auto other = std::make_unique<TComPort>(FakeFactory(FState, FOwner));
    other->SetActive(true);
    FState->TakeCalls();
    other.reset();
    EXPECT_EQ(FState->TakeCalls().back(), "Close");
}

TEST_F(TComPortLogic, AssigningSubObjectsCopiesValuesButKeepsTheirPort) {
    auto otherState = std::make_shared<TFakeComState>();
    TComPort other(FakeFactory(otherState, FOwner));
    other.Parity().SetBits(prMark);
    other.SetActive(true);
    FPort.SetActive(true);
    FPort.SetParity(other.Parity());
    EXPECT_EQ(FState->Line.ParityBits, 3);
    const int otherCalls = otherState->LineSettingsCalls;
    FPort.Parity().SetBits(prOdd);
    EXPECT_EQ(FState->Line.ParityBits, 1);
    EXPECT_EQ(otherState->LineSettingsCalls, otherCalls);
    EXPECT_EQ(other.Parity().Bits(), prMark);
}

// --- Delivery ---------------------------------------------------------------

const uint32_t AllFlags = EV_RXCHAR | EV_RXFLAG | EV_TXEMPTY | EV_CTS | EV_DSR | EV_RLSD |
                          EV_BREAK | EV_ERR | EV_RING | EV_RX80FULL;
const std::vector<std::string> DispatchOrder = {
    "RxChar 7", "TxEmpty", "Break", "Ring", "CTS", "DSR", "RxFlag", "RLSD", "Error", "Rx80Full"};

struct TRecorder {
    std::mutex Mutex;
    std::vector<std::string> Names;
    std::vector<std::thread::id> Threads;
    void Hook(TComPort& port) {
        port.OnRxChar = [this](TComPort*, int32_t inQue) {
            Add("RxChar " + std::to_string(inQue));
        };
        port.OnTxEmpty = [this](TComPort*) { Add("TxEmpty"); };
        port.OnBreak = [this](TComPort*) { Add("Break"); };
        port.OnRing = [this](TComPort*) { Add("Ring"); };
        port.OnCTS = [this](TComPort*) { Add("CTS"); };
        port.OnDSR = [this](TComPort*) { Add("DSR"); };
        port.OnRxFlag = [this](TComPort*) { Add("RxFlag"); };
        port.OnRLSD = [this](TComPort*) { Add("RLSD"); };
        port.OnError = [this](TComPort*) { Add("Error"); };
        port.OnRx80Full = [this](TComPort*) { Add("Rx80Full"); };
    }
    void Add(std::string name) {
        std::lock_guard lock(Mutex);
        Names.push_back(std::move(name));
        Threads.push_back(std::this_thread::get_id());
    }
    size_t Count() {
        std::lock_guard lock(Mutex);
        return Names.size();
    }
};

TEST_F(TComPortLogic, EachSyncMethodDeliversInTheFixedOrderOnItsThread) {
    for (TSyncMethod method : {smSynchronize, smWindow, smNone}) {
        SCOPED_TRACE(static_cast<int>(method));
        TRecorder recorder;
        recorder.Hook(FPort);
        FPort.SetSyncMethod(method);
        FState->InQueue = 7;
        FPort.SetActive(true);
        FState->Post(AllFlags);
        ASSERT_TRUE(FOwner->RunUntil([&] { return recorder.Count() == 10; }));
        FPort.SetActive(false);
        EXPECT_EQ(recorder.Names, DispatchOrder);
        for (std::thread::id id : recorder.Threads)
            EXPECT_EQ(id == std::this_thread::get_id(), method != smNone);
    }
}

TEST_F(TComPortLogic, UnassignedHandlersAreSkipped) {
    int rxFlags = 0;
    FPort.OnRxFlag = [&](TComPort*) { ++rxFlags; };
    FState->InputCountError = 1;  // InputCount is asked only for an assigned OnRxChar
    FPort.SetActive(true);
    FState->Post(EV_RXCHAR | EV_RXFLAG);
    EXPECT_TRUE(FOwner->RunUntil([&] { return rxFlags == 1; }));
    FPort.SetActive(false);
    EXPECT_TRUE(FState->TakeReports().empty());
}

TEST_F(TComPortLogic, AThrowingHandlerIsReportedAndDeliveriesGoOn) {
    for (TSyncMethod method : {smSynchronize, smNone}) {
        SCOPED_TRACE(static_cast<int>(method));
        std::atomic<int> calls{0};
        FPort.OnRxChar = [&](TComPort*, int32_t) {
            if (++calls == 1) throw EComPort("handler broke");
        };
        FPort.SetSyncMethod(method);
        FPort.SetActive(true);
        FState->Post(EV_RXCHAR);
        FState->Post(EV_RXCHAR);
        EXPECT_TRUE(FOwner->RunUntil([&] { return calls == 2; }));
        FPort.SetActive(false);
        EXPECT_EQ(FState->TakeReports(), std::vector<std::string>{"handler broke"});
    }
}

TEST_F(TComPortLogic, CloseCarriesOutADeliveryAlreadyRequested) {
    TWatchdog watchdog(std::chrono::seconds(60));
    int deliveries = 0;
    bool activeDuringDelivery = false;
    FPort.OnRxChar = [&](TComPort* sender, int32_t) {
        ++deliveries;
        activeDuringDelivery = sender->Active();
    };
    for (int round = 0; round < 20; ++round) {
        FPort.SetActive(true);
        FState->Post(EV_RXCHAR);
        // Wait (without running the event loop) until the thread has asked
        // for the delivery on the owner's thread.
        ASSERT_TRUE(FOwner->WaitPosted(static_cast<size_t>(round) + 1));
        FPort.SetActive(false);  // must not wait for an event loop that is not running
    }
    EXPECT_EQ(deliveries, 20);
    EXPECT_TRUE(activeDuringDelivery);
}

TEST_F(TComPortLogic, AHandlerMayCloseThePortItIsCalledFor) {
    TWatchdog watchdog(std::chrono::seconds(60));
    for (TSyncMethod method : {smSynchronize, smWindow}) {
        FPort.SetSyncMethod(method);
        bool called = false;
        FPort.OnRxChar = [&](TComPort* sender, int32_t) {
            called = true;
            sender->SetActive(false);
        };
        FPort.SetActive(true);
        FState->Post(EV_RXCHAR | EV_BREAK);
        EXPECT_TRUE(FOwner->RunUntil([&] { return !FPort.Active(); }));
        EXPECT_TRUE(called);
    }
}

// A handler that Close runs for a delivery already requested may try to
// reopen the port (here by changing Port); the closing port must refuse
// rather than swap the device under its still running event thread.
TEST_F(TComPortLogic, AHandlerRunDuringCloseCannotReopenThePort) {
    TWatchdog watchdog(std::chrono::seconds(60));
    int deliveries = 0;
    FPort.OnRxChar = [&](TComPort* sender, int32_t) {
        ++deliveries;
        sender->SetPort(sender->Port() == "COM1" ? "COM2" : "COM1");
    };
    for (int round = 0; round < 20; ++round) {
        FPort.SetActive(true);
        FState->Post(EV_RXCHAR);
        // The delivery is asked for; without the event loop running, it can
        // only run in Close.
        ASSERT_TRUE(FOwner->WaitPosted(static_cast<size_t>(round) + 1));
        FPort.SetActive(false);
        EXPECT_FALSE(FPort.Active());
    }
    const std::vector<std::string> reports = FState->TakeReports();
    EXPECT_EQ(deliveries, 20);
    EXPECT_EQ(reports.size(), static_cast<size_t>(deliveries));
    for (const std::string& report : reports)
        EXPECT_TRUE(report == "Unable to open COM1: the port is being closed" ||
                    report == "Unable to open COM2: the port is being closed")
            << report;
}

// --- Failures that must leave no half-open port ------------------------------

TEST_F(TComPortLogic, AnEventWatchThatCannotBeSetUpFailsTheOpenCleanly) {
    TWatchdog watchdog(std::chrono::seconds(60));
    struct TCase {
        int TFakeComState::*Error;
        std::string Message;
    } cases[] = {
        {&TFakeComState::StopSignalError, "Unable to start the event thread: fake error 24"},
        {&TFakeComState::EventMaskError, "Unable to set comm mask: fake error 24"},
    };
    bool opened = false;
    FPort.OnOpen = [&](TComPort*) { opened = true; };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Message);
        FState->ClearErrors();
        (*FState).*c.Error = 24;
        FState->TakeCalls();
        EXPECT_EQ(FailureOf<EComPort>([&] { FPort.SetActive(true); }), c.Message);
        EXPECT_FALSE(FPort.Active());
        EXPECT_FALSE(opened);
        EXPECT_EQ(FState->TakeCalls().back(), "Close");
        FPort.SetActive(false);  // returns: there is no thread to wait for
        EXPECT_TRUE(FState->TakeCalls().empty());
    }
    FState->ClearErrors();
    FPort.SetActive(true);
    EXPECT_TRUE(FPort.Active());
    EXPECT_TRUE(opened);
}

TEST_F(TComPortLogic, APortWithoutAnOwnerThreadWatchesEventsOnlyWithSmNone) {
    TComPort port(FakeFactory(FState));
    EXPECT_EQ(FailureOf<EComPort>([&] { port.SetActive(true); }),
              "Unable to open COM1: no owner thread to deliver events to");
    EXPECT_TRUE(FState->TakeCalls().empty());  // the device was not touched
    port.SetEvents({});
    port.SetActive(true);
    port.SetActive(false);
    port.SetEvents(TEvents::All());
    port.SetSyncMethod(smNone);
    int deliveries = 0;
    port.OnRxChar = [&](TComPort*, int32_t) { ++deliveries; };
    port.SetActive(true);
    FState->Post(EV_RXCHAR);
    ASSERT_TRUE(FState->WaitUntilTaken(5s));
    port.SetActive(false);  // waits for the delivery under way
    EXPECT_EQ(deliveries, 1);
}

// --- smNone: handlers on the event thread ------------------------------------

TEST_F(TComPortLogic, AnSmNoneHandlerCannotOpenOrCloseItsOwnPort) {
    TWatchdog watchdog(std::chrono::seconds(60));
    std::vector<std::string> reports;
    std::atomic<int> calls{0};
    FPort.SetSyncMethod(smNone);
    FPort.OnRxChar = [&](TComPort* sender, int32_t) {
        ++calls;
        sender->SetActive(false);
    };
    FPort.OnBreak = [&](TComPort* sender) { sender->SetPort("COM2"); };
    FPort.SetActive(true);
    FState->Post(EV_RXCHAR);
    FState->Post(EV_BREAK);
    FState->Post(EV_RXCHAR);
    ASSERT_TRUE(FOwner->RunUntil([&] {
        for (std::string& report : FState->TakeReports()) reports.push_back(std::move(report));
        return reports.size() == 3;
    }));
    EXPECT_TRUE(FPort.Active());
    FPort.SetActive(false);  // the owner's close still works
    EXPECT_FALSE(FPort.Active());
    EXPECT_EQ(FPort.Port(), "COM1");
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(reports, (std::vector<std::string>{
                           "Cannot close COM1 in an event handler run on its event thread (smNone)",
                           "Cannot reopen COM1 in an event handler run on its event thread (smNone)",
                           "Cannot close COM1 in an event handler run on its event thread (smNone)",
                       }));
}

TEST_F(TComPortLogic, AnSmNoneHandlerReadsWithoutTouchingTheOwnersPendingTransfers) {
    TWatchdog watchdog(std::chrono::seconds(60));
    FPort.SetSyncMethod(smNone);
    FPort.SetActive(true);
    // The owner has a transfer under way when the bytes arrive.
    FState->WriteResult = {TComIoResult::ioPending, 0, 0};
    EXPECT_EQ(FPort.Write("request", false), -1);
    EXPECT_EQ(FState->LiveOperations, 1);

    std::string received;
    int liveDuringRead = -1;
    std::vector<std::string> refusals;
    FPort.OnRxChar = [&](TComPort* sender, int32_t inQue) {
        // A read whose device operation is left pending is finished here.
        FState->ReadResult = {TComIoResult::ioPending, 0, 0};
        FState->WaitResult = {TComIoResult::ioDone, inQue, 0};
        std::string text;
        const int32_t n = sender->Read(text, inQue, true);
        liveDuringRead = FState->LiveOperations;
        received = text.substr(0, static_cast<size_t>(n));
        for (const auto& refused : std::vector<std::function<void()>>{
                 [&] { sender->Read(text, 1, false); },
                 [&] { sender->Write("x", false); },
                 [&] { sender->WaitForLastOperation(); },
                 [&] { sender->AbortAllOperations(); },
             }) {
            try {
                refused();
                refusals.push_back("(allowed)");
            } catch (const EComPort& e) {
                refusals.push_back(e.what());
            }
        }
    };
    FState->ToRead = "reply";
    FState->InQueue = 5;
    FState->Post(EV_RXCHAR);
    ASSERT_TRUE(FState->WaitUntilTaken(5s));
    ASSERT_TRUE(FOwner->RunUntil([&] { return refusals.size() == 4; }));
    EXPECT_EQ(received, "reply");
    EXPECT_EQ(liveDuringRead, 1);  // the read's own record is gone, the owner's stays
    EXPECT_EQ(refusals,
              (std::vector<std::string>{
                  "Cannot read from COM1 without waiting in an event handler run on its event "
                  "thread (smNone)",
                  "Cannot write to COM1 without waiting in an event handler run on its event "
                  "thread (smNone)",
                  "Cannot wait for the last operation of COM1 in an event handler run on its "
                  "event thread (smNone)",
                  "Cannot abort the operations of COM1 in an event handler run on its event "
                  "thread (smNone)",
              }));
    // The owner's write is still the last operation, and only it.
    FState->WaitResult = {TComIoResult::ioDone, 7, 0};
    EXPECT_EQ(FPort.WaitForLastOperation(), 7);
    EXPECT_EQ(FPort.WaitForLastOperation(), -2);
    EXPECT_EQ(FState->LiveOperations, 0);
    FPort.SetActive(false);
    EXPECT_TRUE(FState->TakeReports().empty());
}

}  // namespace
