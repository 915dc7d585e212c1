// Test helpers for code whose events arrive through a Qt event loop.
#pragma once

#include <chrono>
#include <functional>

#include "serial/Comms.h"

using namespace std::chrono_literals;

// Creates a QCoreApplication on the calling thread unless one exists.
void EnsureCoreApplication();

// Runs the calling thread's Qt event loop until Condition holds or Timeout
// passes; returns the final value of Condition.
bool ProcessEventsUntil(const std::function<bool()>& condition,
                        std::chrono::milliseconds timeout = 5s);

// Hooks with the calling thread's Qt event loop as the port's owner's thread.
TComPortHooks WithQtOwner(TComPortHooks hooks);
