#pragma once

// Who may connect to a listener on a lab network: addresses and networks
// (ADDR[/PREFIX], IPv4 or IPv6). A connection from elsewhere is closed before
// a byte of it is read.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/HostLine.h"

struct TAllowRule {
    bool V6 = false;
    std::array<std::uint8_t, 16> Bytes{};
    unsigned Prefix = 0;  // leading bits that must match: 0 to 32, or 0 to 128 for IPv6
    std::string Text;     // as given, for the log
};

// ADDR or ADDR/PREFIX with a numeric IPv4 or IPv6 address; nothing when it is not one.
std::optional<TAllowRule> ParseAllowRule(const std::string& text);

// The rule's network holds Peer.
bool Allows(const TAllowRule& rule, const THostPeer& peer);

// The rules a listener on ListenAddress applies: Given ones (already checked
// with ParseAllowRule); none given: loopback clients only, and when the
// listener is not on loopback, Warning says so for the log.
std::vector<TAllowRule> AllowRulesFor(const std::string& listenAddress,
                                      const std::vector<std::string>& given, std::string& warning);

// Whether any rule allows Peer (an unknown peer never is).
bool Allowed(const std::vector<TAllowRule>& rules, const THostPeer& peer);
