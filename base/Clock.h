#pragma once

// The clocks the program reads: a monotonic millisecond tick count for reply
// timeouts, the stale-reply rule and transcripts, and the local time of day
// that stamps the communication log. ClockPosix.cpp and ClockWin32.cpp hold
// the local time's halves.

#include <cstdint>

struct TTimeOfDay {
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Millisecond = 0;
};

// Milliseconds of a monotonic clock; wraps at 2^32, so compare differences.
std::uint32_t MonotonicMs();

// The local time of day now.
TTimeOfDay LocalTimeOfDay();
