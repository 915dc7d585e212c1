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
    // Every length and alignment around the sixteen-byte blocks.
    for (std::size_t from = 0; from < 17; ++from)
        for (std::size_t length = 0; from + length <= 80; ++length)
            EXPECT_EQ(OmaCRC16(std::string_view(all).substr(from + 100, length)),
                      reference(all.substr(from + 100, length)))
                << from << " " << length;
}

TEST(OmaCRC16, LongDataAsTheBitwiseReferenceHasIt) {
    // Long data takes another path than short (folding blocks on processors
    // that multiply without carries): every length and alignment around its
    // blocks, and a reply's size, against the CRC computed bit by bit.
    auto reference = [](std::string_view data) {
        unsigned reg = 0;
        for (unsigned char b : data) {
            reg ^= unsigned{b} << 8;
            for (int i = 0; i < 8; ++i) reg = (reg & 0x8000u) ? ((reg << 1) ^ 0x1021u) : reg << 1;
            reg &= 0xFFFFu;
        }
        return reg;
    };
    std::string data(1u << 20, '\0');
    std::uint32_t seed = 12345;
    for (char& c : data) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 24);
    }
    const std::string_view all(data);
    for (std::size_t from = 0; from < 17; from += 3)
        for (std::size_t length = 100; length <= 400; ++length)
            ASSERT_EQ(OmaCRC16(all.substr(from, length)), reference(all.substr(from, length)))
                << from << " " << length;
    EXPECT_EQ(OmaCRC16(all), reference(all));
    EXPECT_EQ(OmaCRC16(all.substr(7, 100000)), reference(all.substr(7, 100000)));
    EXPECT_EQ(OmaCRC16(std::string(4096, '\xFF')), reference(std::string(4096, '\xFF')));
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

// --- Checking a received packet's checksum -------------------------------------------

// The digits of the CRC record a golden file carries, read the plain way.
unsigned CarriedChecksum(const std::string& packet) {
    const std::size_t at = packet.rfind("CRC=");
    return static_cast<unsigned>(std::stoul(packet.substr(at + 4)));
}

TEST(CheckPacket, GoldenRepliesAndPacketsPass) {
    for (const char* name :
         {"init-fmt1", "edger-fmt4", "job-fmt1", "job-fmt2", "job-fmt3", "job-fmt4",
          "job-ellipse-fmt4-512", "grant-ok", "verdict-status-fault", "tracer-abc"}) {
        const std::string reply = ReplyFile(name);
        const TPacketCheck check = CheckPacket(reply);
        EXPECT_EQ(check.Kind, TPacketCheck::ckGood) << name;
        EXPECT_EQ(check.Expected, CarriedChecksum(reply)) << name;
        EXPECT_EQ(check.Received, "CRC=" + std::to_string(CarriedChecksum(reply))) << name;
    }
    for (const char* name : {"init", "edger-description", "upload-edited-fmt4-512"})
        EXPECT_EQ(CheckPacket(PacketFile(name)).Kind, TPacketCheck::ckGood) << name;
    // Leading zeros are the same number.
    EXPECT_EQ(CheckPacket(PacketFile("init-padded-crc")).Kind, TPacketCheck::ckGood);
    EXPECT_EQ(CheckPacket(Framed("ANS=INI\rSTATUS=0\r", " 23424 ")).Kind, TPacketCheck::ckGood);
    // Bytes after the packet's GS are not the packet's.
    EXPECT_EQ(CheckPacket(ReplyFile("init-fmt1") + "\x06").Kind, TPacketCheck::ckGood);
}

TEST(CheckPacket, AWrongOrUnreadableRecordIsDamage) {
    const TPacketCheck wrong = CheckPacket(PacketFile("init-wrong-crc"));
    EXPECT_EQ(wrong.Kind, TPacketCheck::ckBad);
    EXPECT_EQ(wrong.Expected, 47292);
    EXPECT_EQ(wrong.Received, "CRC=47293");
    // The example whose record does not match its records (27824 by the
    // independent framing script).
    const TPacketCheck example = CheckPacket(ReplyFile("example-init-crc0"));
    EXPECT_EQ(example.Kind, TPacketCheck::ckBad);
    EXPECT_EQ(example.Expected, 27824);
    const std::string body = "ANS=INI\rSTATUS=0\r";
    for (const char* record : {"", "x", "23424x", "-23424", "65536", "123456789012", "2342 4"})
        EXPECT_EQ(CheckPacket(Framed(body, record)).Kind, TPacketCheck::ckBad) << record;
    EXPECT_EQ(CheckPacket("\x1C"s + body + "\x1E" + "CRB=23424\r\x1D").Kind, TPacketCheck::ckBad);
    // An RS lost on the line leaves a checksum record without its separator.
    const TPacketCheck noRs = CheckPacket("\x1C"s + body + "\x1F" + "CRC=23424\r\x1D");
    EXPECT_EQ(noRs.Kind, TPacketCheck::ckBad);
    EXPECT_EQ(noRs.Expected, 23424);
    EXPECT_EQ(noRs.Received, "\x1F"s + "CRC=23424");
}

TEST(CheckPacket, APacketWithoutARecordCarriesNoChecksum) {
    for (const char* name : {"probe-no-checksum", "empty-no-checksum"})
        EXPECT_EQ(CheckPacket(PacketFile(name)).Kind, TPacketCheck::ckMissing) << name;
    EXPECT_EQ(CheckPacket("\x1C"s + "ANS=INI\rSTATUS=0\r\x1E\r\x1D").Kind, TPacketCheck::ckMissing);
    // Not a packet at all: nothing to check.
    EXPECT_EQ(CheckPacket("").Kind, TPacketCheck::ckMissing);
    EXPECT_EQ(CheckPacket("ANS=INI\x1D").Kind, TPacketCheck::ckMissing);
}

TEST(CheckPacket, EveryBitFlippedInTheCoveredBytesOrTheRecordIsCaught) {
    for (const char* name : {"init-fmt1", "edger-fmt3", "job-fmt1", "job-fmt4", "grant-abc"}) {
        const std::string reply = ReplyFile(name);
        const std::size_t rs = reply.rfind('\x1E');
        const std::size_t cr = reply.rfind('\r');
        // From the first record's first byte to the checksum's last digit.
        for (std::size_t at = 1; at < cr; ++at) {
            for (int bit = 0; bit < 8; ++bit) {
                std::string damaged = reply;
                damaged[at] = static_cast<char>(damaged[at] ^ (1 << bit));
                ASSERT_EQ(CheckPacket(damaged).Kind, TPacketCheck::ckBad)
                    << name << " byte " << at << " bit " << bit << (at > rs ? " (record)" : "");
            }
        }
    }
}

}  // namespace
