// Test helpers for playing the far end of a serial line in-process.
//
//     TPtyHost Host;                           // a pty pair; the test holds the master
//     TComNameMap Names({{"COM5", Host.SlavePath()}});
//     TComPortHooks Hooks = Names.PortHooks(); // its "COM5" opens the slave
//     Hooks.OwnerThread = Owner;               // runs the deliveries
//     TComPort Port(Hooks);
//     Port.SetPort("COM5"); Port.SetActive(true);
//     Host.Write("\x1cREQ=INI\r");             // bytes the port will receive
//     std::string Sent = Host.Read(10);        // bytes the port wrote, with a deadline
#pragma once

#include <termios.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "serial/Comms.h"

using namespace std::chrono_literals;

// A pseudo-terminal pair: the slave is the "serial device" a port opens, the
// master is the far end the test plays. The helper keeps its own slave
// descriptor open (a device that stays plugged in) until CloseMaster.
class TPtyHost {
public:
    TPtyHost();  // throws std::runtime_error when no pty can be had
    ~TPtyHost();
    TPtyHost(const TPtyHost&) = delete;
    TPtyHost& operator=(const TPtyHost&) = delete;

    const std::string& SlavePath() const { return FSlavePath; }
    int MasterFd() const { return FMaster; }

    // Sends all of Bytes to the port; throws if they cannot be written in time.
    void Write(std::string_view bytes, std::chrono::milliseconds timeout = 5s);
    // Returns once Count bytes from the port have arrived or Timeout has
    // passed, with what arrived (possibly fewer).
    std::string Read(size_t count, std::chrono::milliseconds timeout = 5s);
    // Reads until Done(text so far) holds or Timeout passes.
    std::string ReadUntil(const std::function<bool(const std::string&)>& done,
                          std::chrono::milliseconds timeout = 5s);
    // Whatever the port has sent that is waiting now, without blocking.
    std::string ReadAvailable();

    // Bytes written by Write that wait in the device's input queue, not yet
    // taken by any reader (the port moves them to its own queue at once).
    size_t SlaveInputCount() const;

    // The line settings the port gave the device (tcgetattr through the master).
    termios LineSettings() const;

    // Unplugs the device: closes the far end (and the helper's slave
    // descriptor); a port on the slave sees a hang-up.
    void CloseMaster();

private:
    int FMaster = -1;
    int FSlave = -1;
    std::string FSlavePath;
};

// Port names for the ports of a test: each name given opens its path; any
// other name that is not itself a path opens a path that does not exist, so
// no test reaches the machine's own serial ports. Names added later count for
// hooks handed out earlier.
class TComNameMap {
public:
    explicit TComNameMap(std::map<std::string, std::string> names = {});
    void Add(const std::string& port, const std::string& path);
    // The path a port of this map opens for Port.
    std::string DevicePath(const std::string& port) const;
    // Hooks for a port that opens names through this map; its handler
    // failures go to Report (empty: standard error).
    TComPortHooks PortHooks(std::function<void(const std::string&)> report = {}) const;

private:
    std::shared_ptr<std::map<std::string, std::string>> FNames;
};

// Baud rate of a termios record as a number (0 when unknown).
int BaudRateOf(const termios& settings);
