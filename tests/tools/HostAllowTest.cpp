// The listener's allow list: addresses and networks as written, matched
// against peers given as bytes.

#include <gtest/gtest.h>

#include "tools/HostAllow.h"
#include "tools/HostOptions.h"

namespace allowtest {

THostPeer V4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    THostPeer peer;
    peer.Known = true;
    peer.Bytes = {a, b, c, d};
    return peer;
}

THostPeer V6(std::array<std::uint8_t, 16> bytes) {
    THostPeer peer;
    peer.Known = true;
    peer.V6 = true;
    peer.Bytes = bytes;
    return peer;
}

TEST(HostAllowTest, MatchesAddressesAndNetworksByTheirLeadingBits) {
    struct {
        const char* Rule;
        THostPeer Peer;
        bool Allowed;
    } rows[] = {
        {"127.0.0.1", V4(127, 0, 0, 1), true},
        {"127.0.0.1", V4(127, 0, 0, 2), false},
        {"192.168.10.0/24", V4(192, 168, 10, 77), true},
        {"192.168.10.0/24", V4(192, 168, 11, 77), false},
        {"10.0.0.0/9", V4(10, 127, 255, 255), true},
        {"10.0.0.0/9", V4(10, 128, 0, 0), false},
        {"0.0.0.0/0", V4(8, 8, 8, 8), true},
        {"0.0.0.0/0", V6({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}), false},
        {"::1", V6({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}), true},
        {"[::1]", V6({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}), true},
        {"::1", V4(127, 0, 0, 1), false},
        {"fd00:ab::/32", V6({0xfd, 0, 0, 0xab, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9}), true},
        {"fd00:ab::/32", V6({0xfd, 0, 0, 0xac, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9}), false},
        {"1:2:3:4:5:6:7:8", V6({0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 8}), true},
        {"::ffff:192.168.1.9", V4(192, 168, 1, 9), true},
        {"::ffff:192.168.1.0/120", V4(192, 168, 1, 200), true},
    };
    for (const auto& row : rows) {
        const auto rule = ParseAllowRule(row.Rule);
        ASSERT_TRUE(rule.has_value()) << row.Rule;
        EXPECT_EQ(Allows(*rule, row.Peer), row.Allowed) << row.Rule;
    }
    THostPeer unknown;
    EXPECT_FALSE(Allows(*ParseAllowRule("0.0.0.0/0"), unknown));
}

TEST(HostAllowTest, RefusesWhatIsNotANumericAddress) {
    for (const char* text :
         {"", "localhost", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4/33", "1.2.3.4/", "1.2.3.4/x",
          "::1/129", "1:::2", "1::2::3", "12345::1", "1:2:3:4:5:6:7:8:9", "g::1", "1.2.3.-4"}) {
        EXPECT_FALSE(ParseAllowRule(text).has_value()) << text;
    }
    try {
        ParseHostOptions({"--jobs", "/j", "--listen", "0", "--allow", "lab-pc"});
        ADD_FAILURE() << "a name was taken";
    } catch (const EUsage& e) {
        EXPECT_STREQ(e.what(),
                     "--allow needs a numeric address with an optional /PREFIX, not 'lab-pc'");
    }
    EXPECT_EQ(ParseHostOptions(
                  {"--jobs", "/j", "--listen", "0", "--allow", "10.1.0.0/16", "--allow", "::1"})
                  .Allow,
              (std::vector<std::string>{"10.1.0.0/16", "::1"}));
}

TEST(HostAllowTest, WithoutAListOnlyLoopbackIsServedAndOffLoopbackThatIsSaid) {
    std::string warning;
    auto rules = AllowRulesFor("0.0.0.0", {}, warning);
    EXPECT_EQ(warning,
              "no --allow given: only clients on this computer (loopback) are served on 0.0.0.0");
    EXPECT_TRUE(Allowed(rules, V4(127, 0, 0, 1)));
    EXPECT_TRUE(Allowed(rules, V6({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1})));
    EXPECT_FALSE(Allowed(rules, V4(192, 168, 1, 2)));

    warning.clear();
    rules = AllowRulesFor("127.0.0.1", {}, warning);
    EXPECT_EQ(warning, "");
    EXPECT_TRUE(Allowed(rules, V4(127, 0, 0, 2)));

    rules = AllowRulesFor("0.0.0.0", {"192.168.1.0/24"}, warning);
    EXPECT_EQ(warning, "");
    EXPECT_TRUE(Allowed(rules, V4(192, 168, 1, 2)));
    EXPECT_FALSE(Allowed(rules, V4(127, 0, 0, 1)));
}

}  // namespace allowtest
