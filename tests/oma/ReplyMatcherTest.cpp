#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "oma/ReplyMatcher.h"

namespace {

using namespace std::string_literals;

TEST(ReplyMatcher, DotMatchesLineEnds) {
    TReplyMatcher m;
    const std::string reply =
        "\x1C"
        "ANS=INI\r\nSTATUS=0\r\x1E"
        "CRC=1\r\x1D";
    EXPECT_TRUE(m.Match("ANS.*=.*INI.*STATUS.*=.*0\\D", reply));
    EXPECT_TRUE(m.Match("A.B", "A\rB"));
    EXPECT_TRUE(m.Match("A.B", "A\nB"));
    EXPECT_TRUE(m.Match("A.B", "A\0B"s));
}

TEST(ReplyMatcher, CaseSensitiveAndLeftmost) {
    TReplyMatcher m;
    EXPECT_FALSE(m.Match("STATUS", "status=0"));
    ASSERT_TRUE(m.Match("DEF\\s*=\\D*(\\d+)\\D", "x DEF=\"12\"\rDEF=7\r"));
    EXPECT_EQ(m.Group(1), "12");
    ASSERT_TRUE(m.Match("(\\d+)", "ab 42 17"));
    EXPECT_EQ(m.Group(1), "42");
    EXPECT_EQ(m.Group(0), "42");
}

TEST(ReplyMatcher, GreedyUnlessLazy) {
    TReplyMatcher m;
    ASSERT_TRUE(m.Match("A(.*)B", "AxBxB"));
    EXPECT_EQ(m.Group(1), "xBx");
    ASSERT_TRUE(m.Match("A(.*?)B", "AxBxB"));
    EXPECT_EQ(m.Group(1), "x");
    // The lazy skip runs across lines to the checksum digits.
    ASSERT_TRUE(m.Match("[\\n\\r]DEF\\s*=.*?;?\\s*([0-9A-Za-z]+)\\s*[\\r\\n]",
                        "\x1CSTATUS=0\rDEF=\"ABC\"\r\x1E"
                        "CRC=4711\r\x1D"));
    EXPECT_EQ(m.Group(1), "4711");
}

TEST(ReplyMatcher, GroupsThatTookNoPartReadEmpty) {
    TReplyMatcher m;
    ASSERT_TRUE(m.Match("STATUS\\s*=\\s*(\\d+)\\s*;?\\s*\"?([^\"]*)\"?\\s*[\\n\\r]|(x)",
                        "STATUS=3;\"Job locked\"\r"));
    EXPECT_EQ(m.Group(1), "3");
    EXPECT_EQ(m.Group(2), "Job locked");
    EXPECT_EQ(m.Group(3), "");
    ASSERT_TRUE(m.Match("(a)|(b)", "b"));
    EXPECT_EQ(m.Group(1), "");
    EXPECT_EQ(m.Group(2), "b");
    EXPECT_EQ(m.Group(7), "");
    EXPECT_EQ(m.Group(-1), "");
    EXPECT_FALSE(m.Match("(q)", "b"));
    EXPECT_EQ(m.Group(0), "");
    EXPECT_EQ(m.Group(1), "");
}

TEST(ReplyMatcher, SpaceClasses) {
    TReplyMatcher m;
    for (const char* space : {" ", "\t", "\n", "\r", "\f"}) {
        EXPECT_TRUE(m.Match("A\\sB", "A"s + space + "B")) << int(space[0]);
        EXPECT_FALSE(m.Match("A\\SB", "A"s + space + "B")) << int(space[0]);
        EXPECT_TRUE(m.Match("A[\\s]B", "A"s + space + "B")) << int(space[0]);
    }
    for (const char* other : {"\v", "\x1C", "\x1D", "\x1E", "\xA0", "\x85", "x"}) {
        EXPECT_FALSE(m.Match("A\\sB", "A"s + other + "B")) << int(other[0]);
        EXPECT_TRUE(m.Match("A\\SB", "A"s + other + "B")) << int(other[0]);
        EXPECT_TRUE(m.Match("A[^\\s]B", "A"s + other + "B")) << int(other[0]);
    }
    EXPECT_TRUE(m.Match("A\\dB\\DC", "A5B\rC"));
    EXPECT_FALSE(m.Match("\\d", "\xB2\xB3"));
    EXPECT_TRUE(m.Match("A B", "A B"));
    EXPECT_FALSE(m.Match("A B", "AB"));
    // Escaped backslashes, quoted text and class edges are left alone.
    EXPECT_TRUE(m.Match("\\\\s", "\\s"));
    EXPECT_TRUE(m.Match("\\Q\\s\\E", "\\s"));
    EXPECT_TRUE(m.Match("[]\\s]+x", "] \rx"));
    EXPECT_TRUE(m.Match("[[:alpha:]\\s]+x", "ab \rx"));
}

TEST(ReplyMatcher, BadPatternFailsLoudly) {
    TReplyMatcher m;
    try {
        m.Match("STATUS=(\\d+", "STATUS=0");
        FAIL() << "bad pattern accepted";
    } catch (const std::logic_error& e) {
        EXPECT_NE(std::string(e.what()).find("missing closing parenthesis"), std::string::npos)
            << e.what();
        EXPECT_NE(std::string(e.what()).find("at offset"), std::string::npos) << e.what();
    }
    EXPECT_THROW(m.Match("[\\S]", "x"), std::logic_error);
    EXPECT_THROW(m.Match("a{2,1}", "aa"), std::logic_error);
}

TEST(ReplyMatcher, BinarySubjects) {
    TReplyMatcher m;
    const std::string reply = "R=\x1B\x8D\xFF\0\x80\r"s;
    ASSERT_TRUE(m.Match("\\s*R\\s*=(.*)\\r", reply));
    EXPECT_EQ(m.Group(1), "\x1B\x8D\xFF\0\x80"s);
}

TEST(ReplyMatcher, ASearchBeyondItsBoundsIsAnUnreadableReply) {
    // The group backtracks over every byte of a long text without line ends:
    // far more work than any ordinary reply needs.
    const std::string reply = "\x1cSTATUS=1 " + std::string(600000, 'a') + "\x1d";
    const char* pattern = R"re(STATUS\s*=\s*(\d+)\s*;?\s*"?([^"]*)"?\s*[\n\r])re";
    TReplyMatcher m;
    try {
        m.Match(pattern, reply);
        ADD_FAILURE() << "searched";
    } catch (const EReplyUnreadable& e) {
        EXPECT_STREQ(e.what(), "Reply from host is too complex to read");
    }
    TReplyMatcher unbounded(TReplyMatcher::mbUnbounded);
    EXPECT_FALSE(unbounded.Match(pattern, reply));
}

}  // namespace
