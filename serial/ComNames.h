#pragma once

// Port names on this platform. A port name is what the operator picks and the
// settings file keeps ("COM1", "ttyUSB0"); the device opens the name
// ComDevicePath gives for it.

#include <string>
#include <vector>

// The name the platform's device opens for a port name. POSIX: "COMn" (any
// case) -> /dev/ttyS(n-1), a name starting with '/' as it is, anything else
// -> /dev/ + name. Windows: \\.\ + name, which also reaches COM10 and above.
std::string ComDevicePath(const std::string& port);

// Port names of serial devices beyond COM1..COM99, which the port list and
// the host search add after those: POSIX the USB adapters (ttyACM*, ttyUSB*,
// in natural order); Windows the ports the system lists under
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM that are not COM1..COM99, in natural order.
std::vector<std::string> EnumerateUsbSerialDevices();
