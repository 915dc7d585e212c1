#pragma once

// What the program says about itself: the answers to --help and --version,
// which need no display, and the About box with the version and licence.

#include <optional>

class QWidget;

// Answers --help (-h) and --version wherever they stand before "--": prints
// to standard output and returns the exit status. Returns nothing otherwise,
// so the program starts as usual.
std::optional<int> AnswerInfoOption(int argc, char** argv);

// Refuses what is left of the command line once Qt has taken its own options
// out: any other option, or a second file. Says why on standard error with
// the usage line and returns the exit status 2; nothing when all is well.
std::optional<int> RefuseUnknownArguments(int argc, char** argv);

// The About box: version, copyright, licence and where the licence texts of
// the program and its libraries are.
void ShowAbout(QWidget* parent);
