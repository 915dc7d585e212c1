#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "oma/HostPackets.h"
#include "oma/OMAMach.h"
#include "tests/support/PacketFiles.h"

namespace {

using namespace std::string_literals;

std::string Framed(const std::string& body, const std::string& crc) {
    return "\x1C"s + body + "\x1E" + "CRC=" + crc + "\r" + "\x1D";
}

std::string DeviceDescriptionBody() {
    return PacketBody("edger-description");
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
        {PacketBody("init") + "\x1E", 47292},
        {PacketBody("probe") + "\x1E", 13402},
        {PacketBody("job-request") + "\x1E", 31386},
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
    EXPECT_EQ(BuildPacket(InitRequestBody()), PacketFile("init"));
    const std::string shortInit = BuildPacket(PacketBody("probe"));
    EXPECT_EQ(shortInit, PacketFile("probe"));
    EXPECT_EQ(shortInit.size(), 21u);
}

// Every packet the program sends is byte for byte its golden file.
TEST(BuildPacket, ConversationPacketsAreTheirGoldenFiles) {
    EXPECT_EQ(DeviceDescriptionBody().size(), 310u);
    EXPECT_EQ(BuildPacket(EdgerDescriptionBody()), PacketFile("edger-description"));
    EXPECT_EQ(BuildPacket(TracerDescriptionBody()), PacketFile("tracer-description"));
    EXPECT_EQ(BuildPacket(JobRequestBody("7", "1234", "1", "400")), PacketFile("job-request"));
    EXPECT_EQ(BuildPacket(StoreRequestBody("8", "1234")), PacketFile("store-request"));
    EXPECT_EQ(BuildPacket(NoInitStoreBody("1234")), PacketFile("store-request-no-init"));
    // The upload's trace records, and its framing.
    std::string radii;
    for (int i = 0; i < 20; ++i) radii += std::to_string(2500 + 10 * i);
    const std::string upload = PacketBody("upload");
    EXPECT_NE(upload.find("\rTRCFMT=1;20;E;R;F\r" + TraceRecords("1", radii) + "HBOX="),
              std::string::npos);
    EXPECT_EQ(BuildPacket(upload), PacketFile("upload"));
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
    EXPECT_EQ(RenderControlChars(PacketFile("init")),
              "<fs>REQ=INI<cr>\r\nOMAV=3.02<cr>\r\n<rs>CRC=47292<cr>\r\n<gs>");
}

}  // namespace
