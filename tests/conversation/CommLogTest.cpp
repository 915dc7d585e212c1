// The communication log: its exact rendering and limits, and its stamps.
#include <gtest/gtest.h>

#include "conversation/CommLog.h"
#include "oma/OMAMach.h"
#include "tests/support/PacketFiles.h"

namespace {

const std::string Stamp = "14:03:27:045";

TEST(CommLog, LoneAcknowledgementAddsThreeLines) {
    TCommLog log;
    log.AddData(TCommLog::ldToHost, std::string(1, ACK), Stamp);
    const std::deque<std::string> expected = {"14:03:27:045 ------------ Data To Host ---------",
                                              "14:03:27:045 <ack>", ""};
    EXPECT_EQ(log.Lines(), expected);
}

TEST(CommLog, PacketRendersOneLinePerRecord) {
    TCommLog log;
    log.AddData(TCommLog::ldFromHost, PacketFile("init"), Stamp);  // REQ=INI, OMAV=3.02
    ASSERT_EQ(log.Count(), 6u);  // header, 3 record lines, the GS line, empty
    EXPECT_EQ(log.Lines()[0], "14:03:27:045 ------------ Data From Host ---------");
    EXPECT_EQ(log.Lines()[1], "14:03:27:045 <fs>REQ=INI<cr>");
    EXPECT_EQ(log.Lines()[2], "14:03:27:045 OMAV=3.02<cr>");
    EXPECT_EQ(log.Lines()[3], "14:03:27:045 <rs>CRC=47292<cr>");
    EXPECT_EQ(log.Lines()[4], "14:03:27:045 <gs>");
    EXPECT_EQ(log.Lines()[5], "");
}

TEST(CommLog, EntryGrowsByItsRenderedLinesPlusTwo) {
    struct TRow {
        std::string Data;
        std::size_t Added;
    } rows[] = {
        {"A=1\rB=2\rC", 5},   // three rendered lines
        {"", 2},              // header and empty line only
        {"A=1\r\nB=2\n", 4},  // CR LF is one line end
        {"\r\r", 4},
    };
    for (const TRow& r : rows) {
        TCommLog log;
        log.AddData(TCommLog::ldToHost, r.Data, Stamp);
        EXPECT_EQ(log.Count(), r.Added) << r.Data;
    }
}

TEST(CommLog, TrimsOldestLinesBeforeEachDataEntry) {
    struct TRow {
        std::size_t Before, After;
    } rows[] = {{760, 750 + 3}, {751, 750 + 3}, {750, 753}, {10, 13}};
    for (const TRow& r : rows) {
        TCommLog log;
        for (std::size_t i = 0; i < r.Before; ++i) log.AddLine("line " + std::to_string(i));
        log.AddData(TCommLog::ldToHost, std::string(1, ACK), Stamp);
        EXPECT_EQ(log.Count(), r.After) << r.Before;
        const std::size_t removed = r.Before > 750 ? r.Before - 750 : 0;
        EXPECT_EQ(log.Lines().front(), "line " + std::to_string(removed));
    }
}

TEST(CommLog, EndAndPlainLinesDoNotTrim) {
    TCommLog log;
    for (int i = 0; i < 760; ++i) log.AddLine("x");
    log.AddEndLine("Display Log", Stamp);
    EXPECT_EQ(log.Count(), 761u);
    EXPECT_EQ(log.Lines().back(), "14:03:27:045 ------------ Display Log ---------");
}

TEST(CommLog, TextEndsEveryLineWithCrLf) {
    TCommLog log;
    log.AddLine("a");
    log.AddLine("");
    EXPECT_EQ(log.Text(), "a\r\n\r\n");
}

TEST(CommLog, TimeStampFormat) {
    EXPECT_EQ(FormatTimeStamp({14, 3, 27, 45}), "14:03:27:045");
    EXPECT_EQ(FormatTimeStamp({0, 0, 0, 0}), "00:00:00:000");
    EXPECT_EQ(FormatTimeStamp({23, 59, 59, 999}), "23:59:59:999");
}

TEST(CommLog, AReplyThatNeverEndedIsMarkedSo) {
    TCommLog log;
    log.AddData(TCommLog::ldFromHostIncomplete, std::string("\x1C") + "ANS=7\rJOB=\"12", Stamp);
    const std::deque<std::string> expected = {
        "14:03:27:045 ------------ Data From Host (incomplete reply) ---------",
        "14:03:27:045 <fs>ANS=7<cr>", "14:03:27:045 JOB=\"12", ""};
    EXPECT_EQ(log.Lines(), expected);
}

}  // namespace
