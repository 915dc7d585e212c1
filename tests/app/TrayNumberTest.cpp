#include <gtest/gtest.h>

#include "app/TrayNumber.h"

namespace {

TEST(TrayNumber, RefusesWhatWouldBreakThePacket) {
    const std::string Control = "Tray number may not contain control characters";
    const std::string Quote = "Tray number may not contain a double quote (\")";
    struct Row {
        std::string Tray;
        std::string Fault;
    } Rows[] = {
        {"1234", ""},
        {"", ""},
        {"AB-12/7 x", ""},
        {"caf\xe9", ""},
        {"12\r34", Control},
        {"12\n", Control},
        {std::string("12\x1c", 3), Control},
        {std::string("1\x1d"
                     "2",
                     3),
         Control},
        {std::string("1\0"
                     "2",
                     3),
         Control},
        {"\x7f", Control},
        {"\t", Control},
        {"12\"34", Quote},
        {"\"", Quote},
    };
    for (const Row& R : Rows) EXPECT_EQ(TrayNumberFault(R.Tray), R.Fault) << R.Tray;
}

}  // namespace
