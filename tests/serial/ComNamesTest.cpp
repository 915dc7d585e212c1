// Port names to device paths, the USB device list and their test hooks.
#include <gtest/gtest.h>

#include "serial/Comms.h"

namespace {

TEST(ComNames, PortNamesMapToDevicePaths) {
    const std::pair<const char*, const char*> Cases[] = {
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
    for (const auto& [Port, Path] : Cases) {
        SCOPED_TRACE(Port);
        EXPECT_EQ(DefaultComDevicePath(Port), Path);
        EXPECT_EQ(ComDevicePath(Port), Path);
    }
}

TEST(ComNames, AMapperRedirectsNamesUntilRestored) {
    TComPathMapper Previous =
        SetComPathMapper([](const std::string& Port) { return "/tmp/fake-" + Port; });
    EXPECT_EQ(ComDevicePath("COM5"), "/tmp/fake-COM5");
    EXPECT_EQ(DefaultComDevicePath("COM5"), "/dev/ttyS4");
    SetComPathMapper(Previous);
    EXPECT_EQ(ComDevicePath("COM5"), "/dev/ttyS4");
}

TEST(ComNames, UsbSerialListCanBeReplaced) {
    for (const std::string& Name : EnumerateUsbSerialDevices())
        EXPECT_TRUE(Name.rfind("ttyUSB", 0) == 0 || Name.rfind("ttyACM", 0) == 0) << Name;
    TUsbSerialLister Previous = SetUsbSerialLister([] {
        return std::vector<std::string>{"ttyUSB0", "ttyACM0"};
    });
    EXPECT_EQ(EnumerateUsbSerialDevices(), (std::vector<std::string>{"ttyUSB0", "ttyACM0"}));
    SetUsbSerialLister(Previous);
}

TEST(ComNames, UnknownOpenFailureTextUsesTheSystemsWords) {
    TComPort Port;
    Port.SetPort("/nonexistent/ttyX");
    try {
        Port.SetActive(true);
        FAIL();
    } catch (const EComPort& E) {
        EXPECT_STREQ(E.what(), "Unable to open /nonexistent/ttyX: No such file or directory");
    }
}

}  // namespace
