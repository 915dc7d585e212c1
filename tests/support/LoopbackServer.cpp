#include "tests/support/LoopbackServer.h"

#include <algorithm>
#include <thread>

std::string TLoopbackServer::ReadBytes(std::size_t count, std::chrono::milliseconds timeout) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (got.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !ClientReadable(left)) break;
        char buffer[4096];
        const long n = Receive(buffer, std::min(sizeof buffer, count - got.size()));
        if (n <= 0) break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

void TLoopbackServer::FillBacklog(int count) {
    for (int i = 0; i < count; ++i) FFillers.push_back(ConnectWithoutWaiting());
    // The fillers' handshakes settle in the queue.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}
