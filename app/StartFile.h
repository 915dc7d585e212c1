#pragma once

// A job file named on the command line (`trevalon FILE`, and the desktop's
// "open with" for .oma files) is opened as Open Job File opens it.

#include <QString>
#include <QStringList>

class TForm1;

// The file named by the arguments (program name first): the first argument
// that is not an option; after "--" every argument is a file name. Empty when
// none is named.
QString StartFileArgument(const QStringList& arguments);

// Opens that file in the window once the messages already posted to it have
// been handled: the settings applied at start clear the received shape, so the
// file comes after them. A file that cannot be used is reported like a file
// chosen in Open Job File. Does nothing when no file is named.
void OpenStartFile(TForm1& form, const QStringList& arguments);
