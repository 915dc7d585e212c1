#pragma once

// Serving a lab: every line given and every connection a listener takes, all
// at once, each by a session of its own on a thread of its own, so that no
// device waits for another. Sessions share the job store and its tray locks;
// a client that misbehaves or vanishes ends its own session only.

#include <memory>
#include <string>
#include <vector>

#include "tools/HostLine.h"
#include "tools/HostOptions.h"
#include "tools/JobFile.h"

// Serves Lines and, when given, Listener's clients until a signal or
// RequestStop, the program's idle limit, or (without a listener) the end of
// every line; a session that reaches the exchange limit stops them all.
// Returns the program's exit code.
int ServeLab(const THostOptions& options, TJobStore& jobs, THostLog& log,
             std::vector<std::unique_ptr<THostLine>> lines, THostListener* listener);

// How a session ended, for its summary line.
std::string SessionEndText(const TLineEnd& end, bool lineBroken);
