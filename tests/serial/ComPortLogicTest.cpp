// TComPort's own logic (properties, open/close order, pending transfers,
// failure texts, event delivery) over a scripted device.
#include <gtest/gtest.h>

#include <thread>

#include "serial/ComThread.h"
#include "tests/serial/FakeComDevice.h"
#include "tests/serial/Watchdog.h"
#include "tests/support/PtyHost.h"

namespace {

class ComPortLogic : public ::testing::Test {
protected:
    void SetUp() override { EnsureCoreApplication(); }
    std::shared_ptr<TFakeComState> State = std::make_shared<TFakeComState>();
    TComPort Port{FakeFactory(State)};

    template <typename E>
    std::string FailureOf(const std::function<void()>& Action) {
        try {
            Action();
        } catch (const E& Error) {
            return Error.what();
        }
        return "(no exception)";
    }
};

TEST_F(ComPortLogic, DefaultsAreTheDocumentedOnes) {
    EXPECT_FALSE(Port.Active());
    EXPECT_EQ(Port.BaudRate(), 9600);
    EXPECT_EQ(Port.Port(), "COM1");
    EXPECT_EQ(Port.Parity().Bits(), prNone);
    EXPECT_FALSE(Port.Parity().Check());
    EXPECT_FALSE(Port.Parity().Replace());
    EXPECT_EQ(Port.Parity().ReplaceChar(), 0);
    EXPECT_EQ(Port.StopBits(), sbOneStopBit);
    EXPECT_EQ(Port.DataBits(), 8);
    EXPECT_FALSE(Port.DiscardNull());
    EXPECT_EQ(Port.EventChar(), 0);
    EXPECT_EQ(Port.Events(), TEvents::All());
    EXPECT_EQ(Port.WriteBufSize(), 1024);
    EXPECT_EQ(Port.ReadBufSize(), 1024);
    EXPECT_EQ(Port.FlowControl().ControlDtr(), dtrDisable);
    EXPECT_EQ(Port.FlowControl().ControlRts(), rtsDisable);
    EXPECT_EQ(Port.Timeouts().ReadInterval(), -1);
    EXPECT_EQ(Port.Timeouts().WriteTotalMultiplier(), 100);
    EXPECT_EQ(Port.Timeouts().WriteTotalConstant(), 1000);
    EXPECT_EQ(Port.SyncMethod(), smSynchronize);
}

TEST_F(ComPortLogic, OpenAppliesSettingsInOrderThenStartsWatchingAndCallsOnOpen) {
    std::vector<std::string> Seen;
    Port.OnOpen = [&](TComPort*) { Seen = State->TakeCalls(); };
    Port.SetActive(true);
    EXPECT_EQ(Seen, (std::vector<std::string>{"Open COM1", "SetupComm", "SetCommState",
                                              "SetCommTimeouts", "SetCommMask"}));
    EXPECT_EQ(State->EventMask, 0x05FFu);
    EXPECT_EQ(State->ReadSize, 1024);
    EXPECT_EQ(State->WriteSize, 1024);

    const TComLineSettings& L = State->Line;
    EXPECT_EQ(L.BaudRate, 9600u);
    EXPECT_EQ(L.ByteSize, 8);
    EXPECT_EQ(L.ParityBits, 0);
    EXPECT_EQ(L.StopBits, 0);
    EXPECT_EQ(L.XonLim, 256);
    EXPECT_EQ(L.XoffLim, 256);
    EXPECT_EQ(L.XonChar, 0x11);
    EXPECT_EQ(L.XoffChar, 0x13);
    EXPECT_FALSE(L.Parity || L.OutxCtsFlow || L.OutX || L.InX || L.Null || L.ErrorCharOn);

    const TComTimeoutValues& T = State->Timeouts;
    EXPECT_EQ(T.ReadInterval, 0xFFFFFFFFu);
    EXPECT_EQ(T.ReadTotalMultiplier, 0u);
    EXPECT_EQ(T.ReadTotalConstant, 0u);
    EXPECT_EQ(T.WriteTotalMultiplier, 100u);
    EXPECT_EQ(T.WriteTotalConstant, 1000u);
}

struct TLineCase {
    const char* Name;
    std::function<void(TComPort&)> Change;
    std::function<bool(const TComLineSettings&)> Reached;
};

TEST_F(ComPortLogic, LineSettingsChangedWhileOpenReachTheDeviceAtOnce) {
    const TLineCase Cases[] = {
        {"BaudRate", [](TComPort& P) { P.SetBaudRate(4800); },
         [](const TComLineSettings& L) { return L.BaudRate == 4800; }},
        {"DataBits 7", [](TComPort& P) { P.SetDataBits(7); },
         [](const TComLineSettings& L) { return L.ByteSize == 7; }},
        {"StopBits two", [](TComPort& P) { P.SetStopBits(sbTwoStopBits); },
         [](const TComLineSettings& L) { return L.StopBits == 2; }},
        {"Parity even", [](TComPort& P) { P.Parity().SetBits(prEven); },
         [](const TComLineSettings& L) { return L.ParityBits == 2; }},
        {"Parity space", [](TComPort& P) { P.Parity().SetBits(prSpace); },
         [](const TComLineSettings& L) { return L.ParityBits == 4; }},
        {"Parity check", [](TComPort& P) { P.Parity().SetCheck(true); },
         [](const TComLineSettings& L) { return L.Parity; }},
        {"Replace char without Replace", [](TComPort& P) { P.Parity().SetReplaceChar('?'); },
         [](const TComLineSettings& L) { return !L.ErrorCharOn && L.ErrorChar == 0; }},
        {"Replace", [](TComPort& P) { P.Parity().SetReplace(true); },
         [](const TComLineSettings& L) { return L.ErrorCharOn && L.ErrorChar == '?'; }},
        {"DiscardNull", [](TComPort& P) { P.SetDiscardNull(true); },
         [](const TComLineSettings& L) { return L.Null; }},
        {"EventChar", [](TComPort& P) { P.SetEventChar('\x1d'); },
         [](const TComLineSettings& L) { return L.EvtChar == '\x1d'; }},
        {"CTS flow", [](TComPort& P) { P.FlowControl().SetOutCtsFlow(true); },
         [](const TComLineSettings& L) { return L.OutxCtsFlow; }},
        {"RTS toggle", [](TComPort& P) { P.FlowControl().SetControlRts(rtsToggle); },
         [](const TComLineSettings& L) { return L.RtsControl == 3; }},
        {"DTR enable", [](TComPort& P) { P.FlowControl().SetControlDtr(dtrEnable); },
         [](const TComLineSettings& L) { return L.DtrControl == 1; }},
        {"XON/XOFF in", [](TComPort& P) { P.FlowControl().SetXonXoffIn(true); },
         [](const TComLineSettings& L) { return L.InX; }},
    };
    Port.SetActive(true);
    for (const TLineCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        const int Before = State->LineSettingsCalls;
        C.Change(Port);
        EXPECT_EQ(State->LineSettingsCalls, Before + 1);
        EXPECT_TRUE(C.Reached(State->Line));
        C.Change(Port);  // the same value again
        EXPECT_EQ(State->LineSettingsCalls, Before + 1);
    }
}

TEST_F(ComPortLogic, TimeoutsAndQueueSizesChangedWhileOpenReachTheDevice) {
    Port.SetActive(true);
    Port.Timeouts().SetReadTotalConstant(250);
    EXPECT_EQ(State->Timeouts.ReadTotalConstant, 250u);
    Port.Timeouts().SetReadInterval(-1);
    EXPECT_EQ(State->TimeoutCalls, 2);
    Port.SetReadBufSize(4096);
    EXPECT_EQ(State->ReadSize, 4096);
    Port.SetWriteBufSize(2048);
    EXPECT_EQ(State->WriteSize, 2048);
    EXPECT_EQ(State->QueueCalls, 3);
}

TEST_F(ComPortLogic, ChangesWhileClosedTouchNoDevice) {
    Port.SetBaudRate(19200);
    Port.SetDataBits(7);
    Port.Parity().SetBits(prOdd);
    Port.Timeouts().SetWriteTotalConstant(5);
    Port.SetReadBufSize(64);
    Port.SetEvents({evRxChar});
    Port.SetSyncMethod(smNone);
    Port.SetActive(false);
    EXPECT_TRUE(State->TakeCalls().empty());
    Port.SetActive(true);
    EXPECT_EQ(State->Line.BaudRate, 19200u);
    EXPECT_EQ(State->Line.ByteSize, 7);
    EXPECT_EQ(State->Line.ParityBits, 1);
    EXPECT_EQ(State->Line.XonLim, 16);
    EXPECT_EQ(State->Timeouts.WriteTotalConstant, 5u);
    EXPECT_EQ(State->EventMask, EV_RXCHAR);
}

TEST_F(ComPortLogic, EventsChangedWhileOpenWaitForTheNextOpen) {
    Port.SetActive(true);
    State->TakeCalls();
    Port.SetEvents({evRxChar, evBreak});
    EXPECT_TRUE(State->TakeCalls().empty());
    Port.SetActive(false);
    Port.SetActive(true);
    EXPECT_EQ(State->EventMask, EV_RXCHAR | EV_BREAK);
}

TEST_F(ComPortLogic, NoEventsMeansNoEventThread) {
    Port.SetEvents({});
    Port.SetActive(true);
    auto Calls = State->TakeCalls();
    EXPECT_EQ(std::count(Calls.begin(), Calls.end(), "SetCommMask"), 0);
    Port.SetActive(false);
    Calls = State->TakeCalls();
    EXPECT_EQ(Calls, std::vector<std::string>{"Close"});  // no purge without a thread
}

TEST_F(ComPortLogic, PortNamesCompareExactlyAndReopenWhileOpen) {
    Port.SetActive(true);
    State->TakeCalls();
    Port.SetPort("COM1");
    EXPECT_TRUE(State->TakeCalls().empty());
    Port.SetPort("com1");
    const auto Calls = State->TakeCalls();
    ASSERT_GE(Calls.size(), 3u);
    EXPECT_EQ(Calls[0], "PurgeComm");  // the event thread's last act
    EXPECT_EQ(Calls[1], "Close");
    EXPECT_EQ(Calls[2], "Open com1");
    EXPECT_TRUE(Port.Active());
}

TEST_F(ComPortLogic, FailedReopenOnANewPortLeavesThePortClosed) {
    Port.SetActive(true);
    State->OpenError = 2;
    EXPECT_EQ(FailureOf<EComPort>([&] { Port.SetPort("COM9"); }),
              "Unable to open COM9: fake error 2");
    EXPECT_FALSE(Port.Active());
    EXPECT_EQ(Port.Port(), "COM9");
}

TEST_F(ComPortLogic, FailuresDuringOpenCloseTheDeviceAndKeepTheirText) {
    struct TCase {
        int TFakeComState::*Error;
        std::string Message;
    } Cases[] = {
        {&TFakeComState::OpenError, "Unable to open COM1: fake error 5"},
        {&TFakeComState::QueueError, "Unable to set up comm: fake error 5"},
        {&TFakeComState::LineError, "Unable to set com state: fake error 5"},
    };
    bool Opened = false;
    Port.OnOpen = [&](TComPort*) { Opened = true; };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Message);
        State->ClearErrors();
        (*State).*C.Error = 5;
        EXPECT_EQ(FailureOf<EComPort>([&] { Port.SetActive(true); }), C.Message);
        EXPECT_FALSE(Port.Active());
        EXPECT_FALSE(Opened);
        const auto Calls = State->TakeCalls();
        if (C.Error != &TFakeComState::OpenError) {
            EXPECT_EQ(Calls.back(), "Close");
        }
    }
    State->ClearErrors();
    State->TimeoutError = 5;
    EXPECT_EQ(FailureOf<EOSError>([&] { Port.SetActive(true); }),
              "System Error.  Code: 5.\r\nfake error 5");
    EXPECT_FALSE(Port.Active());
    EXPECT_EQ(std::string(EOSError(0, "ignored").what()), "A call to an OS function failed");
}

TEST_F(ComPortLogic, SyncMethodIsRefusedWhileOpen) {
    Port.SetActive(true);
    EXPECT_EQ(FailureOf<EComPort>([&] { Port.SetSyncMethod(smNone); }),
              "Cannot set SyncMethod while connected");
    EXPECT_EQ(Port.SyncMethod(), smSynchronize);
    Port.SetSyncMethod(smSynchronize);  // the same value is no change
    Port.SetActive(false);
    Port.SetSyncMethod(smWindow);
    EXPECT_EQ(Port.SyncMethod(), smWindow);
}

TEST_F(ComPortLogic, PendingTransfersStackUpAndAreReleased) {
    Port.SetActive(true);
    EXPECT_EQ(Port.WaitForLastOperation(), -2);
    State->WriteResult = {TComIoResult::ioPending, 0, 0};
    EXPECT_EQ(Port.Write("abc", false), -1);
    EXPECT_EQ(Port.Write("de", false), -1);
    EXPECT_EQ(State->LiveOperations, 2);
    State->WaitResult = {TComIoResult::ioDone, 2, 0};
    EXPECT_EQ(Port.WaitForLastOperation(), 2);
    EXPECT_EQ(State->LiveOperations, 1);

    State->WaitResult = {TComIoResult::ioDone, 4, 0};
    EXPECT_EQ(Port.Write("wxyz", true), 4);  // waits at once
    EXPECT_EQ(State->LiveOperations, 1);

    State->TakeCalls();
    Port.SetActive(false);
    EXPECT_EQ(State->LiveOperations, 0);
    EXPECT_EQ(State->TakeCalls().front(), "PurgeComm");  // AbortAllOperations comes first
}

TEST_F(ComPortLogic, TransferFailuresKeepThePortOpenAndFreeTheRecord) {
    Port.SetActive(true);
    State->WriteResult = {TComIoResult::ioFailed, 0, 31};
    EXPECT_EQ(FailureOf<EComPort>([&] { Port.Write("x", true); }),
              "Operation failed: 31 (fake error 31)");
    State->ReadResult = {TComIoResult::ioFailed, 0, 995};
    std::string Data;
    EXPECT_EQ(FailureOf<EComPort>([&] { Port.Read(Data, 3, true); }),
              "Operation aborted: 995 (fake error 995)");
    State->WriteResult = {TComIoResult::ioPending, 0, 0};
    Port.Write("y", false);
    State->WaitResult = {TComIoResult::ioFailed, 0, 6};
    EXPECT_EQ(FailureOf<EComPort>([&] { Port.WaitForLastOperation(); }),
              "Operation failed: 6 (fake error 6)");
    EXPECT_EQ(State->LiveOperations, 0);
    EXPECT_TRUE(Port.Active());
}

TEST_F(ComPortLogic, ReadGivesTheTextItsCountAndKeepsIt) {
    Port.SetActive(true);
    State->ToRead = "ab";
    std::string Data = "old";
    EXPECT_EQ(Port.Read(Data, 5, true), 2);
    EXPECT_EQ(Data, std::string("ab\0\0\0", 5));
    EXPECT_EQ(Port.Read(Data, 0, true), 0);
    EXPECT_EQ(Data, "");
}

TEST_F(ComPortLogic, StatusAndAbortFailuresCarryTheDecimalCode) {
    Port.SetActive(true);
    State->InQueue = 12;
    EXPECT_EQ(Port.InputCount(), 12);
    State->InputCountError = 22;
    EXPECT_EQ(FailureOf<EComPort>([&] { Port.InputCount(); }), "Unable to read com status: 22");
    State->InputCountError = 0;

    State->TakeCalls();
    Port.AbortAllOperations();  // nothing pending: the device is not asked
    EXPECT_TRUE(State->TakeCalls().empty());

    State->WriteResult = {TComIoResult::ioPending, 0, 0};
    Port.Write("a", false);
    Port.Write("b", false);
    State->PurgeError = 9;
    EXPECT_EQ(FailureOf<EComPort>([&] { Port.AbortAllOperations(); }), "Cannot abort operation: 9");
    EXPECT_EQ(State->LiveOperations, 0);
    EXPECT_EQ(Port.WaitForLastOperation(), -2);
}

TEST_F(ComPortLogic, CloseFinishesEvenWhenAbortingFails) {
    Port.SetActive(true);
    State->WriteResult = {TComIoResult::ioPending, 0, 0};
    Port.Write("a", false);
    State->PurgeError = 9;
    bool Closed = false;
    Port.OnClose = [&](TComPort*) { Closed = true; };
    EXPECT_EQ(FailureOf<EComPort>([&] { Port.SetActive(false); }), "Cannot abort operation: 9");
    EXPECT_FALSE(Port.Active());
    EXPECT_TRUE(Closed);
}

TEST_F(ComPortLogic, OnCloseRunsOncePerRealClose) {
    int Closes = 0;
    Port.OnClose = [&](TComPort*) { ++Closes; };
    Port.SetActive(false);
    Port.SetActive(true);
    Port.SetActive(false);
    Port.Close();
    EXPECT_EQ(Closes, 1);
}

TEST_F(ComPortLogic, DestroyingAnOpenPortClosesIt) {
    auto Other = std::make_unique<TComPort>(FakeFactory(State));
    Other->SetActive(true);
    State->TakeCalls();
    Other.reset();
    EXPECT_EQ(State->TakeCalls().back(), "Close");
}

TEST_F(ComPortLogic, AssigningSubObjectsCopiesValuesButKeepsTheirPort) {
    auto OtherState = std::make_shared<TFakeComState>();
    TComPort Other(FakeFactory(OtherState));
    Other.Parity().SetBits(prMark);
    Other.SetActive(true);
    Port.SetActive(true);
    Port.SetParity(Other.Parity());
    EXPECT_EQ(State->Line.ParityBits, 3);
    const int OtherCalls = OtherState->LineSettingsCalls;
    Port.Parity().SetBits(prOdd);
    EXPECT_EQ(State->Line.ParityBits, 1);
    EXPECT_EQ(OtherState->LineSettingsCalls, OtherCalls);
    EXPECT_EQ(Other.Parity().Bits(), prMark);
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
    void Hook(TComPort& Port) {
        Port.OnRxChar = [this](TComPort*, int32_t InQue) {
            Add("RxChar " + std::to_string(InQue));
        };
        Port.OnTxEmpty = [this](TComPort*) { Add("TxEmpty"); };
        Port.OnBreak = [this](TComPort*) { Add("Break"); };
        Port.OnRing = [this](TComPort*) { Add("Ring"); };
        Port.OnCTS = [this](TComPort*) { Add("CTS"); };
        Port.OnDSR = [this](TComPort*) { Add("DSR"); };
        Port.OnRxFlag = [this](TComPort*) { Add("RxFlag"); };
        Port.OnRLSD = [this](TComPort*) { Add("RLSD"); };
        Port.OnError = [this](TComPort*) { Add("Error"); };
        Port.OnRx80Full = [this](TComPort*) { Add("Rx80Full"); };
    }
    void Add(std::string Name) {
        std::lock_guard Lock(Mutex);
        Names.push_back(std::move(Name));
        Threads.push_back(std::this_thread::get_id());
    }
    size_t Count() {
        std::lock_guard Lock(Mutex);
        return Names.size();
    }
};

TEST_F(ComPortLogic, EachSyncMethodDeliversInTheFixedOrderOnItsThread) {
    for (TSyncMethod Method : {smSynchronize, smWindow, smNone}) {
        SCOPED_TRACE(static_cast<int>(Method));
        TRecorder Recorder;
        Recorder.Hook(Port);
        Port.SetSyncMethod(Method);
        State->InQueue = 7;
        Port.SetActive(true);
        State->Post(AllFlags);
        ASSERT_TRUE(ProcessEventsUntil([&] { return Recorder.Count() == 10; }));
        Port.SetActive(false);
        EXPECT_EQ(Recorder.Names, DispatchOrder);
        for (std::thread::id Id : Recorder.Threads)
            EXPECT_EQ(Id == std::this_thread::get_id(), Method != smNone);
    }
}

TEST_F(ComPortLogic, UnassignedHandlersAreSkipped) {
    int RxFlags = 0;
    Port.OnRxFlag = [&](TComPort*) { ++RxFlags; };
    State->InputCountError = 1;  // InputCount is asked only for an assigned OnRxChar
    std::vector<std::string> Reports;
    TComErrorReport Previous =
        SetComErrorReport([&](const std::string& M) { Reports.push_back(M); });
    Port.SetActive(true);
    State->Post(EV_RXCHAR | EV_RXFLAG);
    EXPECT_TRUE(ProcessEventsUntil([&] { return RxFlags == 1; }));
    Port.SetActive(false);
    SetComErrorReport(Previous);
    EXPECT_TRUE(Reports.empty());
}

TEST_F(ComPortLogic, AThrowingHandlerIsReportedAndDeliveriesGoOn) {
    for (TSyncMethod Method : {smSynchronize, smNone}) {
        SCOPED_TRACE(static_cast<int>(Method));
        std::mutex Mutex;
        std::vector<std::string> Reports;
        TComErrorReport Previous = SetComErrorReport([&](const std::string& M) {
            std::lock_guard Lock(Mutex);
            Reports.push_back(M);
        });
        std::atomic<int> Calls{0};
        Port.OnRxChar = [&](TComPort*, int32_t) {
            if (++Calls == 1) throw EComPort("handler broke");
        };
        Port.SetSyncMethod(Method);
        Port.SetActive(true);
        State->Post(EV_RXCHAR);
        State->Post(EV_RXCHAR);
        EXPECT_TRUE(ProcessEventsUntil([&] { return Calls == 2; }));
        Port.SetActive(false);
        SetComErrorReport(Previous);
        EXPECT_EQ(Reports, std::vector<std::string>{"handler broke"});
    }
}

TEST_F(ComPortLogic, CloseCarriesOutADeliveryAlreadyRequested) {
    TWatchdog Watchdog(std::chrono::seconds(60));
    int Deliveries = 0;
    bool ActiveDuringDelivery = false;
    Port.OnRxChar = [&](TComPort* Sender, int32_t) {
        ++Deliveries;
        ActiveDuringDelivery = Sender->Active();
    };
    for (int Round = 0; Round < 20; ++Round) {
        Port.SetActive(true);
        State->Post(EV_RXCHAR);
        // Wait (without running the event loop) until the thread has asked.
        State->WaitUntilTaken(5s);
        Port.SetActive(false);  // must not wait for an event loop that is not running
    }
    EXPECT_LE(Deliveries, 20);
    EXPECT_GE(Deliveries, 1);
    EXPECT_TRUE(ActiveDuringDelivery);
}

TEST_F(ComPortLogic, AHandlerMayCloseThePortItIsCalledFor) {
    TWatchdog Watchdog(std::chrono::seconds(60));
    for (TSyncMethod Method : {smSynchronize, smWindow}) {
        Port.SetSyncMethod(Method);
        bool Called = false;
        Port.OnRxChar = [&](TComPort* Sender, int32_t) {
            Called = true;
            Sender->SetActive(false);
        };
        Port.SetActive(true);
        State->Post(EV_RXCHAR | EV_BREAK);
        EXPECT_TRUE(ProcessEventsUntil([&] { return !Port.Active(); }));
        EXPECT_TRUE(Called);
    }
}

// A handler that Close runs for a delivery already requested may try to
// reopen the port (here by changing Port); the closing port must refuse
// rather than swap the device under its still running event thread.
TEST_F(ComPortLogic, AHandlerRunDuringCloseCannotReopenThePort) {
    TWatchdog Watchdog(std::chrono::seconds(60));
    std::vector<std::string> Reports;
    TComErrorReport Previous =
        SetComErrorReport([&](const std::string& M) { Reports.push_back(M); });
    int Deliveries = 0;
    Port.OnRxChar = [&](TComPort* Sender, int32_t) {
        ++Deliveries;
        Sender->SetPort(Sender->Port() == "COM1" ? "COM2" : "COM1");
    };
    for (int Round = 0; Round < 20; ++Round) {
        Port.SetActive(true);
        State->Post(EV_RXCHAR);
        // Without the event loop running, the delivery can only run in Close.
        State->WaitUntilTaken(5s);
        Port.SetActive(false);
        EXPECT_FALSE(Port.Active());
    }
    SetComErrorReport(Previous);
    EXPECT_GE(Deliveries, 1);
    EXPECT_EQ(Reports.size(), static_cast<size_t>(Deliveries));
    for (const std::string& Report : Reports)
        EXPECT_TRUE(Report == "Unable to open COM1: the port is being closed" ||
                    Report == "Unable to open COM2: the port is being closed")
            << Report;
}

}  // namespace
