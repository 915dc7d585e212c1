#pragma once

// What a port name asks for: a serial port, or a host on the network named by
// a URL (socket://HOST:PORT for raw TCP, rfc2217://HOST:PORT for a device
// server speaking Telnet COM port control). Pure: no lookup, no I/O.

#include <cstdint>
#include <string>
#include <string_view>

enum TLinkKind : std::uint8_t { lkSerial, lkSocket, lkRfc2217 };

struct TLinkName {
    TLinkKind Kind = lkSerial;
    std::string Host;        // a name, an IPv4 address, or an IPv6 address without brackets
    std::uint16_t Port = 0;  // 1..65535 for a network name
    std::string Error;       // a network URL that cannot be used: why (Host and Port then unset)
};

// Reads Name. A name starting with "socket://" or "rfc2217://" (any letter
// case) is a network name; a malformed one keeps its kind and says why in
// Error. Anything else is a serial port.
TLinkName ParseLinkName(std::string_view name);

bool IsNetworkPort(std::string_view name);

// Why Name can name no port at all, or empty: a URL of another scheme
// ("http://...") or a network URL that cannot be used.
std::string PortNameFault(std::string_view name);

// "HOST:PORT" as the operator wrote it, IPv6 in brackets: for messages.
std::string NetAddressText(const TLinkName& name);
