#include "link/Telnet.h"

namespace {

constexpr std::uint8_t Iac = 255;
constexpr std::uint8_t Dont = 254;
constexpr std::uint8_t Do = 253;
constexpr std::uint8_t Wont = 252;
constexpr std::uint8_t Will = 251;
constexpr std::uint8_t Sb = 250;
constexpr std::uint8_t Se = 240;

constexpr std::uint8_t OptBinary = 0;
constexpr std::uint8_t OptSuppressGoAhead = 3;
constexpr std::uint8_t OptComPort = 44;

// COM port control commands (the server answers each with the number + 100).
constexpr std::uint8_t CpSetBaudRate = 1;
constexpr std::uint8_t CpSetDataSize = 2;
constexpr std::uint8_t CpSetParity = 3;
constexpr std::uint8_t CpSetStopSize = 4;
constexpr std::uint8_t CpSetControl = 5;
constexpr std::uint8_t CpPurgeData = 12;
constexpr std::uint8_t CpServerOffset = 100;

constexpr std::size_t SubLimit = 256;  // longer subnegotiations are cut: none we read is longer

bool Test(const std::uint64_t* bits, std::uint8_t option) {
    return (bits[option / 64] >> (option % 64)) & 1u;
}
void Set(std::uint64_t* bits, std::uint8_t option, bool on) {
    const std::uint64_t mask = std::uint64_t{1} << (option % 64);
    bits[option / 64] = on ? bits[option / 64] | mask : bits[option / 64] & ~mask;
}

std::string Command(std::uint8_t verb, std::uint8_t option) {
    return {static_cast<char>(Iac), static_cast<char>(verb), static_cast<char>(option)};
}

// IAC SB COM-PORT-OPTION command value... IAC SE, with 0xFF in the value doubled.
std::string PortCommand(std::uint8_t command, std::string_view value) {
    std::string out = {static_cast<char>(Iac), static_cast<char>(Sb), static_cast<char>(OptComPort),
                       static_cast<char>(command)};
    out += TTelnetClient::Escape(value);
    out += static_cast<char>(Iac);
    out += static_cast<char>(Se);
    return out;
}

std::string Byte(std::uint8_t value) { return std::string(1, static_cast<char>(value)); }

const char* ParityName(TParityBits parity) {
    switch (parity) {
        case prOdd: return "Odd";
        case prEven: return "Even";
        case prMark: return "Mark";
        case prSpace: return "Space";
        default: return "None";
    }
}

}  // namespace

std::string TTelnetClient::Escape(std::string_view data) {
    std::string out;
    out.reserve(data.size());
    for (const char c : data) {
        out += c;
        if (static_cast<std::uint8_t>(c) == Iac) out += c;
    }
    return out;
}

std::string TTelnetClient::Start(const TTelnetLine& line) {
    FLine = line;
    FPortControl = pcOffered;
    // Asked for, not yet in force: an answer that agrees needs no reply.
    Set(FLocalAsked, OptBinary, true);
    Set(FLocalAsked, OptSuppressGoAhead, true);
    Set(FLocalAsked, OptComPort, true);
    Set(FRemoteAsked, OptBinary, true);
    Set(FRemoteAsked, OptSuppressGoAhead, true);
    return Command(Will, OptBinary) + Command(Do, OptBinary) + Command(Will, OptSuppressGoAhead) +
           Command(Do, OptSuppressGoAhead) + Command(Will, OptComPort);
}

std::string TTelnetClient::LineCommands() const {
    const std::uint32_t baud = FLine.BaudRate;
    const std::string baudBytes = {static_cast<char>(baud >> 24), static_cast<char>(baud >> 16),
                                   static_cast<char>(baud >> 8), static_cast<char>(baud)};
    const std::uint8_t parity = FLine.Parity == prOdd     ? 2
                                : FLine.Parity == prEven  ? 3
                                : FLine.Parity == prMark  ? 4
                                : FLine.Parity == prSpace ? 5
                                                          : 1;
    const std::uint8_t stop = FLine.StopBits == sbTwoStopBits    ? 2
                              : FLine.StopBits == sbOne5StopBits ? 3
                                                                 : 1;
    return PortCommand(CpSetBaudRate, baudBytes) + PortCommand(CpSetDataSize, Byte(FLine.DataBits)) +
           PortCommand(CpSetParity, Byte(parity)) + PortCommand(CpSetStopSize, Byte(stop)) +
           PortCommand(CpSetControl, Byte(1)) +  // no flow control
           PortCommand(CpPurgeData, Byte(3));    // both directions
}

void TTelnetClient::Option(std::uint8_t verb, std::uint8_t option, std::string& replies,
                           std::vector<std::string>& notes) {
    const bool ours = option == OptBinary || option == OptSuppressGoAhead || option == OptComPort;
    const bool theirs = option == OptBinary || option == OptSuppressGoAhead;
    switch (verb) {
        case Do:
            if (!ours) {
                replies += Command(Wont, option);
            } else if (!Test(FLocal, option)) {
                Set(FLocal, option, true);
                if (!Test(FLocalAsked, option)) replies += Command(Will, option);
                Set(FLocalAsked, option, false);
                if (option == OptComPort && FPortControl != pcAccepted) {
                    FPortControl = pcAccepted;
                    replies += LineCommands();
                    notes.push_back("The device server takes COM port control: " +
                                    std::to_string(FLine.BaudRate) + " baud, " +
                                    std::to_string(FLine.DataBits) + " data bits, parity " +
                                    ParityName(FLine.Parity) + ", stop bits " +
                                    (FLine.StopBits == sbTwoStopBits    ? "2"
                                     : FLine.StopBits == sbOne5StopBits ? "1.5"
                                                                        : "1"));
                }
            }
            break;
        case Dont:
            if (Test(FLocal, option)) replies += Command(Wont, option);
            Set(FLocal, option, false);
            Set(FLocalAsked, option, false);
            if (option == OptComPort && FPortControl == pcOffered) {
                FPortControl = pcRefused;
                notes.push_back(
                    "The device server refuses COM port control: the line settings are not "
                    "sent, and the line runs as the server has it");
            }
            break;
        case Will:
            if (!theirs) {
                replies += Command(Dont, option);
            } else if (!Test(FRemote, option)) {
                Set(FRemote, option, true);
                if (!Test(FRemoteAsked, option)) replies += Command(Do, option);
                Set(FRemoteAsked, option, false);
            }
            break;
        case Wont:
            if (Test(FRemote, option)) replies += Command(Dont, option);
            Set(FRemote, option, false);
            Set(FRemoteAsked, option, false);
            break;
        default:
            break;
    }
}

void TTelnetClient::Subnegotiation(std::vector<std::string>& notes) {
    if (FSub.size() < 2 || static_cast<std::uint8_t>(FSub[0]) != OptComPort) return;
    const std::uint8_t command = static_cast<std::uint8_t>(FSub[1]);
    // The server's acknowledgements are not waited for: some never send them.
    // A speed other than the one asked for is worth the log's while.
    if (command == CpServerOffset + CpSetBaudRate && FSub.size() == 6) {
        std::uint32_t baud = 0;
        for (std::size_t i = 2; i < 6; ++i) baud = baud << 8 | static_cast<std::uint8_t>(FSub[i]);
        if (baud != 0 && baud != FLine.BaudRate)
            notes.push_back("The device server runs the line at " + std::to_string(baud) +
                            " baud, not the " + std::to_string(FLine.BaudRate) + " asked for");
    }
    // NOTIFY-LINESTATE, NOTIFY-MODEMSTATE and the other answers are taken as they come.
}

std::string TTelnetClient::Feed(std::string_view bytes, std::string& replies,
                                std::vector<std::string>& notes) {
    std::string data;
    data.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        switch (FState) {
            case tsData:
                if (b == Iac) {
                    FState = tsIac;
                } else {
                    // Without binary mode a server sends CR as CR NUL.
                    if (!(b == 0 && FLastWasCr && !Test(FRemote, OptBinary))) data += c;
                    FLastWasCr = b == '\r';
                }
                break;
            case tsIac:
                if (b == Iac) {
                    data += c;
                    FLastWasCr = false;
                    FState = tsData;
                    break;
                }
                FHeardTelnet = true;
                if (b >= Will && b <= Dont) {
                    FVerb = b;
                    FState = tsOption;
                } else if (b == Sb) {
                    FSub.clear();
                    FState = tsSub;
                } else {
                    FState = tsData;  // NOP, GA, break and the like: nothing to do here
                }
                break;
            case tsOption:
                Option(FVerb, b, replies, notes);
                FState = tsData;
                break;
            case tsSub:
                if (b == Iac)
                    FState = tsSubIac;
                else if (FSub.size() < SubLimit)
                    FSub += c;
                break;
            case tsSubIac:
                if (b == Iac) {
                    if (FSub.size() < SubLimit) FSub += c;
                    FState = tsSub;
                } else if (b == Se) {
                    Subnegotiation(notes);
                    FState = tsData;
                } else {
                    // An unterminated subnegotiation: take what came and read the command.
                    Subnegotiation(notes);
                    FState = tsIac;
                    const std::string again(1, c);
                    data += Feed(again, replies, notes);
                }
                break;
        }
    }
    return data;
}
