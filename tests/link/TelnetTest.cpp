// The Telnet / COM port control client as a function of its input. Expected
// bytes are written out from the protocol's numbers (IAC 255, SB 250, SE 240,
// WILL 251, WONT 252, DO 253, DONT 254; COM-PORT-OPTION 44).
#include <gtest/gtest.h>

#include "link/Telnet.h"

namespace {

std::string B(std::initializer_list<int> bytes) {
    std::string out;
    for (int b : bytes) out += static_cast<char>(b);
    return out;
}

struct TTelnetFixture : ::testing::Test {
    TTelnetClient Client;
    std::string Replies;
    std::vector<std::string> Notes;
    std::string Feed(const std::string& in) { return Client.Feed(in, Replies, Notes); }
};

TEST_F(TTelnetFixture, StartOffersBinarySuppressGoAheadAndComPortControl) {
    EXPECT_EQ(Client.Start({}), B({255, 251, 0, 255, 253, 0, 255, 251, 3, 255, 253, 3, 255, 251, 44}));
    EXPECT_FALSE(Client.PortControlAnswered());
}

TEST_F(TTelnetFixture, AcceptedPortControlSendsTheLineThenPurges) {
    TTelnetLine line;
    line.BaudRate = 38400;  // 0x00009600
    line.DataBits = 7;
    line.Parity = prEven;
    line.StopBits = sbTwoStopBits;
    Client.Start(line);
    // The server agrees to what was offered: no reply to agreement, but the settings.
    EXPECT_EQ(Feed(B({255, 253, 0, 255, 251, 0, 255, 253, 3, 255, 251, 3, 255, 253, 44})), "");
    EXPECT_TRUE(Client.PortControlAccepted());
    EXPECT_EQ(Replies, B({255, 250, 44, 1, 0, 0, 0x96, 0, 255, 240,  // SET-BAUDRATE 38400
                          255, 250, 44, 2, 7, 255, 240,              // SET-DATASIZE 7
                          255, 250, 44, 3, 3, 255, 240,              // SET-PARITY EVEN
                          255, 250, 44, 4, 2, 255, 240,              // SET-STOPSIZE 2
                          255, 250, 44, 5, 1, 255, 240,              // SET-CONTROL no flow control
                          255, 250, 44, 12, 3, 255, 240}));          // PURGE-DATA both
    ASSERT_EQ(Notes.size(), 1u);
    EXPECT_EQ(Notes[0],
              "The device server takes COM port control: 38400 baud, 7 data bits, parity Even, "
              "stop bits 2");
    // A repeated DO changes nothing.
    Replies.clear();
    Feed(B({255, 253, 44}));
    EXPECT_EQ(Replies, "");
}

TEST_F(TTelnetFixture, AByteOf255InTheBaudRateIsDoubled) {
    TTelnetLine line;
    line.BaudRate = 0x0001C2FF;
    Client.Start(line);
    Feed(B({255, 253, 44}));
    EXPECT_EQ(Replies.substr(0, 11), B({255, 250, 44, 1, 0, 1, 0xC2, 255, 255, 255, 240}));
}

TEST_F(TTelnetFixture, RefusedPortControlIsNotedAndDataStillFlows) {
    Client.Start({});
    EXPECT_EQ(Feed(B({255, 254, 44}) + "ABC"), "ABC");
    EXPECT_TRUE(Client.PortControlAnswered());
    EXPECT_FALSE(Client.PortControlAccepted());
    EXPECT_EQ(Replies, "");  // a refusal of an offer is not answered
    ASSERT_EQ(Notes.size(), 1u);
    EXPECT_EQ(Notes[0].rfind("The device server refuses COM port control", 0), 0u);
}

TEST_F(TTelnetFixture, UnsupportedOptionsAreRefusedOnceEach) {
    Client.Start({});
    EXPECT_EQ(Feed(B({255, 253, 24, 255, 251, 1, 255, 251, 31, 'x'})), "x");  // DO TTYPE, WILL ECHO, WILL NAWS
    EXPECT_EQ(Replies, B({255, 252, 24, 255, 254, 1, 255, 254, 31}));
    // A server that turns off an option it had on gets the matching answer.
    Replies.clear();
    Feed(B({255, 251, 0, 255, 252, 0}));
    EXPECT_EQ(Replies, B({255, 254, 0}));
}

TEST_F(TTelnetFixture, DoubledIacIsOneDataByteAndCommandsAreDropped) {
    Client.Start({});
    Feed(B({255, 251, 0}));  // binary from the server
    EXPECT_EQ(Feed(B({1, 255, 255, 2, 255, 241, 3, 255, 249, 13, 0})), B({1, 255, 2, 3, 13, 0}));
    EXPECT_EQ(TTelnetClient::Escape(B({255, 0, 255, 255})), B({255, 255, 0, 255, 255, 255, 255}));
}

TEST_F(TTelnetFixture, CrNulIsCrWhileTheServerIsNotBinary) {
    Client.Start({});
    EXPECT_EQ(Feed(B({'a', 13, 0, 'b', 0})), B({'a', 13, 'b', 0}));
}

TEST_F(TTelnetFixture, SplitAnywhereGivesTheSameResult) {
    const std::string in = B({'R', '=', 255, 255, 255, 250, 44, 106, 0x60, 255, 240, 255, 253, 44,
                              255, 250, 44, 101, 0, 0, 0x4B, 0, 255, 240, 'Z', 255, 255});
    TTelnetClient whole;
    std::string wholeReplies;
    std::vector<std::string> wholeNotes;
    whole.Start({});
    const std::string wholeData = whole.Feed(in, wholeReplies, wholeNotes);
    EXPECT_EQ(wholeData, B({'R', '=', 255, 'Z', 255}));
    // The server acknowledged 19200 instead of 9600: noted.
    ASSERT_EQ(wholeNotes.size(), 2u);
    EXPECT_EQ(wholeNotes[1], "The device server runs the line at 19200 baud, not the 9600 asked for");
    for (std::size_t cut = 1; cut < in.size(); ++cut) {
        TTelnetClient split;
        std::string replies;
        std::vector<std::string> notes;
        split.Start({});
        std::string data = split.Feed(in.substr(0, cut), replies, notes);
        data += split.Feed(in.substr(cut), replies, notes);
        EXPECT_EQ(data, wholeData) << "cut at " << cut;
        EXPECT_EQ(replies, wholeReplies) << "cut at " << cut;
        EXPECT_EQ(notes, wholeNotes) << "cut at " << cut;
    }
}

TEST_F(TTelnetFixture, GarbageNeverGrowsWithoutBoundOrLosesLaterData) {
    Client.Start({});
    // An endless subnegotiation, then its end and ordinary data.
    std::string in = B({255, 250, 44});
    in += std::string(100000, 'q');
    in += B({255, 240, 'o', 'k'});
    EXPECT_EQ(Feed(in), "ok");
    // A subnegotiation cut short by another command.
    EXPECT_EQ(Feed(B({255, 250, 44, 1, 255, 253, 99, 'y'})), "y");
    EXPECT_EQ(Replies.substr(Replies.size() - 3), B({255, 252, 99}));
}

}  // namespace
