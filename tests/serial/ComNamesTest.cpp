// Port names to device paths, the USB device list and their test hooks.
#include <gtest/gtest.h>

#include "serial/Comms.h"

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
        EXPECT_EQ(DefaultComDevicePath(Port), Path);
        EXPECT_EQ(ComDevicePath(Port), Path);
    }
}

TEST(ComNames, AMapperRedirectsNamesUntilRestored) {
    TComPathMapper previous =
        SetComPathMapper([](const std::string& port) { return "/tmp/fake-" + port; });
    EXPECT_EQ(ComDevicePath("COM5"), "/tmp/fake-COM5");
    EXPECT_EQ(DefaultComDevicePath("COM5"), "/dev/ttyS4");
    SetComPathMapper(previous);
    EXPECT_EQ(ComDevicePath("COM5"), "/dev/ttyS4");
}

TEST(ComNames, UsbSerialListCanBeReplaced) {
    for (const std::string& name : EnumerateUsbSerialDevices())
        EXPECT_TRUE(name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0) << name;
    TUsbSerialLister previous = SetUsbSerialLister([] {
        return std::vector<std::string>{"ttyUSB0", "ttyACM0"};
    });
    EXPECT_EQ(EnumerateUsbSerialDevices(), (std::vector<std::string>{"ttyUSB0", "ttyACM0"}));
    SetUsbSerialLister(previous);
}

TEST(ComNames, UnknownOpenFailureTextUsesTheSystemsWords) {
    TComPort port;
    port.SetPort("/nonexistent/ttyX");
    try {
        port.SetActive(true);
        FAIL();
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "Unable to open /nonexistent/ttyX: No such file or directory");
    }
}

}  // namespace
