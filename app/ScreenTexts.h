#pragma once

// Texts that reach the screen as single-byte strings from the layers below
// the window (the conversation, job files, shapes, links, ports, the host
// search), which know no Qt and stay English. The window turns them into the
// operator's language where it shows them: status panels, the picture's
// message, message boxes. One table holds them: exact texts, and patterns
// whose %1, %2, ... stand for the parts that vary (a job number, a file
// name, a system's reason), which are carried over unchanged.

#include <QString>
#include <string>
#include <vector>

// Text in the operator's language; a text the table does not know, as it came.
QString ScreenText(const std::string& text);

// The table's source texts, as lupdate sees them (for tests).
std::vector<std::string> ScreenTextSources();
