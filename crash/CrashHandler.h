#pragma once

// Records a fatal failure of this process (a fatal signal, std::terminate, an
// exception nothing handled) as a dump in a folder prepared at start-up, so
// that the next start can turn it into a readable report (see DumpReport.h).
// The handlers do only async-signal-safe work and then let the process die of
// the same signal, so its exit status still says it crashed.

#include <string>

// Prepares this process's dump file in Folder (created when missing), then
// installs the handlers: fatal signals on an alternate stack (a stack
// overflow is recorded too) and std::terminate. Version goes into every dump.
// Returns false and installs nothing when the folder cannot be written, or
// when another tool (a sanitizer runtime) already handles fatal signals.
// Call once, early, on the main thread.
bool InstallCrashHandler(const std::string& folder, const std::string& version);

// True while the handlers are installed.
bool CrashHandlerInstalled();

// Puts the previous handlers back and removes the empty dump file; for an
// ordinary end of the program.
void RemoveCrashHandler();

// Call from a catch block: records the exception being handled as escaping
// Where (written as given), then ends the process as std::terminate does.
[[noreturn]] void DieOfEscapedException(const char* where);
