#include "app/ProgramInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char* const UsageLine = "Usage: trevalon [OPTION]... [FILE]\n";

const char* const Usage =
    R"(Usage: trevalon [OPTION]... [FILE]
Trevalon fetches the frame shape (trace) of a spectacle job from the optical
laboratory's host computer over a serial line or the network with the OMA
protocol, shows it with its box sizes, circumference and DBL, lets the
operator change them and stores the shape back to the host. Everything is done
in its window; the Help button opens the operator's guide.

FILE, an OMA job file (.oma), is opened at start as Open Job File on the
picture's menu opens it.

Options:
  -h, --help          show this help and exit
  --version           show the version and licence and exit
  --                  what follows is FILE, even when it starts with "-"
  -platform NAME      Qt's display platform (xcb, wayland, offscreen)
  -style NAME         Qt's widget style (Fusion, Windows)
  -display DISPLAY    the X display to use
Other options of Qt's own, such as -reverse or -qwindowgeometry, are accepted
too; any other option is refused.

Files:
  The settings file is trevalon.dat beside the program when that file exists
  or the folder is writable (a build or a portable copy), otherwise
  $XDG_CONFIG_HOME/trevalon/trevalon.dat (~/.config/trevalon/trevalon.dat).
  Crash reports go to $XDG_DATA_HOME/trevalon/crash-reports
  (~/.local/share/trevalon/crash-reports).

To try it without a lab host, start it without a settings file and choose
"Try with the sample host" in the tray field's menu (right-click the field);
trevalon-host(1) is that host, trevalon-cli(1) the command line.

Exit status:
  0  the window was closed
  2  the command line cannot be used
)";

const char* const Copyright = "Copyright (c) 2026 VORMIK and the Trevalon developers";

const char* const MitLicence =
    R"(Permission is hereby granted, free of charge, to any person obtaining a copy
of this software and associated documentation files (the "Software"), to deal
in the Software without restriction, including without limitation the rights
to use, copy, modify, merge, publish, distribute, sublicense, and/or sell
copies of the Software, and to permit persons to whom the Software is
furnished to do so, subject to the following conditions:

The above copyright notice and this permission notice shall be included in all
copies or substantial portions of the Software.

THE SOFTWARE IS PROVIDED "AS IS", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR
IMPLIED, INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF MERCHANTABILITY,
FITNESS FOR A PARTICULAR PURPOSE AND NONINFRINGEMENT. IN NO EVENT SHALL THE
AUTHORS OR COPYRIGHT HOLDERS BE LIABLE FOR ANY CLAIM, DAMAGES OR OTHER
LIABILITY, WHETHER IN AN ACTION OF CONTRACT, TORT OR OTHERWISE, ARISING FROM,
OUT OF OR IN CONNECTION WITH THE SOFTWARE OR THE USE OR OTHER DEALINGS IN THE
SOFTWARE.
)";

// Where the packages put the licence texts: a licenses folder beside the
// program (Windows), or the Debian copyright file of an installed program.
QString LicenceFolder() {
    const QDir programDir(QCoreApplication::applicationDirPath());
    for (const char* candidate : {"licenses", "../share/doc/trevalon/copyright"}) {
        const QFileInfo info(programDir.filePath(QString::fromLatin1(candidate)));
        if (info.exists()) return QDir::toNativeSeparators(info.canonicalFilePath());
    }
    return {};
}

}  // namespace

std::optional<int> AnswerInfoOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("trevalon %s\n%s\nLicence: MIT (see the LICENSE file or the About box).\n",
                        TREVALON_VERSION, Copyright);
            return 0;
        }
    }
    return std::nullopt;
}

std::optional<int> RefuseUnknownArguments(int argc, char** argv) {
    int files = 0;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (options && std::strcmp(argument, "--") == 0) {
            options = false;
            continue;
        }
        std::string fault;
        if (options && argument[0] == '-' && argument[1] != '\0')
            fault = std::string("unknown option ") + argument;
        else if (++files > 1)
            fault = std::string("one job file at most, not also ") + argument;
        if (!fault.empty()) {
            std::fprintf(stderr, "trevalon: %s\n%sTry 'trevalon --help'.\n", fault.c_str(), UsageLine);
            return 2;
        }
    }
    return std::nullopt;
}

void ShowAbout(QWidget* parent) {
    QString text = QCoreApplication::translate(
                       "TAbout",
                       "<p><b>Trevalon %1</b><br>Frame shape editor for OMA lab hosts</p>"
                       "<p>%2</p><p>Licensed under the MIT licence (below, under "
                       "<i>Show Details</i>).</p>"
                       "<p>Trevalon uses Qt %3 under the GNU LGPL version 3, PCRE2 under the "
                       "BSD licence and Boost under the Boost Software License.")
                       .arg(QString::fromLatin1(TREVALON_VERSION), QString::fromLatin1(Copyright),
                            QString::fromLatin1(qVersion()));
    const QString folder = LicenceFolder();
    if (!folder.isEmpty())
        text += QCoreApplication::translate("TAbout", " Their licence texts are in %1.")
                    .arg(folder.toHtmlEscaped());
    text += QStringLiteral("</p>");
    QMessageBox box(QMessageBox::Information,
                    QCoreApplication::translate("TAbout", "About Trevalon"), text, QMessageBox::Ok,
                    parent);
    box.setTextFormat(Qt::RichText);
    box.setDetailedText(QString::fromLatin1(Copyright) + QStringLiteral("\n\n") +
                        QString::fromLatin1(MitLicence));
    QPushButton* aboutQt =
        box.addButton(QCoreApplication::translate("TAbout", "About Qt"), QMessageBox::HelpRole);
    box.exec();
    if (box.clickedButton() == aboutQt) QMessageBox::aboutQt(parent);
}
