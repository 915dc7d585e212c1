// The window's conversations end to end against a pseudo-terminal host:
// receiving, the reply timeout, cancel and the endings as the operator sees them.
#include <QKeyEvent>
#include <QTimer>

#include "conversation/Conversation.h"
#include "ConversationFixture.h"

namespace {

// The host's acceptance of the initialization, and its refusal (STATUS=1).
std::string Acceptance() { return ReplyFile("init-fmt1"); }
std::string Refusal() { return ReplyFile("init-status1"); }

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
    static std::string DescriptionSent() { return Ack + PacketFile("edger-description"); }

    // Whether Log holds Line.
    static bool Logged(const std::vector<std::string>& log, const std::string& line) {
        return std::find(log.begin(), log.end(), line) != log.end();
    }

    // A refusal of the initialization ends the conversation it reaches; glued
    // to an earlier partial reply it would be read as an acceptance.
    void RefusalEndsTheNextConversation() {
        FViewed.clear();
        StartConversation();
        FHost.Write(Refusal());
        ASSERT_TRUE(ProcessEventsUntil([&] { return !FForm->Talking(); }));
        EXPECT_EQ(Panel(0), "Did not receive status 0 on init");
        Settle();
        FHost.ReadAvailable();
    }
};

TEST_F(TConversationTest, ReplyInPiecesIsProcessedOnceWhenGSArrives) {
    StartConversation();
    const std::string first = Acceptance().substr(0, 10);
    const std::string second = Acceptance().substr(10) + "tail";
    HostWrites(first);
    EXPECT_EQ(FHost.ReadAvailable(), "");

    FTick += 19999;
    FHost.Write(second);
    EXPECT_EQ(ProgramSends(), DescriptionSent());
    Settle();
    EXPECT_EQ(FHost.ReadAvailable(), "");  // answered once
    // Nothing of the reply is left behind: the next reply is read on its own.
    EXPECT_EQ(AnswerFile("edger-granted-1-400"),
              Ack + PacketFile("job-request"));
    const std::vector<std::string> log = ShownLog();
    EXPECT_EQ(FromHostEntries(log), 3);  // the reply once, then ACK and the next reply
    EXPECT_TRUE(
        Logged(log, "14:03:27:045 <gs>tail"));  // bytes after GS of the same read come along
}

TEST_F(TConversationTest, BytesBeforeFSAreLoggedOneEntryEachAndDropped) {
    StartConversation();
    FHost.Write(Ack + "ab" + Acceptance());
    EXPECT_EQ(ProgramSends(), DescriptionSent());
    const std::vector<std::string> lines = ShownLog();
    EXPECT_EQ(FromHostEntries(lines), 4);  // ACK, a, b, then the packet
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
    const std::string lost = Acceptance().substr(1);
    HostWrites(lost);
    EXPECT_EQ(FHost.ReadAvailable(), "");
    // Every byte was dropped and logged on its own: nothing waits for a GS.
    EXPECT_EQ(FromHostEntries(ShownLog()), static_cast<int>(lost.size()));
}

TEST_F(TConversationTest, PacketInIdleIsLoggedNotAcknowledged) {
    const std::string refusal = Refusal();
    HostWrites(refusal);
    EXPECT_EQ(FHost.ReadAvailable(), "");
    EXPECT_TRUE(FViewed.empty());
    EXPECT_FALSE(FForm->Talking());
    EXPECT_EQ(FromHostEntries(ShownLog()), 1);
    // Not kept either: the next conversation reads its own reply.
    StartConversation();
    FHost.Write(Acceptance());
    EXPECT_EQ(ProgramSends(), DescriptionSent());
}

TEST_F(TConversationTest, SilenceOfMoreThanTwentySecondsDropsTheFirstPiece) {
    StartConversation();
    const std::string old = std::string(1, FS) + "OLD";
    HostWrites(old);
    FTick += 20001;
    FHost.Write(Acceptance());
    EXPECT_EQ(ProgramSends(), DescriptionSent());
    // The reply as it came, without OLD.
    EXPECT_TRUE(Logged(ShownLog(), "14:03:27:045 <fs>ANS=INI<cr>"));
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
        const std::string partial = Acceptance().substr(0, Acceptance().find(RS));
        HostWrites(partial);
        end();
        EXPECT_FALSE(FForm->Talking());
        RefusalEndsTheNextConversation();
    }
}

// The host sends a packet start and then 4 KiB at a time without GS; each
// chunk is read by the window before the next goes, so the buffer holds
// exactly 1 MiB before one more byte overflows it.
TEST_F(TConversationTest, FloodWithoutGSIsDroppedAndLogged) {
    StartConversation();
    constexpr std::size_t Chunk = 4096;
    static_assert(MaxRxBuffer % Chunk == 0);
    for (std::size_t sent = 0; sent < MaxRxBuffer; sent += Chunk) {
        std::string bytes(Chunk, 'x');
        if (sent == 0) bytes[0] = FS;
        HostWrites(bytes);
    }
    // Full, but not past it: nothing dropped yet.
    HostWrites("x");
    // Dropped whole once past 1 MiB: the next reply is read on its own.
    FHost.Write(Acceptance());
    EXPECT_EQ(ProgramSends(), DescriptionSent());

    const std::vector<std::string> log = ShownLog();
    std::vector<std::string> overflows;
    for (const std::string& line : log)
        if (line.find("Receive buffer overflow") != std::string::npos) overflows.push_back(line);
    ASSERT_EQ(overflows.size(), 1u);
    EXPECT_EQ(overflows.front(),
              "14:03:27:045 ------------ Receive buffer overflow: 1048577 bytes without GS "
              "dropped ---------");
    // Nothing of the flood reached the log but that line: the packet is the
    // only data from the host.
    EXPECT_EQ(FromHostEntries(log), 1);
}

// Bytes without FS that follow an overflow are dropped one log entry each;
// the log stays bounded at its lines, the end line, and the program's
// version lines that showing it adds.
TEST_F(TConversationTest, FloodAfterAnOverflowKeepsTheLogBounded) {
    StartConversation();
    constexpr std::size_t Chunk = 4096;
    HostWrites(std::string(1, FS));
    for (std::size_t sent = 1; sent <= MaxRxBuffer + Chunk; sent += Chunk)
        HostWrites(std::string(Chunk, 'x'));
    const std::vector<std::string> log = ShownLog();
    EXPECT_GE(log.size(), TCommLog::MaxLines);
    EXPECT_LE(log.size(), TCommLog::MaxLines + 10);
}

TEST_F(TConversationTest, TimeoutCountsDownTheLastNineSecondsAndOpensTheLog) {
    StartConversation();
    EXPECT_TRUE(FForm->Talking());
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
    EXPECT_FALSE(FForm->Talking());
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
    // Fifteen seconds again: fourteen ticks leave one.
    for (int i = 0; i < 14; ++i) FForm->TimeoutTimerTimer();
    EXPECT_EQ(Panel(1), "1");
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
    HoldShape("job-ellipse-400", EllipseRadii(400));
    FForm->SaveButton->click();
    ASSERT_EQ(ProgramSends(), PacketFile("init"));
    AnswerLast(Ack + ReplyFile("init-status1"));
    ASSERT_EQ(Panel(0), "Did not get positive response from host");
    ASSERT_TRUE(FForm->SaveButton->isEnabled());
    FViewed.clear();
    FForm->SaveButton->click();
    EXPECT_EQ(ProgramSends(), PacketFile("init"));
    PressKey(FForm.get(), Qt::Key_Escape);
    EXPECT_FALSE(FForm->TimeoutTimer->isActive());
    EXPECT_FALSE(FForm->Talking());
    EXPECT_EQ(Panel(0), "Did not get positive response from host");
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
    AnswerLast(Ack + ReplyFile("example-job-nosuchtray"));
    EXPECT_EQ(Panel(0), "No such tray");
    EXPECT_EQ(Hint(), "No such tray");
    EXPECT_EQ(Panel(1), "");
    EXPECT_EQ(FForm->PictureMessage(), "No such tray");
    EXPECT_FALSE(FForm->TimeoutTimer->isActive());
    EXPECT_TRUE(FViewed.empty());
    EXPECT_TRUE(FForm->ReqButton->isEnabled());
    RefusalEndsTheNextConversation();
}

TEST_F(TConversationTest, StepFailureEndsTheConversationAndOpensTheLog) {
    StartConversation();
    AnswerLast(Refusal());
    EXPECT_EQ(Panel(0), "Did not receive status 0 on init");
    EXPECT_EQ(Hint(), "Did not receive status 0 on init");
    EXPECT_FALSE(FForm->TimeoutTimer->isActive());
    ASSERT_EQ(FViewed.size(), 1u);
    const std::string file = ReadFileBytes(FViewed[0]);
    EXPECT_NE(
        file.find("\r\n14:03:27:045 ------------ Did not receive status 0 on init ---------\r\n"),
        std::string::npos);
    EXPECT_TRUE(FErrors.empty());
    RefusalEndsTheNextConversation();
}

TEST_F(TConversationTest, DisplayLogDuringAConversationAbandonsIt) {
    StartConversation();
    FForm->DisplayCommunicationLog1->trigger();
    Settle();
    EXPECT_FALSE(FForm->Talking());
    EXPECT_EQ(Panel(0), "Display Log");
    EXPECT_TRUE(FForm->ReqButton->isEnabled());
    HostWrites(Acceptance());
    EXPECT_EQ(FHost.ReadAvailable(), "");  // the late reply is ignored
    FForm->TimeoutTimerTimer();
    EXPECT_FALSE(FForm->TimeoutTimer->isActive());
    EXPECT_EQ(Panel(1), "");
}

TEST_F(TConversationTest, FailedWriteRaisesThePortError) {
    FForm->COMPort->SetActive(false);
    EXPECT_THROW(FForm->SendToHost("x"), EComPort);
}

// An unplugged adapter: the port is still open, the request cannot be
// written. The panel says why (not "Sent request to initialize"), the log
// keeps it, the error report shows it, and the window is ready again.
TEST_F(TConversationTest, ARequestOnADeadLineSaysWhyItWasNotSent) {
    FHost.CloseMaster();
    Settle();
    ASSERT_TRUE(FForm->COMPort->Active());
    SetTray("1234");
    FForm->ReqButton->click();
    Settle();
    ASSERT_EQ(FErrors.size(), 1u);
    EXPECT_EQ(FErrors[0], "Operation failed: 5 (Input/output error)");
    EXPECT_EQ(Panel(0).toStdString(), FErrors[0]);
    EXPECT_FALSE(FForm->Talking());
    EXPECT_TRUE(FForm->SettingsButton->isEnabled());
    const std::vector<std::string> log = ShownLog();
    EXPECT_TRUE(Logged(
        log, "14:03:27:045 ------------ Operation failed: 5 (Input/output error) ---------"));
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
    const std::vector<std::string> lines = ShownLog();
    // The last data entry: its header, its bytes, the empty line after it.
    std::size_t last = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find(" ------------ Data To Host ---------") != std::string::npos) last = i;
    ASSERT_LT(last + 2, lines.size());
    EXPECT_EQ(lines[last], "14:03:27:045 ------------ Data To Host ---------");
    EXPECT_EQ(lines[last + 2], "");
    // Compared by size and content apart, so a failure does not print a megabyte.
    const std::string& logged = lines[last + 1];
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
    FForm->Circle1->trigger();  // a received shape
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
    EXPECT_FALSE(FForm->Talking());
}

}  // namespace
