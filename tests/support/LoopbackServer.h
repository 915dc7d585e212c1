// A TCP server on 127.0.0.1 (or ::1) that a test plays byte for byte: it
// listens on a free port, accepts when asked, and reads and writes with
// deadlines, so a wrong or missing byte fails the test within seconds.
// LoopbackServer.cpp holds what every platform shares; LoopbackServerPosix.cpp
// and LoopbackServerWin32.cpp (Winsock) the socket calls.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class TLoopbackServer {
public:
    // Throws std::runtime_error when the address cannot be had (no IPv6 loopback).
    explicit TLoopbackServer(bool ipv6 = false, int backlog = 4);
    ~TLoopbackServer();
    TLoopbackServer(const TLoopbackServer&) = delete;
    TLoopbackServer& operator=(const TLoopbackServer&) = delete;

    std::uint16_t Port() const { return FPort; }

    // Accepts the next connection within Timeout; false when none came.
    bool Accept(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Reads until Count bytes came, the client closed, or Timeout passed.
    std::string ReadBytes(std::size_t count,
                          std::chrono::milliseconds timeout = std::chrono::seconds(5));
    bool WriteBytes(const std::string& bytes);
    void CloseClient();

    // Sends blocks of 64 KiB to the client as fast as it takes them until
    // Stop; Flooded counts the bytes sent. For a thread of its own.
    void Flood(const std::atomic<bool>& stop, std::atomic<std::size_t>& flooded);
    // Connects Count clients of our own that nobody accepts, so that with a
    // backlog of 0 further handshakes go unanswered; they go with the server.
    void FillBacklog(int count);

private:
    // The platform's part. Waits up to Timeout for the client's bytes; false
    // when none came or the wait failed.
    bool ClientReadable(std::chrono::milliseconds timeout) const;
    // Receives up to Size of the client's bytes: how many; 0 or less when the
    // client closed or the receive failed.
    long Receive(char* buffer, std::size_t size) const;
    // A client of our own connecting to Port without waiting for the handshake.
    std::intptr_t ConnectWithoutWaiting() const;

    std::intptr_t FListen = -1;
    std::intptr_t FClient = -1;
    std::vector<std::intptr_t> FFillers;
    std::uint16_t FPort = 0;
};
