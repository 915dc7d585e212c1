// Port names to device paths, the USB device list and a port's own name hook.
#include <gtest/gtest.h>

#include "serial/ComNames.h"
#include "serial/Comms.h"
#include "tests/serial/TestOwnerThread.h"

namespace {

TEST(ComNames, PortNamesMapToDevicePaths) {
    const std::pair<const char*, const char*> cases[] = {
        {"COM1", "/dev/ttyS0"},
        {"COM10", "/dev/ttyS9"},
        {"COM99", "/dev/ttyS98"},
        {"com3", "/dev/ttyS2"},
        {"ttyUSB0", "/dev/ttyUSB0"},
        {"ttyACM1", "/dev/ttyACM1"},
        {"/dev/pts/7", "/dev/pts/7"},
        {"COM0", "/dev/COM0"},
        {"COMX", "/dev/COMX"},
        {"COM", "/dev/COM"},
        {"", "/dev/"},
        {"COM1x", "/dev/COM1x"},
    };
    for (const auto& [Port, Path] : cases) {
        SCOPED_TRACE(Port);
        EXPECT_EQ(ComDevicePath(Port), Path);
    }
}

// A port's DevicePath hook decides what its device opens; other ports, made
// without it, are not affected.
TEST(ComNames, APortsDevicePathHookRedirectsOnlyThatPort) {
    std::vector<std::string> asked;
    TComPortHooks hooks;
    hooks.DevicePath = [&](const std::string& port) {
        asked.push_back(port);
        return "/nonexistent/fake-" + port;
    };
    hooks.OwnerThread = std::make_shared<TTestOwnerThread>();
    TComPort mapped(hooks);
    mapped.SetPort("COM5");
    try {
        mapped.SetActive(true);
        FAIL();
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "Unable to open COM5: No such file or directory");
    }
    EXPECT_EQ(asked, std::vector<std::string>{"COM5"});
    EXPECT_EQ(ComDevicePath("COM5"), "/dev/ttyS4");
}

TEST(ComNames, UsbSerialListNamesOnlyUsbDevices) {
    for (const std::string& name : EnumerateUsbSerialDevices())
        EXPECT_TRUE(name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0) << name;
}

TEST(ComNames, UnknownOpenFailureTextUsesTheSystemsWords) {
    TComPortHooks hooks;
    hooks.OwnerThread = std::make_shared<TTestOwnerThread>();
    TComPort port(hooks);
    port.SetPort("/nonexistent/ttyX");
    try {
        port.SetActive(true);
        FAIL();
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "Unable to open /nonexistent/ttyX: No such file or directory");
    }
}

}  // namespace
