#pragma once

// The client's side of Telnet with COM port control (RFC 854 and RFC 2217),
// as a function of its input: received bytes go in, the data bytes among them
// come out, with the answers the protocol asks for and notes for the log.
// No I/O and no clock: the link sends what it is given.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "serial/Comms.h"

struct TTelnetLine {
    std::uint32_t BaudRate = 9600;
    std::uint8_t DataBits = 8;
    TParityBits Parity = prNone;
    TStopBits StopBits = sbOneStopBit;
};

class TTelnetClient {
public:
    // What to send as the connection starts: the options we offer and ask
    // for (binary both ways, suppress go-ahead, COM port control).
    std::string Start(const TTelnetLine& line);
    // Takes received bytes; returns the data among them. Answers to send are
    // appended to Replies, notes for the log to Notes.
    std::string Feed(std::string_view bytes, std::string& replies, std::vector<std::string>& notes);
    // Data to send, with each 0xFF doubled.
    static std::string Escape(std::string_view data);

    // The server answered the offer of COM port control (either way).
    bool PortControlAnswered() const { return FPortControl != pcOffered; }
    bool PortControlAccepted() const { return FPortControl == pcAccepted; }
    // The server has sent a Telnet command of any kind: it speaks Telnet.
    bool HeardTelnet() const { return FHeardTelnet; }

private:
    enum TState : std::uint8_t { tsData, tsIac, tsOption, tsSub, tsSubIac };
    enum TPortControl : std::uint8_t { pcOffered, pcAccepted, pcRefused };

    void Option(std::uint8_t verb, std::uint8_t option, std::string& replies,
                std::vector<std::string>& notes);
    void Subnegotiation(std::vector<std::string>& notes);
    std::string LineCommands() const;

    TTelnetLine FLine;
    TState FState = tsData;
    std::uint8_t FVerb = 0;
    std::string FSub;
    bool FLastWasCr = false;
    TPortControl FPortControl = pcOffered;
    bool FHeardTelnet = false;
    // Options in force: ours (we WILL) and the server's (it WILL), by option number.
    std::uint64_t FLocal[4] = {};
    std::uint64_t FRemote[4] = {};
    // Options we offered or asked for and have no answer to yet.
    std::uint64_t FLocalAsked[4] = {};
    std::uint64_t FRemoteAsked[4] = {};
};
