#include "tests/win32/HubClient.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace {

std::string Hex(const std::string& bytes) {
    static const char Digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += Digits[c >> 4];
        hex += Digits[c & 15];
    }
    return hex;
}

std::string Unhex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

}  // namespace

std::string HubPortName(int number) {
    return "COM" + std::to_string(number);
}

THubClient::THubClient() : FSocket(INVALID_SOCKET) {
    const char* port = std::getenv("TREVALON_PTY_HUB");
    if (!port || !*port)
        throw std::runtime_error(
            "TREVALON_PTY_HUB is not set: run the Windows tests through scripts/test-windows.sh, "
            "which maps COM20..COM27 to pseudo-terminals (no real COM port is ever opened)");
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("WSAStartup failed");
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(std::atoi(port)));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (s == INVALID_SOCKET ||
        connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (s != INVALID_SOCKET) closesocket(s);
        throw std::runtime_error(std::string("cannot reach the pty hub on port ") + port);
    }
    FSocket = s;
}

THubClient::~THubClient() {
    if (FSocket != INVALID_SOCKET) closesocket(static_cast<SOCKET>(FSocket));
}

std::string THubClient::Command(const std::string& line) {
    const std::string out = line + "\n";
    size_t sent = 0;
    while (sent < out.size()) {
        const int n = send(static_cast<SOCKET>(FSocket), out.data() + sent,
                           static_cast<int>(out.size() - sent), 0);
        if (n <= 0) throw std::runtime_error("pty hub: send failed");
        sent += static_cast<size_t>(n);
    }
    for (;;) {
        const size_t end = FPending.find('\n');
        if (end != std::string::npos) {
            std::string reply = FPending.substr(0, end);
            FPending.erase(0, end + 1);
            if (reply.rfind("ERR", 0) == 0) throw std::runtime_error("pty hub: " + reply);
            return reply;
        }
        char buffer[4096];
        const int n = recv(static_cast<SOCKET>(FSocket), buffer, sizeof buffer, 0);
        if (n <= 0) throw std::runtime_error("pty hub: connection lost");
        FPending.append(buffer, static_cast<size_t>(n));
    }
}

void THubClient::Plug(int port) {
    Command("PLUG " + std::to_string(port));
}

void THubClient::Unplug(int port) {
    Command("UNPLUG " + std::to_string(port));
}

void THubClient::Write(int port, const std::string& bytes) {
    Command("WRITE " + std::to_string(port) + " " + Hex(bytes));
}

std::string THubClient::Read(int port, size_t count, std::chrono::milliseconds timeout) {
    const std::string reply = Command("READ " + std::to_string(port) + " " +
                                      std::to_string(count) + " " +
                                      std::to_string(timeout.count()));
    return Unhex(reply.size() > 5 ? reply.substr(5) : std::string());
}

int THubClient::InputQueue(int port) {
    return std::stoi(Command("INQ " + std::to_string(port)));
}

void THubClient::Flood(int port, size_t count) {
    Command("FLOOD " + std::to_string(port) + " " + std::to_string(count));
}

THubLine THubClient::Line(int port) {
    std::istringstream words(Command("LINE " + std::to_string(port)));
    std::string tag;
    THubLine line;
    int bits[7] = {};
    words >> tag >> line.Baud >> line.DataBits;
    for (int& b : bits) words >> b;
    line.ParityOn = bits[0];
    line.ParityOdd = bits[1];
    line.MarkOrSpace = bits[2];
    line.TwoStopBits = bits[3];
    line.RtsCts = bits[4];
    line.XonOut = bits[5];
    line.XonIn = bits[6];
    return line;
}
