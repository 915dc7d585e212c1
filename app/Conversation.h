#pragma once

// Pure parts of the conversation engine's receiving, testable without a window.

#include <cstddef>
#include <cstdint>
#include <string>

// A reply still without GS is dropped once the receive buffer holds more than
// this, so a device that floods the line cannot exhaust memory.
inline constexpr std::size_t MaxRxBuffer = std::size_t{1} << 20;

// A partial reply older than this (milliseconds) is dropped.
inline constexpr std::uint32_t RxStaleMs = 20000;

// Seconds a reply may take before the conversation ends with a timeout.
inline constexpr std::int32_t ReplyTimeoutSeconds = 15;

// Whether two readings of a 32-bit millisecond tick count lie more than Limit
// apart, in either direction, across the counter's wrap.
bool TicksApart(std::uint32_t now, std::uint32_t last, std::uint32_t limit);

// Removes every byte before the first FS from Buffer and returns them, in
// order. With no FS at all the whole buffer goes.
std::string DropBeforeFS(std::string& buffer);
