#include <gtest/gtest.h>

#include "app/TrayNumber.h"

namespace {

TEST(TrayNumber, RefusesWhatWouldBreakThePacket) {
    const std::string control = "Tray number may not contain control characters";
    const std::string quote = "Tray number may not contain a double quote (\")";
    struct TRow {
        std::string Tray;
        std::string Fault;
    } rows[] = {
        {"1234", ""},
        {"", ""},
        {"AB-12/7 x", ""},
        {"caf\xe9", ""},
        {"12\r34", control},
        {"12\n", control},
        {std::string("12\x1c", 3), control},
        {std::string("1\x1d"
                     "2",
                     3),
         control},
        {std::string("1\0"
                     "2",
                     3),
         control},
        {"\x7f", control},
        {"\t", control},
        {"12\"34", quote},
        {"\"", quote},
    };
    for (const TRow& r : rows) EXPECT_EQ(TrayNumberFault(r.Tray), r.Fault) << r.Tray;
}

}  // namespace
