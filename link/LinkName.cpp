#include "link/LinkName.h"

#include <algorithm>
#include <cctype>

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char p, char t) {
               return std::tolower(static_cast<unsigned char>(t)) == p;
           });
}

// Letters, digits, '-', '.' and '_' (some lab networks use it in names).
bool IsHostName(std::string_view host) {
    return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
    });
}

// Hex groups, colons, an embedded IPv4 tail, and a zone after '%' (fe80::1%eth0).
bool IsIpv6Text(std::string_view host) {
    const std::size_t zone = host.find('%');
    const std::string_view address = host.substr(0, zone);
    if (address.find(':') == std::string_view::npos) return false;
    if (!std::all_of(address.begin(), address.end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
        }))
        return false;
    if (zone == std::string_view::npos) return true;
    const std::string_view scope = host.substr(zone + 1);
    return !scope.empty() && std::all_of(scope.begin(), scope.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.';
    });
}

TLinkName Bad(TLinkKind kind, std::string_view name, const std::string& why) {
    TLinkName result;
    result.Kind = kind;
    result.Error = "Not a network address: " + std::string(name) + " (" + why + ")";
    return result;
}

}  // namespace

TLinkName ParseLinkName(std::string_view name) {
    TLinkName result;
    std::string_view rest;
    if (StartsWithNoCase(name, "socket://")) {
        result.Kind = lkSocket;
        rest = name.substr(9);
    } else if (StartsWithNoCase(name, "rfc2217://")) {
        result.Kind = lkRfc2217;
        rest = name.substr(10);
    } else {
        return result;
    }
    // A trailing slash is what a URL often ends with; nothing else may follow the port.
    if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);

    std::string_view host;
    std::string_view port;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) return Bad(result.Kind, name, "no closing bracket");
        host = rest.substr(1, close - 1);
        if (!IsIpv6Text(host)) return Bad(result.Kind, name, "not an IPv6 address in brackets");
        rest.remove_prefix(close + 1);
        if (rest.empty() || rest.front() != ':') return Bad(result.Kind, name, "no port");
        port = rest.substr(1);
    } else {
        const std::size_t colon = rest.rfind(':');
        if (colon == std::string_view::npos) return Bad(result.Kind, name, "no port");
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (host.find(':') != std::string_view::npos)
            return Bad(result.Kind, name, "an IPv6 address goes in brackets");
        if (!IsHostName(host)) return Bad(result.Kind, name, "no host name");
    }
    if (port.empty() || port.size() > 5 ||
        !std::all_of(port.begin(), port.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        return Bad(result.Kind, name, "the port must be a number from 1 to 65535");
    const unsigned long number = std::stoul(std::string(port));
    if (number < 1 || number > 65535)
        return Bad(result.Kind, name, "the port must be a number from 1 to 65535");
    result.Host = std::string(host);
    result.Port = static_cast<std::uint16_t>(number);
    return result;
}

bool IsNetworkPort(std::string_view name) {
    return ParseLinkName(name).Kind != lkSerial;
}

std::string PortNameFault(std::string_view name) {
    const TLinkName parsed = ParseLinkName(name);
    if (parsed.Kind != lkSerial) return parsed.Error;
    const std::size_t scheme = name.find("://");
    if (scheme == std::string_view::npos || name.substr(0, 1) == "/") return {};
    return "unknown scheme " + std::string(name.substr(0, scheme + 3)) +
           " (a network host is socket://HOST:PORT or rfc2217://HOST:PORT)";
}

std::string NetAddressText(const TLinkName& name) {
    const bool v6 = name.Host.find(':') != std::string::npos;
    return (v6 ? "[" + name.Host + "]" : name.Host) + ":" + std::to_string(name.Port);
}
