#include <gtest/gtest.h>

#include "app/TrayNumber.h"

namespace {

TEST(TrayNumber, RefusesWhatWouldBreakThePacket) {
    const std::string control = "Tray number may not contain control characters";
    const std::string quote = "Tray number may not contain a double quote (\")";
    const std::string semicolon = "Tray number may not contain a semicolon (;)";
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
        {"12;34", semicolon},
        {";", semicolon},
    };
    for (const TRow& r : rows) EXPECT_EQ(TrayNumberFault(r.Tray), r.Fault) << r.Tray;
}

// The field's text may hold any character; the line carries single bytes.
TEST(TrayNumber, RefusesWhatTheWireTextCannotCarry) {
    const std::string latin1 = "Tray number may only contain Latin-1 characters";
    const struct {
        QString Tray;
        std::string Fault;
    } rows[] = {
        {QStringLiteral("1234"), ""},
        {QStringLiteral("caf\u00E9 \u00FF"), ""},
        {QStringLiteral("12\u20AC4"), latin1},
        {QStringLiteral("\u0100"), latin1},
        {QStringLiteral("\u6A21"), latin1},
        {QString::fromUtf8("\xF0\x9F\x98\x80"), latin1},
        {QStringLiteral("12\r34"), "Tray number may not contain control characters"},
        {QStringLiteral("1\"2"), "Tray number may not contain a double quote (\")"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(TrayNumberFault(r.Tray), r.Fault) << r.Tray.toStdString();
}

}  // namespace
