#pragma once

// TLink: the line to the host as the conversation sees it. One implementation
// per kind of line (the serial port, a TCP connection); the port setting
// picks it (NewLink). The
// entries say what each must do; how is the implementation's affair.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "serial/Comms.h"

// The settings a link is opened with (the session reads them from the
// settings list: LinkSettingsFrom in conversation/Session.h).
// Kinds of link without line settings ignore all but Port.
struct TLinkSettings {
    std::string Port;
    std::int32_t BaudRate = 9600;
    TParityBits Parity = prNone;
    std::int32_t DataBits = 8;  // out of range: the device refuses it on open
    TStopBits StopBits = sbOneStopBit;
};

class TLink {
public:
    virtual ~TLink() = default;

    // Closes the link if open and opens it with Settings; throws with the
    // operator's text when it cannot be opened (the link then stays closed).
    virtual void Open(const TLinkSettings& settings) = 0;
    // Closes the link; nothing is delivered after it returns. Safe when closed.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Writes Bytes and waits until they have gone or the link's write time ran
    // out; returns how many went. Throws with the link's text when it fails,
    // and when it is closed.
    virtual std::int32_t Write(const std::string& bytes) = 0;
    // Takes up to Count of the received bytes waiting; never blocks.
    virtual std::string Read(std::int32_t count) = 0;

    // Called on the owner's thread whenever bytes have arrived, with how many
    // wait; the handler reads them with Read. Set before Open.
    std::function<void(std::int32_t count)> OnReceive;
    // Called on the owner's thread, once, when the far end ended the link
    // (a network host closing its connection), with the text that says so;
    // writes fail with that text from then on. Optional.
    std::function<void(const std::string& reason)> OnClosed;
    // Called on the owner's thread with what the link has to say for the
    // communication log (a device server's answers to the line settings). Optional.
    std::function<void(const std::string& text)> OnLogLine;
    // Called on the owner's thread with what the operator must see, not only
    // the log: a link that does not match the server it reached (a raw TCP
    // port under an rfc2217:// name). Optional.
    std::function<void(const std::string& text)> OnWarning;
};

// The serial link over Port, an existing component the caller keeps (the
// window's COMPort): its receive event becomes OnReceive.
std::unique_ptr<TLink> NewSerialLink(TComPort& port);

// The link to a host on the network (a port name socket://HOST:PORT or
// rfc2217://HOST:PORT, see LinkName.h); its deliveries go to the hooks'
// owner's thread and a failing handler to their ReportError.
std::unique_ptr<TLink> NewNetLink(const TComPortHooks& hooks);

// The link a port name asks for: the network link for a network URL, else
// the serial link over SerialPort.
std::unique_ptr<TLink> NewLink(const std::string& port, const TComPortHooks& hooks,
                               TComPort& serialPort);
