// What the devices of both platforms share.
#include "serial/ComDevice.h"

#include <algorithm>
#include <chrono>
#include <thread>

void WaitForEmptyOutput(const std::function<int64_t()>& queued, uint32_t baud) {
    using namespace std::chrono;
    const int64_t first = queued();
    if (first <= 0) return;
    const int64_t needMs = first * 11 * 1000 / std::max<uint32_t>(baud, 50);
    const auto deadline = steady_clock::now() + std::min(milliseconds(2 * needMs + 100), milliseconds(5000));
    while (steady_clock::now() < deadline) {
        std::this_thread::sleep_for(milliseconds(2));
        if (queued() <= 0) return;
    }
}
