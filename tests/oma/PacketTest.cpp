#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "oma/OMAMach.h"

namespace {

using namespace std::string_literals;

std::string Framed(const std::string& body, const std::string& crc) {
    return "\x1C"s + body + "\x1E" + "CRC=" + crc + "\r" + "\x1D";
}

std::string DeviceDescriptionBody() {
    std::string body = "ANS=INI\rDEV=EDG\rVEN=VORMIK\rMODEL=TORVIKAL\r";
    for (const char* count : {"512", "500", "400"})
        for (const char* format : {"4", "3", "2", "1"})
            body += "TRCFMT="s + format + ";" + count + ";E;B\r";
    body += "DEF=\"INITREQ\"\rD=DBL;FTYP;ETYP\rD=HBOX;VBOX;CIRC\rENDDEF=\"INITREQ\"\r";
    return body;
}

TEST(OmaCRC16, KnownValues) {
    struct TRow {
        std::string Data;
        unsigned Crc;
    };
    const std::vector<TRow> rows = {
        {"", 0},
        {"123456789", 0x31C3},
        {"abc", 40406},
        {"REQ=INI\rOMAV=3.02\r\x1E", 47292},
        {"REQ=INI\r\x1E", 13402},
        {"REQ=7\rJOB=\"1234\"\rTRCFMT=1;400;E;R;F\r\x1E", 31386},
        {DeviceDescriptionBody() + "\x1E", 19441},
    };
    for (const auto& row : rows) EXPECT_EQ(OmaCRC16(row.Data), row.Crc) << row.Data;
}

TEST(OmaCRC16, CoversEveryByteValue) {
    // Bitwise reference of the same CRC, to check the table for every byte.
    auto reference = [](const std::string& data) {
        unsigned reg = 0;
        for (unsigned char b : data) {
            reg ^= unsigned{b} << 8;
            for (int i = 0; i < 8; ++i) reg = (reg & 0x8000u) ? ((reg << 1) ^ 0x1021u) : reg << 1;
            reg &= 0xFFFFu;
        }
        return reg;
    };
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
        EXPECT_EQ(OmaCRC16(std::string(1, static_cast<char>(b))),
                  reference(std::string(1, static_cast<char>(b))));
    }
    EXPECT_EQ(OmaCRC16(all), reference(all));
}

TEST(BuildPacket, InitializationRequest) {
    EXPECT_EQ(BuildPacket("REQ=INI\rOMAV=3.02\r"), Framed("REQ=INI\rOMAV=3.02\r", "47292"));
    const std::string shortInit = BuildPacket("REQ=INI\r");
    EXPECT_EQ(shortInit, Framed("REQ=INI\r", "13402"));
    EXPECT_EQ(shortInit.size(), 21u);
}

TEST(BuildPacket, ConversationBodies) {
    const std::string body = DeviceDescriptionBody();
    EXPECT_EQ(body.size(), 310u);
    EXPECT_EQ(BuildPacket(body), Framed(body, "19441"));
    EXPECT_EQ(BuildPacket("REQ=7\rJOB=\"1234\"\rTRCFMT=1;400;E;R;F\r"),
              Framed("REQ=7\rJOB=\"1234\"\rTRCFMT=1;400;E;R;F\r", "31386"));
}

TEST(BuildPacket, ChecksumWithoutLeadingZeros) {
    EXPECT_EQ(BuildPacket("JOB=\"446153\"\r"), Framed("JOB=\"446153\"\r", "815"));
    EXPECT_EQ(BuildPacket("JOB=\"256398\"\r"), Framed("JOB=\"256398\"\r", "0"));
    EXPECT_EQ(BuildPacket(""), Framed("", std::to_string(OmaCRC16("\x1E"))));
}

TEST(ExtractLine, SplitsAtFirstLineEnd) {
    struct TRow {
        std::string Buffer, Line, Rest;
    };
    const std::vector<TRow> rows = {
        {"A=1\r\nB=2", "A=1", "B=2"},
        {"\r\rA=1", "", "A=1"},
        {"A=1", "A=1", ""},
        {"", "", ""},
        {"A=1\n\rB=2\r", "A=1", "B=2\r"},
        {"A=1\nB=2", "A=1", "B=2"},
        {"A=1\r\r\n\n\rB=2\r\n", "A=1", "B=2\r\n"},
        {"A=1\r", "A=1", ""},
        {"\n", "", ""},
        {"\x1C"
         "REQ=INI\r\x1E"
         "CRC=1\r\x1D",
         "\x1C"
         "REQ=INI",
         "\x1E"
         "CRC=1\r\x1D"},
        {"A\0B\rC"s, "A\0B"s, "C"},
    };
    for (const auto& row : rows) {
        std::string buffer = row.Buffer;
        EXPECT_EQ(ExtractLine(buffer), row.Line) << row.Buffer;
        EXPECT_EQ(buffer, row.Rest) << row.Buffer;
    }
}

TEST(ExtractLine, WalksAWholeReply) {
    std::string buffer =
        "\x1C"
        "ANS=INI\r\nSTATUS=0\r\x1E"
        "CRC=1234\r\x1D";
    std::vector<std::string> lines;
    while (!buffer.empty()) lines.push_back(ExtractLine(buffer));
    const std::vector<std::string> expected = {
        "\x1C"
        "ANS=INI",
        "STATUS=0",
        "\x1E"
        "CRC=1234",
        "\x1D"};
    EXPECT_EQ(lines, expected);
}

TEST(RenderControlChars, NamesEveryByte) {
    struct TRow {
        std::string Raw, Rendered;
    };
    const std::vector<TRow> rows = {
        {"\x1CREQ=INI\r\n", "<fs>REQ=INI<crlf>\r\n"},
        {"A\r", "A<cr>\r\n"},
        {"\x1F\xE9", "<#31><#233>"},
        {"\t", "<#9>"},
        {"\x06\x15\x1B\x1C\x1D\x1E", "<ack><nak><esc><fs><gs><rs>"},
        {"\n\r", "<lf>\r\n<cr>\r\n"},
        {"\r\r\n", "<cr>\r\n<crlf>\r\n"},
        {" ~\x7F\xFF", " ~<#127><#255>"},
        {"\0"s, "<#0>"},
        {"", ""},
    };
    for (const auto& row : rows) EXPECT_EQ(RenderControlChars(row.Raw), row.Rendered) << row.Raw;
}

TEST(RenderControlChars, OneLinePerRecordOfAPacket) {
    EXPECT_EQ(RenderControlChars(BuildPacket("REQ=INI\rOMAV=3.02\r")),
              "<fs>REQ=INI<cr>\r\nOMAV=3.02<cr>\r\n<rs>CRC=47292<cr>\r\n<gs>");
}

}  // namespace
