// Port names: which are network URLs, and what host and port they name.
#include <gtest/gtest.h>

#include "link/LinkName.h"

namespace {

struct TNameCase {
    const char* Name;
    TLinkKind Kind;
    const char* Host;
    std::uint16_t Port;
    bool Bad;
};

void PrintTo(const TNameCase& c, std::ostream* out) { *out << c.Name; }

class TLinkNameTest : public ::testing::TestWithParam<TNameCase> {};

TEST_P(TLinkNameTest, ReadsTheName) {
    const TNameCase& c = GetParam();
    const TLinkName name = ParseLinkName(c.Name);
    EXPECT_EQ(name.Kind, c.Kind);
    EXPECT_EQ(!name.Error.empty(), c.Bad) << name.Error;
    if (!c.Bad) {
        EXPECT_EQ(name.Host, c.Host);
        EXPECT_EQ(name.Port, c.Port);
    } else {
        EXPECT_EQ(name.Error.rfind("Not a network address: ", 0), 0u) << name.Error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, TLinkNameTest,
    ::testing::Values(
        // Serial ports stay serial ports, whatever they look like.
        TNameCase{"COM1", lkSerial, "", 0, false},
        TNameCase{"/dev/ttyUSB0", lkSerial, "", 0, false},
        TNameCase{"ttyACM0", lkSerial, "", 0, false},
        TNameCase{"", lkSerial, "", 0, false},
        TNameCase{"socket:/host:1", lkSerial, "", 0, false},
        TNameCase{"tcp://host:1", lkSerial, "", 0, false},
        // Network URLs: names, IPv4, bracketed IPv6, any letter case of the scheme.
        TNameCase{"socket://127.0.0.1:4001", lkSocket, "127.0.0.1", 4001, false},
        TNameCase{"socket://lab-host.example:23", lkSocket, "lab-host.example", 23, false},
        TNameCase{"SOCKET://localhost:65535", lkSocket, "localhost", 65535, false},
        TNameCase{"rfc2217://[::1]:7000", lkRfc2217, "::1", 7000, false},
        TNameCase{"RFC2217://[fe80::1%eth0]:1", lkRfc2217, "fe80::1%eth0", 1, false},
        TNameCase{"rfc2217://10.0.0.5:2001/", lkRfc2217, "10.0.0.5", 2001, false},
        TNameCase{"socket://[::ffff:127.0.0.1]:80", lkSocket, "::ffff:127.0.0.1", 80, false},
        // Malformed URLs keep their kind and say why, never falling back to a device.
        TNameCase{"socket://host", lkSocket, "", 0, true},
        TNameCase{"socket://host:", lkSocket, "", 0, true},
        TNameCase{"socket://:4001", lkSocket, "", 0, true},
        TNameCase{"socket://host:0", lkSocket, "", 0, true},
        TNameCase{"socket://host:65536", lkSocket, "", 0, true},
        TNameCase{"socket://host:123456", lkSocket, "", 0, true},
        TNameCase{"socket://host:4x", lkSocket, "", 0, true},
        TNameCase{"socket://host:-1", lkSocket, "", 0, true},
        TNameCase{"socket://::1:4001", lkSocket, "", 0, true},
        TNameCase{"rfc2217://[::1:4001", lkRfc2217, "", 0, true},
        TNameCase{"rfc2217://[::1]4001", lkRfc2217, "", 0, true},
        TNameCase{"rfc2217://[host]:4001", lkRfc2217, "", 0, true},
        TNameCase{"socket://a b:1", lkSocket, "", 0, true},
        TNameCase{"socket://host:1/path", lkSocket, "", 0, true}));

TEST(LinkNameText, BracketsIpv6ForMessages) {
    EXPECT_EQ(NetAddressText(ParseLinkName("rfc2217://[::1]:7000")), "[::1]:7000");
    EXPECT_EQ(NetAddressText(ParseLinkName("socket://127.0.0.1:5")), "127.0.0.1:5");
    EXPECT_TRUE(IsNetworkPort("socket://h:1"));
    EXPECT_TRUE(IsNetworkPort("socket://h"));  // a bad URL is no device name either
    EXPECT_FALSE(IsNetworkPort("COM3"));
}

// A name that cannot be a port at all is said so before anything is opened;
// serial names, device paths and good URLs have no fault.
TEST(LinkNameText, NamesThatCanBeNoPortSayWhy) {
    const std::string schemes = " (a network host is socket://HOST:PORT or rfc2217://HOST:PORT)";
    EXPECT_EQ(PortNameFault("http://127.0.0.1:80"), "unknown scheme http://" + schemes);
    EXPECT_EQ(PortNameFault("tcp://h:1"), "unknown scheme tcp://" + schemes);
    EXPECT_EQ(PortNameFault("rfc2217://[::1]"), "Not a network address: rfc2217://[::1] (no port)");
    for (const char* good : {"COM7", "ttyUSB0", "/dev/serial/by-id/a://b", "socket://h:1",
                             "RFC2217://[::1]:4001", ""})
        EXPECT_EQ(PortNameFault(good), "") << good;
}

}  // namespace
