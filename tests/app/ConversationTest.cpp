// The conversation engine against a pseudo-terminal host: receiving, the
// reply timeout, cancel and the endings of a conversation.
#include <QKeyEvent>
#include <QTimer>

#include "app/Conversation.h"
#include "conv_Fixture.h"

namespace {

const std::string Packet = std::string(1, FS) + "ANS=INI\rSTATUS=0\r" + RS + "CRC=1234\r" + GS;

class TConversationTest : public TConversationFixture {
protected:
    // Starts the request conversation: its first packet is on the line.
    void StartConversation() {
        SetTray("1234");
        FForm->ReqButton->click();
        const std::string sent =
            FHost.ReadUntil([](const std::string& s) { return s.find(GS) != std::string::npos; });
        ASSERT_NE(sent.find(GS), std::string::npos) << "the request did not arrive";
    }

    // The answer of the initialization step to an accepted reply.
    static std::string DescriptionSent() { return Ack + BuildPacket(EdgerDescriptionBody()); }

    // Whether the log holds Line.
    bool Logged(const std::string& line) const {
        const auto& lines = TForm1Probe::Log(*FForm).Lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    // Writes Bytes as the host and waits until the window has taken them.
    void HostSends(const std::string& bytes, const std::function<bool()>& done) {
        FHost.Write(bytes);
        ASSERT_TRUE(ProcessEventsUntil(done));
        Settle();
    }
};

TEST(ConversationPure, TicksApartIsWrapSafeAndSymmetric) {
    struct TRow {
        std::uint32_t Now, Last;
        bool Apart;
    } rows[] = {
        {120000, 100000, false},
        {120001, 100000, true},
        {100000, 120001, true},
        {5000, 0xFFFFFFFFu - 14999, false},
        {5001, 0xFFFFFFFFu - 14999, true},
        {0, 0, false},
    };
    for (const TRow& r : rows)
        EXPECT_EQ(TicksApart(r.Now, r.Last, RxStaleMs), r.Apart) << r.Now << " " << r.Last;
}

TEST(ConversationPure, DropBeforeFSKeepsFromTheFirstFS) {
    std::string buffer = std::string("\x06xy") + FS + "A" + FS;
    EXPECT_EQ(DropBeforeFS(buffer), "\x06xy");
    EXPECT_EQ(buffer, std::string(1, FS) + "A" + FS);
    std::string noise = "\x06\x15";
    EXPECT_EQ(DropBeforeFS(noise), "\x06\x15");
    EXPECT_TRUE(noise.empty());
}

TEST_F(TConversationTest, ReplyInPiecesIsProcessedOnceWhenGSArrives) {
    StartConversation();
    const std::string first = Packet.substr(0, 10);
    const std::string second = Packet.substr(10) + "tail";
    HostSends(first, [&] { return TForm1Probe::RxBuffer(*FForm) == first; });
    EXPECT_EQ(FHost.ReadAvailable(), "");
    EXPECT_EQ(FromHostEntries(), 0);

    FTick += 19999;
    FHost.Write(second);
    EXPECT_EQ(ProgramSends(), DescriptionSent());
    Settle();
    EXPECT_EQ(FHost.ReadAvailable(), "");  // answered once
    EXPECT_EQ(FromHostEntries(), 1);
    EXPECT_TRUE(Logged("14:03:27:045 <gs>tail"));  // bytes after GS of the same read come along
    EXPECT_TRUE(TForm1Probe::RxBuffer(*FForm).empty());
}

TEST_F(TConversationTest, BytesBeforeFSAreLoggedOneEntryEachAndDropped) {
    StartConversation();
    FHost.Write(Ack + "ab" + Packet);
    EXPECT_EQ(ProgramSends(), DescriptionSent());
    EXPECT_EQ(FromHostEntries(), 4);  // ACK, a, b, then the packet
    const auto& lines = TForm1Probe::Log(*FForm).Lines();
    std::vector<std::string> single;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        if (lines[i].find("Data From Host") != std::string::npos) single.push_back(lines[i + 1]);
    ASSERT_EQ(single.size(), 4u);
    EXPECT_EQ(single[0], "14:03:27:045 <ack>");
    EXPECT_EQ(single[1], "14:03:27:045 a");
    EXPECT_EQ(single[2], "14:03:27:045 b");
    EXPECT_EQ(single[3], "14:03:27:045 <fs>ANS=INI<cr>");
}

TEST_F(TConversationTest, PacketWithoutItsFSIsNeverProcessed) {
    StartConversation();
    const std::string lost = Packet.substr(1);
    HostSends(lost, [&] { return FromHostEntries() == static_cast<int>(lost.size()); });
    EXPECT_EQ(FHost.ReadAvailable(), "");
    EXPECT_TRUE(TForm1Probe::RxBuffer(*FForm).empty());
}

TEST_F(TConversationTest, PacketInIdleIsLoggedNotAcknowledged) {
    HostSends(Packet, [&] { return FromHostEntries() == 1; });
    EXPECT_TRUE(TForm1Probe::RxBuffer(*FForm).empty());
    EXPECT_EQ(FHost.ReadAvailable(), "");
    EXPECT_TRUE(FViewed.empty());
    EXPECT_EQ(TForm1Probe::State(*FForm), cvIdle);
}

TEST_F(TConversationTest, SilenceOfMoreThanTwentySecondsDropsTheFirstPiece) {
    StartConversation();
    const std::string old = std::string(1, FS) + "OLD";
    HostSends(old, [&] { return TForm1Probe::RxBuffer(*FForm) == old; });
    FTick += 20001;
    FHost.Write(Packet);
    EXPECT_EQ(ProgramSends(), DescriptionSent());
    EXPECT_TRUE(Logged("14:03:27:045 <fs>ANS=INI<cr>"));  // the reply as it came, without OLD
}

// A conversation that ends before its reply is complete leaves nothing
// behind: a refusal that follows is read on its own, not glued to the rest.
TEST_F(TConversationTest, EveryEndingEmptiesTheReceiveBuffer) {
    const std::function<void()> endings[] = {
        [&] {
            for (int i = 0; i < 15; ++i) FForm->TimeoutTimerTimer();
        },
        [&] { PressKey(FForm.get(), Qt::Key_Escape); },
        [&] {
            FForm->DisplayCommunicationLog1->trigger();
            Settle();
        },
        [&] { FForm->Circle1->trigger(); },
    };
    for (const auto& end : endings) {
        StartConversation();
        const std::string partial = std::string(1, FS) + "ANS=INI\rSTATUS=0\r";
        HostSends(partial, [&] { return TForm1Probe::RxBuffer(*FForm) == partial; });
        end();
        EXPECT_EQ(TForm1Probe::State(*FForm), cvIdle);
        EXPECT_TRUE(TForm1Probe::RxBuffer(*FForm).empty());

        // The next conversation's refusal fails it, though glued to the rest it would pass.
        FViewed.clear();
        StartConversation();
        FHost.Write(std::string(1, FS) + "ANS=INI\rSTATUS=1\r" + RS + "CRC=1234\r" + GS);
        ASSERT_TRUE(ProcessEventsUntil([&] { return TForm1Probe::State(*FForm) == cvIdle; }));
        EXPECT_EQ(Panel(0), "Did not receive status 0 on init");
        Settle();
        FHost.ReadAvailable();
    }
}

// The host sends a packet start and then 4 KiB at a time without GS; each
// chunk is taken by the window before the next goes, so the buffer's size is
// known exactly at every step and the overflow comes at a known byte.
TEST_F(TConversationTest, FloodWithoutGSIsDroppedAndLogged) {
    StartConversation();
    const auto overflowLine = [&]() -> std::string {
        for (const std::string& line : TForm1Probe::Log(*FForm).Lines())
            if (line.find("Receive buffer overflow") != std::string::npos) return line;
        return {};
    };
    constexpr std::size_t Chunk = 4096;
    std::size_t largest = 0;
    std::size_t sent = 0;
    while (overflowLine().empty()) {
        ASSERT_LE(sent, MaxRxBuffer) << "no overflow after " << sent << " bytes";
        std::string bytes(Chunk, 'x');
        if (sent == 0) bytes[0] = FS;
        FHost.Write(bytes, 30s);
        sent += Chunk;
        // Until the overflow every byte sent stays in the buffer; a deadline,
        // not a pace: a loaded machine only makes this slower.
        ASSERT_TRUE(ProcessEventsUntil(
            [&] { return !overflowLine().empty() || TForm1Probe::RxBuffer(*FForm).size() == sent; },
            30s))
            << "the window took " << TForm1Probe::RxBuffer(*FForm).size() << " of " << sent;
        largest = std::max(largest, TForm1Probe::RxBuffer(*FForm).capacity());
    }
    // The first delivery past 1 MiB drops the lot, whatever part of the last
    // chunk it held; the rest of that chunk, without FS, goes the same way.
    EXPECT_EQ(sent, MaxRxBuffer + Chunk);
    const std::string line = overflowLine();
    const std::size_t at = line.find("Receive buffer overflow: ");
    ASSERT_NE(at, std::string::npos) << line;
    const std::size_t dropped = std::stoul(line.substr(at + 25));
    EXPECT_GT(dropped, MaxRxBuffer) << line;
    EXPECT_LE(dropped, sent) << line;
    EXPECT_NE(line.find(" bytes without GS dropped"), std::string::npos) << line;
    EXPECT_TRUE(ProcessEventsUntil([&] { return TForm1Probe::RxBuffer(*FForm).empty(); }, 30s));
    EXPECT_LE(largest, 2 * MaxRxBuffer);
    EXPECT_LE(TForm1Probe::Log(*FForm).Count(), TCommLog::MaxLines + 10);
}

TEST_F(TConversationTest, TimeoutCountsDownTheLastNineSecondsAndOpensTheLog) {
    StartConversation();
    EXPECT_TRUE(FForm->TimeoutTimer->isActive());
    EXPECT_FALSE(FForm->ReqButton->isEnabled());
    for (int n = 1; n <= 14; ++n) {
        FForm->TimeoutTimerTimer();
        const QString expected = n <= 5 ? QString() : QString::number(15 - n);
        EXPECT_EQ(Panel(1), expected) << "tick " << n;
    }
    EXPECT_EQ(Panel(1), "1");
    EXPECT_TRUE(FViewed.empty());
    FForm->TimeoutTimerTimer();
    EXPECT_EQ(Panel(0), "Timeout waiting for host");
    EXPECT_EQ(Panel(1), "");
    EXPECT_EQ(Hint(), "Timeout waiting for host");  // the tooltip holds panel 0
    EXPECT_FALSE(FForm->TimeoutTimer->isActive());
    EXPECT_EQ(TForm1Probe::State(*FForm), cvIdle);
    EXPECT_TRUE(FForm->ReqButton->isEnabled());
    ASSERT_EQ(FViewed.size(), 1u);
    const std::string file = ReadFileBytes(FViewed[0]);
    EXPECT_NE(file.find("14:03:27:045 ------------ Timeout waiting for host ---------\r\n"),
              std::string::npos);
}

TEST_F(TConversationTest, SendDuringConversationRestartsTheCountdown) {
    StartConversation();
    for (int i = 0; i < 10; ++i) FForm->TimeoutTimerTimer();
    EXPECT_EQ(Panel(1), "5");
    FForm->SendToHost(Ack);
    EXPECT_EQ(TForm1Probe::Countdown(*FForm), 15);
    for (int i = 0; i < 14; ++i) FForm->TimeoutTimerTimer();
    EXPECT_TRUE(FViewed.empty());
    FForm->TimeoutTimerTimer();
    EXPECT_EQ(FViewed.size(), 1u);
}

TEST_F(TConversationTest, SendInIdleStartsNoCountdown) {
    FForm->SendToHost(Ack);
    EXPECT_FALSE(FForm->TimeoutTimer->isActive());
    EXPECT_EQ(FHost.Read(1), Ack);
}

TEST_F(TConversationTest, EscapeEndsARunningConversationWithTheMessageUnchanged) {
    // Save Shape keeps the message of the last ended conversation.
    StartConversation();
    FHost.Write(std::string(1, FS) + "ANS=INI\rSTATUS=1\r" + RS + "CRC=1234\r" + GS);
    ASSERT_TRUE(ProcessEventsUntil([&] { return TForm1Probe::State(*FForm) == cvIdle; }));
    ASSERT_EQ(Panel(0), "Did not receive status 0 on init");
    HoldShape(EllipseRadii(400));
    FViewed.clear();
    FForm->SaveButton->click();
    EXPECT_EQ(ProgramSends(), BuildPacket(InitRequestBody()));
    PressKey(FForm.get(), Qt::Key_Escape);
    EXPECT_FALSE(FForm->TimeoutTimer->isActive());
    EXPECT_EQ(TForm1Probe::State(*FForm), cvIdle);
    EXPECT_EQ(Panel(0), "Did not receive status 0 on init");
    EXPECT_EQ(FViewed.size(), 1u);
    EXPECT_TRUE(FForm->ReqButton->isEnabled());
}

TEST_F(TConversationTest, EscapeWithoutARunningTimerDoesNothing) {
    PressKey(FForm.get(), Qt::Key_Escape);
    Settle();
    EXPECT_TRUE(FViewed.empty());
    EXPECT_EQ(Panel(0), "Ready");
}

TEST_F(TConversationTest, JobNotFoundEndsQuietlyWithTheHint) {
    ASSERT_FALSE(RequestUpToJob("1234", "1", "400").empty());
    for (int i = 0; i < 7; ++i) FForm->TimeoutTimerTimer();
    ASSERT_EQ(Panel(1), "8");
    HostSends(Ack + BuildPacket("ANS=7\rSTATUS=1;\"No such tray\"\r"),
              [&] { return TForm1Probe::State(*FForm) == cvIdle; });
    EXPECT_EQ(Panel(0), "No such tray");
    EXPECT_EQ(Hint(), "No such tray");
    EXPECT_EQ(Panel(1), "");
    EXPECT_EQ(TForm1Probe::EndMessage(*FForm), "No such tray");
    EXPECT_FALSE(FForm->TimeoutTimer->isActive());
    EXPECT_TRUE(FViewed.empty());
    EXPECT_TRUE(TForm1Probe::RxBuffer(*FForm).empty());
    EXPECT_TRUE(FForm->ReqButton->isEnabled());
}

TEST_F(TConversationTest, StepFailureEndsTheConversationAndOpensTheLog) {
    StartConversation();
    HostSends(std::string(1, FS) + "ANS=INI\rSTATUS=1\r" + RS + "CRC=1234\r" + GS,
              [&] { return TForm1Probe::State(*FForm) == cvIdle; });
    EXPECT_EQ(Panel(0), "Did not receive status 0 on init");
    EXPECT_EQ(Hint(), "Did not receive status 0 on init");
    EXPECT_FALSE(FForm->TimeoutTimer->isActive());
    ASSERT_EQ(FViewed.size(), 1u);
    EXPECT_TRUE(TForm1Probe::RxBuffer(*FForm).empty());
    const auto& lines = TForm1Probe::Log(*FForm).Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "14:03:27:045 ------------ Did not receive status 0 on init ---------"),
              lines.end());
    EXPECT_TRUE(FErrors.empty());
}

TEST_F(TConversationTest, DisplayLogDuringAConversationAbandonsIt) {
    StartConversation();
    FForm->DisplayCommunicationLog1->trigger();
    Settle();
    EXPECT_EQ(TForm1Probe::State(*FForm), cvIdle);
    EXPECT_EQ(Panel(0), "Display Log");
    EXPECT_TRUE(FForm->ReqButton->isEnabled());
    HostSends(Packet, [&] { return FromHostEntries() == 1; });
    EXPECT_EQ(FHost.ReadAvailable(), "");  // the late reply is ignored
    FForm->TimeoutTimerTimer();
    EXPECT_FALSE(FForm->TimeoutTimer->isActive());
    EXPECT_EQ(Panel(1), "");
}

TEST_F(TConversationTest, FailedWriteRaisesThePortError) {
    FForm->COMPort->SetActive(false);
    EXPECT_THROW(FForm->SendToHost("x"), EComPort);
}

TEST_F(TConversationTest, WriteThatRunsOutOfTimeFailsAndLogsOnlyWhatWent) {
    // The host reads nothing, so the line's queue fills and the write times out.
    FForm->COMPort->Timeouts().SetWriteTotalMultiplier(0);
    FForm->COMPort->Timeouts().SetWriteTotalConstant(50);
    StartConversation();
    const std::string big(std::size_t{1} << 20, 'x');
    std::string message;
    try {
        FForm->SendToHost(big);
    } catch (const std::runtime_error& e) {
        message = e.what();
    }
    const std::string went = FHost.ReadAvailable();
    ASSERT_LT(went.size(), big.size());
    EXPECT_EQ(message, "Timeout sending to host: " + std::to_string(went.size()) + " of " +
                           std::to_string(big.size()) + " bytes sent");
    const auto& lines = TForm1Probe::Log(*FForm).Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "14:03:27:045 ------------ Data To Host ---------");
    // Compared by size and content apart, so a failure does not print a megabyte.
    const std::string& logged = lines[lines.size() - 2];
    EXPECT_EQ(logged.size(), 13 + went.size());
    EXPECT_TRUE(logged == "14:03:27:045 " + went);
}

TEST_F(TConversationTest, EnableControlsFollowsTheReceivedShape) {
    FForm->EnableControls(true);
    EXPECT_TRUE(FForm->ReqButton->isEnabled());
    EXPECT_TRUE(FForm->SettingsButton->isEnabled());
    EXPECT_FALSE(FForm->SaveButton->isEnabled());
    EXPECT_FALSE(FForm->ResetButton->isEnabled());
    EXPECT_FALSE(FForm->ShowOrigCheckbox->isEnabled());
    Received().Radii = std::string(4 * 8, '1');
    FForm->EnableControls(true);
    EXPECT_TRUE(FForm->SaveButton->isEnabled());
    EXPECT_TRUE(FForm->ResetButton->isEnabled());
    EXPECT_TRUE(FForm->DetailedGridCheckBox->isEnabled());
    FForm->EnableControls(false);
    EXPECT_FALSE(FForm->SaveButton->isEnabled());
    EXPECT_FALSE(FForm->ReqButton->isEnabled());
    EXPECT_FALSE(FForm->ShowOrigCheckbox->isEnabled());
    EXPECT_TRUE(FForm->TrayEdit->isEnabled());
}

}  // namespace

namespace {

TEST_F(TConversationTest, WindowPreviewsEscapeBeforeTheFocusedControl) {
    FForm->show();
    FForm->activateWindow();
    FForm->TrayEdit->setFocus();
    ASSERT_TRUE(ProcessEventsUntil([&] { return QApplication::focusWidget() == FForm->TrayEdit; }));
    StartConversation();
    PressKey(FForm->TrayEdit, Qt::Key_Escape);
    EXPECT_FALSE(FForm->TimeoutTimer->isActive());
    EXPECT_EQ(FViewed.size(), 1u);  // seen once, though the edit passes Escape on to its parents
    EXPECT_EQ(TForm1Probe::State(*FForm), cvIdle);
}

}  // namespace
