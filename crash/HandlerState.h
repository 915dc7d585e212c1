#pragma once

// What the fatal-failure handlers of every platform share: the names of the
// fatal signals, and the state a handler touches. Everything here is prepared
// at installation; the handlers only read it and fill fixed buffers, with no
// allocation and no locale, so it is safe inside a signal handler.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "crash/DumpText.h"

inline constexpr std::size_t MaxFrames = 128;

struct TSignalName {
    int Number;
    const char* Name;
    const char* Meaning;
};

// The fatal signals standard C defines, which every platform can raise; a
// platform adds its own (POSIX: SIGBUS) where it asks for an event text.
extern const TSignalName StandardSignalNames[4];

// The event line of a fatal signal, "signal 11 SIGSEGV (segmentation fault)",
// its name taken from More or the standard names; an unknown one is
// "signal <number>". Written into the shared state's event buffer.
const char* SignalEvent(int number, std::span<const TSignalName> more = {});

// The state of the one dump a process writes.
struct THandlerState {
    char Version[64];
    const void* Frames[MaxFrames + 1];
    char ExceptionType[256];
    char Message[1024];
    // Where an exception escaped, set just before the handler runs.
    char Where[256];
    char Event[64];
    // Whether the platform's handlers are in place (CrashHandlerInstalled).
    bool Installed;
};
extern THandlerState Handler;

// Sets the version every dump names and arms the claim below.
void ArmHandlerState(const std::string& version);

// Claims the one dump of this process for Thread (the platform's thread id).
// True for the first failing thread, which writes the dump; false for the
// writing thread failing again (its own abort after std::terminate), which
// just dies. Any other thread calls WaitForEnd, which waits for the writer to
// end the process and is not meant to return.
bool ClaimDump(std::uint64_t thread, void (*waitForEnd)());

// The facts of std::terminate's handler: the exception being handled and
// where it escaped, when known.
TCrashFacts TerminateFacts();
