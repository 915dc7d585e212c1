// The owner's thread of a serial port as the program has it: a thread
// running a Qt event loop.
#pragma once

#include <memory>

#include "serial/ComHandOff.h"

// Runs posted tasks on the thread that calls this, from its Qt event loop.
// Tasks still queued when the last reference goes are dropped.
std::shared_ptr<TComOwnerThread> NewQtComOwnerThread();
