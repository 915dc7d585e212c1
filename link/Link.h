#pragma once

// TLink: the line to the host as the conversation sees it. One implementation
// per kind of line (today the serial port); the port setting picks it. The
// entries say what each must do; how is the implementation's affair.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "serial/Comms.h"
#include "settings/SettingsList.h"

// The settings a link is opened with, as the settings file gives them.
// Kinds of link without line settings ignore all but Port.
struct TLinkSettings {
    std::string Port;
    std::int32_t BaudRate = 9600;
    TParityBits Parity = prNone;
    std::int32_t DataBits = 8;  // out of range: the device refuses it on open
    TStopBits StopBits = sbOneStopBit;
};

// The link settings the settings list names ("Port", "BaudRate", "Parity",
// "DataBits", "StopBits"); throws EConvertError for a number that is not one.
TLinkSettings LinkSettingsFrom(const TNameValueList& settings);

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
};

// The serial link over Port, an existing component the caller keeps (the
// window's COMPort): its receive event becomes OnReceive.
std::unique_ptr<TLink> NewSerialLink(TComPort& port);
