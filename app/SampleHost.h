#pragma once

// The sample host an installed program offers on its first start: the lab host
// simulator trevalon-host installed beside the program, serving the sample
// jobs installed with it. Jobs are copied to the user's data folder (jobs
// already there are kept, so a stored shape survives) and served on a line in
// that folder, which the settings then name. scripts/run.sh starts the
// simulator the same way in a build tree.

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

class QProcess;

// Where the simulator's line is and how it is asked for: one half per platform.
struct TSampleHostLine {
    bool Supported = false;
    QStringList Arguments;  // what trevalon-host is given for the line
    QString Port;           // the port name the settings use for it
    // Whether the simulator serves the line yet, given the text of its log.
    std::function<bool(const QString& log)> Ready;
    // A console program on Windows takes no polite request to end: it is killed.
    bool Killed = false;
    // Anything the platform sets on the process before it starts.
    std::function<void(QProcess&)> Prepare;
};
TSampleHostLine SampleHostLine(const QString& folder);

class ESampleHost : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TSampleHost {
public:
    // The installed simulator and samples of ProgramFile, in a data Folder.
    TSampleHost(QString program, QString samples, QString folder);
    // Stops the simulator.
    ~TSampleHost();
    TSampleHost(const TSampleHost&) = delete;
    TSampleHost& operator=(const TSampleHost&) = delete;

    // The sample host of the program file: trevalon-host beside it (or in a
    // build tree's tools/) and the samples in ../share/trevalon/samples,
    // samples/ beside it, or a build tree's samples/; the data folder is the
    // user's. Null when the program has no simulator or samples or the
    // platform cannot serve them yet.
    static std::unique_ptr<TSampleHost> Find(const std::string& programFile);

    // The port name the settings use for the sample host.
    QString Port() const { return FLine.Port; }
    QString Folder() const { return FFolder; }
    bool Running() const;
    // Starts the simulator when it is not running and waits until it serves
    // its line (a few seconds at most). Throws ESampleHost with the
    // operator's text, the simulator's own message included.
    void Start();
    // Ends the simulator (it removes its line) and waits for it.
    void Stop();

private:
    QString FProgram;
    QString FSamples;
    QString FFolder;
    TSampleHostLine FLine;
    std::unique_ptr<QProcess> FProcess;
};
