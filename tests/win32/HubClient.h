// The Windows test programs' line to the far end of their COM ports.
//
// scripts/test-windows.sh maps COM20..COM27 of its Wine prefix to
// pseudo-terminals that tests/win32/pty_hub.py holds on the Linux side, and
// puts the hub's TCP port in TREVALON_PTY_HUB. Without it the tests fail
// rather than touch a COM port of the machine they run on.
//
//     THubClient Hub;                  // connects; throws when there is no hub
//     Hub.Plug(20);                    // a fresh device behind COM20
//     Hub.Write(20, "\x1cREQ=INI\r");  // bytes the port will receive
//     std::string Sent = Hub.Read(20, 5, 5s);
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

using namespace std::chrono_literals;

// The COM numbers the hub serves.
constexpr int FirstHubPort = 20;
constexpr int LastHubPort = 27;
std::string HubPortName(int number);  // "COM20"

struct THubLine {
    int Baud = 0;
    int DataBits = 0;
    bool ParityOn = false, ParityOdd = false, MarkOrSpace = false, TwoStopBits = false;
    bool RtsCts = false, XonOut = false, XonIn = false;
};

class THubClient {
public:
    THubClient();  // throws std::runtime_error with the reason
    ~THubClient();
    THubClient(const THubClient&) = delete;
    THubClient& operator=(const THubClient&) = delete;

    void Plug(int port);    // a fresh device (the old one is unplugged)
    void Unplug(int port);  // the far end goes away: the port sees a hang-up
    void Write(int port, const std::string& bytes);
    // Up to Count bytes the port sent, waiting at most Timeout.
    std::string Read(int port, size_t count, std::chrono::milliseconds timeout = 5s);
    // Bytes waiting in the device's input queue, not yet taken by the port.
    int InputQueue(int port);
    // Sends Count bytes in the background, in small pieces.
    void Flood(int port, size_t count);
    THubLine Line(int port);

private:
    std::string Command(const std::string& line);
    uintptr_t FSocket;
    std::string FPending;
};
