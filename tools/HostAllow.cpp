#include "tools/HostAllow.h"

#include <algorithm>
#include <charconv>

namespace {

// A decimal number of up to Digits digits, no more than Max.
std::optional<unsigned> Number(const std::string& text, unsigned max, int base = 10) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || text.size() > (base == 10 ? 3u : 4u) || error != std::errc() ||
        end != text.data() + text.size() || value > max)
        return std::nullopt;
    return value;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const auto end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

bool ReadV4(const std::string& text, std::uint8_t* bytes) {
    const auto parts = Split(text, '.');
    if (parts.size() != 4) return false;
    for (std::size_t i = 0; i < 4; ++i) {
        const auto value = Number(parts[i], 255);
        if (!value) return false;
        bytes[i] = static_cast<std::uint8_t>(*value);
    }
    return true;
}

// Eight groups of hex digits, "::" standing for a run of zero groups once,
// the last 32 bits optionally written as IPv4.
bool ReadV6(const std::string& text, std::array<std::uint8_t, 16>& bytes) {
    std::vector<std::uint16_t> head;
    std::vector<std::uint16_t> tail;
    const auto gap = text.find("::");
    if (gap != std::string::npos && text.find("::", gap + 1) != std::string::npos) return false;
    const auto read = [](const std::string& part, std::vector<std::uint16_t>& groups, bool last) {
        if (part.empty()) return true;
        const auto fields = Split(part, ':');
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (last && i + 1 == fields.size() && fields[i].find('.') != std::string::npos) {
                std::uint8_t v4[4];
                if (!ReadV4(fields[i], v4)) return false;
                groups.push_back(static_cast<std::uint16_t>(v4[0] << 8 | v4[1]));
                groups.push_back(static_cast<std::uint16_t>(v4[2] << 8 | v4[3]));
                continue;
            }
            const auto value = Number(fields[i], 0xFFFF, 16);
            if (!value) return false;
            groups.push_back(static_cast<std::uint16_t>(*value));
        }
        return true;
    };
    if (gap == std::string::npos) {
        if (!read(text, head, true) || head.size() != 8) return false;
    } else {
        if (!read(text.substr(0, gap), head, false) || !read(text.substr(gap + 2), tail, true) ||
            head.size() + tail.size() > 7)
            return false;
        head.resize(8 - tail.size(), 0);
        head.insert(head.end(), tail.begin(), tail.end());
    }
    for (std::size_t i = 0; i < 8; ++i) {
        bytes[2 * i] = static_cast<std::uint8_t>(head[i] >> 8);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(head[i] & 0xFF);
    }
    return true;
}

bool IsLoopback(const TAllowRule& address) {
    if (!address.V6) return address.Bytes[0] == 127;
    static constexpr std::array<std::uint8_t, 16> One = {0, 0, 0, 0, 0, 0, 0, 0,
                                                         0, 0, 0, 0, 0, 0, 0, 1};
    return address.Bytes == One;
}

}  // namespace

std::optional<TAllowRule> ParseAllowRule(const std::string& text) {
    TAllowRule rule;
    rule.Text = text;
    const auto slash = text.find('/');
    std::string address = text.substr(0, slash);
    if (address.size() >= 2 && address.front() == '[' && address.back() == ']')
        address = address.substr(1, address.size() - 2);
    rule.V6 = address.find(':') != std::string::npos;
    if (rule.V6 ? !ReadV6(address, rule.Bytes) : !ReadV4(address, rule.Bytes.data()))
        return std::nullopt;
    const unsigned bits = rule.V6 ? 128 : 32;
    rule.Prefix = bits;
    if (slash != std::string::npos) {
        const auto prefix = Number(text.substr(slash + 1), bits);
        if (!prefix) return std::nullopt;
        rule.Prefix = *prefix;
    }
    // An IPv4-mapped IPv6 rule is the IPv4 rule it maps, as peers are read that way.
    static constexpr std::array<std::uint8_t, 12> Mapped = {0, 0, 0, 0, 0,    0,
                                                            0, 0, 0, 0, 0xFF, 0xFF};
    if (rule.V6 && rule.Prefix >= 96 &&
        std::equal(Mapped.begin(), Mapped.end(), rule.Bytes.begin())) {
        std::copy(rule.Bytes.begin() + 12, rule.Bytes.end(), rule.Bytes.begin());
        std::fill(rule.Bytes.begin() + 4, rule.Bytes.end(), 0);
        rule.V6 = false;
        rule.Prefix -= 96;
    }
    return rule;
}

bool Allows(const TAllowRule& rule, const THostPeer& peer) {
    if (!peer.Known || peer.V6 != rule.V6) return false;
    for (unsigned bit = 0; bit < rule.Prefix; ++bit) {
        const unsigned mask = 0x80u >> (bit % 8);
        if ((rule.Bytes[bit / 8] & mask) != (peer.Bytes[bit / 8] & mask)) return false;
    }
    return true;
}

std::vector<TAllowRule> AllowRulesFor(const std::string& listenAddress,
                                      const std::vector<std::string>& given, std::string& warning) {
    std::vector<TAllowRule> rules;
    for (const std::string& text : given)
        if (auto rule = ParseAllowRule(text)) rules.push_back(*rule);
    if (!rules.empty()) return rules;
    rules = {*ParseAllowRule("127.0.0.0/8"), *ParseAllowRule("::1")};
    const auto listening = ParseAllowRule(listenAddress);
    if (listening && IsLoopback(*listening)) return rules;
    warning =
        "no --allow given: only clients on this computer (loopback) are served on " + listenAddress;
    return rules;
}

bool Allowed(const std::vector<TAllowRule>& rules, const THostPeer& peer) {
    return std::any_of(rules.begin(), rules.end(),
                       [&](const TAllowRule& rule) { return Allows(rule, peer); });
}
