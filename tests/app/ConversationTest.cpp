// The conversation engine against a pseudo-terminal host: receiving, the
// reply timeout, cancel and the endings of a conversation.
#include <QKeyEvent>
#include <QTimer>

#include "app/Conversation.h"
#include "conv_Fixture.h"

namespace {

const std::string Packet = std::string(1, FS) + "ANS=INI\rSTATUS=0\r" + RS + "CRC=1234\r" + GS;

class ConversationTest : public ConversationFixture {
protected:
    // Starts a conversation as a starting command does: state, then the first send.
    void StartConversation() {
        TForm1Probe::State(*Form) = cvAwaitInitAnswer;
        Form->EnableControls(false);
        Form->SendToHost(BuildPacket(InitRequestBody()));
        Host.ReadUntil([](const std::string& S) { return S.find(GS) != std::string::npos; });
    }

    // Writes Bytes as the host and waits until the window has taken them.
    void HostSends(const std::string& Bytes, const std::function<bool()>& Done) {
        Host.Write(Bytes);
        ASSERT_TRUE(ProcessEventsUntil(Done));
        Settle();
    }

    int StepRuns = 0;
    std::string StepSaw;
};

TEST(ConversationPure, TicksApartIsWrapSafeAndSymmetric) {
    struct Row {
        std::uint32_t Now, Last;
        bool Apart;
    } Rows[] = {
        {120000, 100000, false},
        {120001, 100000, true},
        {100000, 120001, true},
        {5000, 0xFFFFFFFFu - 14999, false},
        {5001, 0xFFFFFFFFu - 14999, true},
        {0, 0, false},
    };
    for (const Row& R : Rows)
        EXPECT_EQ(TicksApart(R.Now, R.Last, RxStaleMs), R.Apart) << R.Now << " " << R.Last;
}

TEST(ConversationPure, DropBeforeFSKeepsFromTheFirstFS) {
    std::string Buffer = std::string("\x06xy") + FS + "A" + FS;
    EXPECT_EQ(DropBeforeFS(Buffer), "\x06xy");
    EXPECT_EQ(Buffer, std::string(1, FS) + "A" + FS);
    std::string Noise = "\x06\x15";
    EXPECT_EQ(DropBeforeFS(Noise), "\x06\x15");
    EXPECT_TRUE(Noise.empty());
}

TEST_F(ConversationTest, ReplyInPiecesIsProcessedOnceWhenGSArrives) {
    TForm1Probe::Step(*Form, cvAwaitInitAnswer) = [this](TForm1& F, TReplyMatcher&) {
        ++StepRuns;
        StepSaw = TForm1Probe::RxBuffer(F);
    };
    StartConversation();
    const std::string First = Packet.substr(0, 10);
    const std::string Second = Packet.substr(10) + "tail";
    HostSends(First, [&] { return TForm1Probe::RxBuffer(*Form) == First; });
    EXPECT_EQ(StepRuns, 0);
    EXPECT_EQ(FromHostEntries(), 0);

    Tick += 19999;
    HostSends(Second, [&] { return StepRuns > 0; });
    EXPECT_EQ(StepRuns, 1);
    EXPECT_EQ(StepSaw, Packet + "tail");  // bytes after GS of the same read come along
    EXPECT_EQ(FromHostEntries(), 1);
    EXPECT_TRUE(TForm1Probe::RxBuffer(*Form).empty());
}

TEST_F(ConversationTest, BytesBeforeFSAreLoggedOneEntryEachAndDropped) {
    TForm1Probe::Step(*Form, cvAwaitInitAnswer) = [this](TForm1& F, TReplyMatcher&) {
        ++StepRuns;
        StepSaw = TForm1Probe::RxBuffer(F);
    };
    StartConversation();
    HostSends(
        "\x06"
        "ab" +
            Packet,
        [&] { return StepRuns > 0; });
    EXPECT_EQ(StepSaw, Packet);
    EXPECT_EQ(FromHostEntries(), 4);  // ACK, a, b, then the packet
    const auto& Lines = TForm1Probe::Log(*Form).Lines();
    std::vector<std::string> Single;
    for (std::size_t i = 0; i + 1 < Lines.size(); ++i)
        if (Lines[i].find("Data From Host") != std::string::npos) Single.push_back(Lines[i + 1]);
    ASSERT_EQ(Single.size(), 4u);
    EXPECT_EQ(Single[0], "14:03:27:045 <ack>");
    EXPECT_EQ(Single[1], "14:03:27:045 a");
    EXPECT_EQ(Single[2], "14:03:27:045 b");
}

TEST_F(ConversationTest, PacketWithoutItsFSIsNeverProcessed) {
    TForm1Probe::Step(*Form, cvAwaitInitAnswer) = [this](TForm1&, TReplyMatcher&) { ++StepRuns; };
    StartConversation();
    const std::string Lost = Packet.substr(1);
    HostSends(Lost, [&] { return FromHostEntries() == static_cast<int>(Lost.size()); });
    EXPECT_EQ(StepRuns, 0);
    EXPECT_TRUE(TForm1Probe::RxBuffer(*Form).empty());
}

TEST_F(ConversationTest, PacketInIdleIsLoggedNotAcknowledged) {
    HostSends(Packet, [&] { return FromHostEntries() == 1; });
    EXPECT_TRUE(TForm1Probe::RxBuffer(*Form).empty());
    EXPECT_EQ(Host.ReadAvailable(), "");
    EXPECT_TRUE(Viewed.empty());
    EXPECT_EQ(TForm1Probe::State(*Form), cvIdle);
}

TEST_F(ConversationTest, SilenceOfMoreThanTwentySecondsDropsTheFirstPiece) {
    TForm1Probe::Step(*Form, cvAwaitInitAnswer) = [this](TForm1& F, TReplyMatcher&) {
        ++StepRuns;
        StepSaw = TForm1Probe::RxBuffer(F);
    };
    StartConversation();
    const std::string Old = std::string(1, FS) + "OLD";
    HostSends(Old, [&] { return TForm1Probe::RxBuffer(*Form) == Old; });
    Tick += 20001;
    HostSends(Packet, [&] { return StepRuns > 0; });
    EXPECT_EQ(StepSaw, Packet);
}

TEST_F(ConversationTest, FloodWithoutGSIsDroppedAndLogged) {
    StartConversation();
    auto Overflowed = [&] {
        for (const std::string& Line : TForm1Probe::Log(*Form).Lines())
            if (Line.find("Receive buffer overflow") != std::string::npos) return true;
        return false;
    };
    constexpr std::size_t Chunk = 4096;
    std::size_t Largest = 0;
    std::size_t Sent = 0;
    while (!Overflowed() && Sent < MaxRxBuffer + 64 * Chunk) {
        std::string Bytes(Chunk, 'x');
        if (Sent == 0) Bytes[0] = FS;
        Host.Write(Bytes);
        Sent += Chunk;
        // Keep pace with the window so the line never backs up.
        ASSERT_TRUE(ProcessEventsUntil([&] { return Host.SlaveInputCount() == 0; }));
        QCoreApplication::processEvents();
        Largest = std::max(Largest, TForm1Probe::RxBuffer(*Form).capacity());
        EXPECT_LE(TForm1Probe::RxBuffer(*Form).size(), MaxRxBuffer + Chunk);
    }
    ASSERT_TRUE(ProcessEventsUntil(Overflowed));
    EXPECT_GT(Sent, MaxRxBuffer);
    EXPECT_LT(TForm1Probe::RxBuffer(*Form).size(), Sent - MaxRxBuffer);
    EXPECT_LE(Largest, 2 * MaxRxBuffer);
    EXPECT_LE(TForm1Probe::Log(*Form).Count(), TCommLog::MaxLines + 10);
}

TEST_F(ConversationTest, TimeoutCountsDownTheLastNineSecondsAndOpensTheLog) {
    StartConversation();
    EXPECT_TRUE(Form->TimeoutTimer->isActive());
    EXPECT_FALSE(Form->ReqButton->isEnabled());
    for (int n = 1; n <= 14; ++n) {
        Form->TimeoutTimerTimer();
        const QString Expected = n <= 5 ? QString() : QString::number(15 - n);
        EXPECT_EQ(Panel(1), Expected) << "tick " << n;
    }
    EXPECT_EQ(Panel(1), "1");
    EXPECT_TRUE(Viewed.empty());
    Form->TimeoutTimerTimer();
    EXPECT_EQ(Panel(0), "Timeout waiting for host");
    EXPECT_EQ(Panel(1), "");
    EXPECT_EQ(Hint(), "");
    EXPECT_FALSE(Form->TimeoutTimer->isActive());
    EXPECT_EQ(TForm1Probe::State(*Form), cvIdle);
    EXPECT_TRUE(Form->ReqButton->isEnabled());
    ASSERT_EQ(Viewed.size(), 1u);
    const std::string File = ReadFileBytes(Viewed[0]);
    EXPECT_NE(File.find("14:03:27:045 ------------ Timeout waiting for host ---------\r\n"),
              std::string::npos);
}

TEST_F(ConversationTest, SendDuringConversationRestartsTheCountdown) {
    StartConversation();
    for (int i = 0; i < 10; ++i) Form->TimeoutTimerTimer();
    EXPECT_EQ(Panel(1), "5");
    Form->SendToHost(Ack);
    EXPECT_EQ(TForm1Probe::Countdown(*Form), 15);
    for (int i = 0; i < 14; ++i) Form->TimeoutTimerTimer();
    EXPECT_TRUE(Viewed.empty());
    Form->TimeoutTimerTimer();
    EXPECT_EQ(Viewed.size(), 1u);
}

TEST_F(ConversationTest, SendInIdleStartsNoCountdown) {
    Form->SendToHost(Ack);
    EXPECT_FALSE(Form->TimeoutTimer->isActive());
    EXPECT_EQ(Host.Read(1), Ack);
}

TEST_F(ConversationTest, EscapeEndsARunningConversationWithTheMessageUnchanged) {
    TForm1Probe::EndMessage(*Form) = "Previous failure";
    StartConversation();
    PressKey(Form.get(), Qt::Key_Escape);
    EXPECT_FALSE(Form->TimeoutTimer->isActive());
    EXPECT_EQ(TForm1Probe::State(*Form), cvIdle);
    EXPECT_EQ(Panel(0), "Previous failure");
    EXPECT_EQ(Viewed.size(), 1u);
    EXPECT_TRUE(Form->ReqButton->isEnabled());
}

TEST_F(ConversationTest, EscapeWithoutARunningTimerDoesNothing) {
    PressKey(Form.get(), Qt::Key_Escape);
    Settle();
    EXPECT_TRUE(Viewed.empty());
    EXPECT_EQ(Panel(0), "Ready");
}

TEST_F(ConversationTest, JobNotFoundEndsQuietlyWithTheHint) {
    TForm1Probe::Step(*Form, cvAwaitInitAnswer) = [](TForm1&, TReplyMatcher&) {
        throw EJobNotFound("No such tray");
    };
    StartConversation();
    for (int i = 0; i < 7; ++i) Form->TimeoutTimerTimer();
    HostSends(Packet, [&] { return TForm1Probe::State(*Form) == cvIdle; });
    EXPECT_EQ(Panel(0), "No such tray");
    EXPECT_EQ(Hint(), "No such tray");
    EXPECT_EQ(Panel(1), "");
    EXPECT_EQ(TForm1Probe::EndMessage(*Form), "No such tray");
    EXPECT_FALSE(Form->TimeoutTimer->isActive());
    EXPECT_TRUE(Viewed.empty());
    EXPECT_TRUE(TForm1Probe::RxBuffer(*Form).empty());
    EXPECT_TRUE(Form->ReqButton->isEnabled());
}

TEST_F(ConversationTest, StepFailureEndsTheConversationAndOpensTheLog) {
    TForm1Probe::Step(*Form, cvAwaitInitAnswer) = [](TForm1&, TReplyMatcher&) {
        throw std::runtime_error("Did not receive status 0 on init");
    };
    StartConversation();
    HostSends(Packet, [&] { return TForm1Probe::State(*Form) == cvIdle; });
    EXPECT_EQ(Panel(0), "Did not receive status 0 on init");
    EXPECT_EQ(Hint(), "");
    EXPECT_FALSE(Form->TimeoutTimer->isActive());
    ASSERT_EQ(Viewed.size(), 1u);
    EXPECT_TRUE(TForm1Probe::RxBuffer(*Form).empty());
    const auto& Lines = TForm1Probe::Log(*Form).Lines();
    EXPECT_NE(std::find(Lines.begin(), Lines.end(),
                        "14:03:27:045 ------------ Did not receive status 0 on init ---------"),
              Lines.end());
    EXPECT_TRUE(Errors.empty());
}

TEST_F(ConversationTest, DisplayLogDuringAConversationAbandonsIt) {
    TForm1Probe::Step(*Form, cvAwaitInitAnswer) = [this](TForm1&, TReplyMatcher&) { ++StepRuns; };
    StartConversation();
    Form->DisplayCommunicationLog1->trigger();
    Settle();
    EXPECT_EQ(TForm1Probe::State(*Form), cvIdle);
    EXPECT_EQ(Panel(0), "Display Log");
    EXPECT_TRUE(Form->ReqButton->isEnabled());
    HostSends(Packet, [&] { return FromHostEntries() == 1; });
    EXPECT_EQ(StepRuns, 0);  // the late reply is ignored
    Form->TimeoutTimerTimer();
    EXPECT_FALSE(Form->TimeoutTimer->isActive());
    EXPECT_EQ(Panel(1), "");
}

TEST_F(ConversationTest, FailedWriteRaisesThePortError) {
    Form->COMPort->SetActive(false);
    EXPECT_THROW(Form->SendToHost("x"), EComPort);
}

TEST_F(ConversationTest, WriteThatRunsOutOfTimeFailsAndLogsOnlyWhatWent) {
    // The host reads nothing, so the line's queue fills and the write times out.
    Form->COMPort->Timeouts().SetWriteTotalMultiplier(0);
    Form->COMPort->Timeouts().SetWriteTotalConstant(50);
    StartConversation();
    const std::string Big(std::size_t{1} << 20, 'x');
    std::string Message;
    try {
        Form->SendToHost(Big);
    } catch (const std::runtime_error& E) {
        Message = E.what();
    }
    const std::string Went = Host.ReadAvailable();
    ASSERT_LT(Went.size(), Big.size());
    EXPECT_EQ(Message, "Timeout sending to host: " + std::to_string(Went.size()) + " of " +
                           std::to_string(Big.size()) + " bytes sent");
    const auto& Lines = TForm1Probe::Log(*Form).Lines();
    ASSERT_GE(Lines.size(), 3u);
    EXPECT_EQ(Lines[Lines.size() - 3], "14:03:27:045 ------------ Data To Host ---------");
    // Compared by size and content apart, so a failure does not print a megabyte.
    const std::string& Logged = Lines[Lines.size() - 2];
    EXPECT_EQ(Logged.size(), 13 + Went.size());
    EXPECT_TRUE(Logged == "14:03:27:045 " + Went);
}

TEST_F(ConversationTest, EnableControlsFollowsTheReceivedShape) {
    Form->EnableControls(true);
    EXPECT_TRUE(Form->ReqButton->isEnabled());
    EXPECT_TRUE(Form->SettingsButton->isEnabled());
    EXPECT_FALSE(Form->SaveButton->isEnabled());
    EXPECT_FALSE(Form->ResetButton->isEnabled());
    EXPECT_FALSE(Form->ShowOrigCheckbox->isEnabled());
    Received().Radii = std::string(4 * 8, '1');
    Form->EnableControls(true);
    EXPECT_TRUE(Form->SaveButton->isEnabled());
    EXPECT_TRUE(Form->ResetButton->isEnabled());
    EXPECT_TRUE(Form->DetailedGridCheckBox->isEnabled());
    Form->EnableControls(false);
    EXPECT_FALSE(Form->SaveButton->isEnabled());
    EXPECT_FALSE(Form->ReqButton->isEnabled());
    EXPECT_FALSE(Form->ShowOrigCheckbox->isEnabled());
    EXPECT_TRUE(Form->TrayEdit->isEnabled());
}

}  // namespace

namespace {

TEST_F(ConversationTest, WindowPreviewsEscapeBeforeTheFocusedControl) {
    Form->show();
    Form->activateWindow();
    Form->TrayEdit->setFocus();
    ASSERT_TRUE(ProcessEventsUntil([&] { return QApplication::focusWidget() == Form->TrayEdit; }));
    StartConversation();
    PressKey(Form->TrayEdit, Qt::Key_Escape);
    EXPECT_FALSE(Form->TimeoutTimer->isActive());
    EXPECT_EQ(Viewed.size(), 1u);  // seen once, though the edit passes Escape on to its parents
    EXPECT_EQ(TForm1Probe::State(*Form), cvIdle);
}

}  // namespace
