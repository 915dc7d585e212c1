// Windows port names: the device name a port opens and the ports the system
// lists beyond COM1..COM99 (USB adapters), read from the registry of the
// test's private Wine prefix.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/ComNames.h"

namespace {

TEST(ComNamesWin32, PortsOpenThroughTheDeviceNamespace) {
    EXPECT_EQ(ComDevicePath("COM1"), "\\\\.\\COM1");
    EXPECT_EQ(ComDevicePath("COM27"), "\\\\.\\COM27");
    EXPECT_EQ(ComDevicePath("com150"), "\\\\.\\com150");
}

// Adds values under SERIALCOMM for the test and takes them away after it.
class TSerialCommKey : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0,
                                    nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &FKey,
                                    nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        for (const std::string& name : FAdded) ::RegDeleteValueA(FKey, name.c_str());
        ::RegCloseKey(FKey);
    }
    void Add(const std::string& name, const std::string& port, DWORD type = REG_SZ) {
        ASSERT_EQ(::RegSetValueExA(FKey, name.c_str(), 0, type,
                                   reinterpret_cast<const BYTE*>(port.c_str()),
                                   static_cast<DWORD>(port.size() + 1)),
                  ERROR_SUCCESS);
        FAdded.push_back(name);
    }
    HKEY FKey = nullptr;
    std::vector<std::string> FAdded;
};

TEST_F(TSerialCommKey, PortsBeyondCom99AreListedInNumberOrder) {
    Add("\\Device\\TrevalonTestA", "COM150");
    Add("\\Device\\TrevalonTestB", "COM7");  // probed with COM1..COM99 anyway
    Add("\\Device\\TrevalonTestC", "COM100");
    Add("\\Device\\TrevalonTestD", "COM150");  // listed twice, offered once
    Add("\\Device\\TrevalonTestE", "COM99");
    Add("\\Device\\TrevalonTestF", "com256");
    const std::vector<std::string> names = EnumerateUsbSerialDevices();
    const std::vector<std::string> expected = {"COM100", "COM150", "com256"};
    std::vector<std::string> ours;
    for (const std::string& name : names)
        if (name == "COM100" || name == "COM150" || name == "com256" ||
            name == "COM7" || name == "COM99")
            ours.push_back(name);
    EXPECT_EQ(ours, expected);
    for (const std::string& name : names) {
        const bool low = name.size() <= 5 && name.rfind("COM", 0) == 0;
        EXPECT_FALSE(low) << name << " is one of COM1..COM99";
    }
}

}  // namespace
