// The command line read into its record: what each command takes, and the
// combinations that cannot work refused before anything runs.
#include <gtest/gtest.h>

#include "cli/CliOptions.h"

namespace {

TEST(TCliOptions, ReadsEachCommandWithItsOptions) {
    const TCliOptions fetch =
        ParseCliOptions({"fetch", "1234", "-o", "a.oma", "--port", "COM3", "--json", "--log", "l"});
    EXPECT_EQ(fetch.Command, "fetch");
    EXPECT_EQ(fetch.Arguments, std::vector<std::string>{"1234"});
    EXPECT_EQ(fetch.Output, "a.oma");
    EXPECT_EQ(fetch.Port, "COM3");
    EXPECT_TRUE(fetch.Json);
    EXPECT_EQ(fetch.Log, "l");

    const TCliOptions edit = ParseCliOptions({"edit", "in.oma", "-o", "out.oma", "--vbox", "46.5",
                                              "--lock-b", "--rotate", "-3", "--points", "512"});
    EXPECT_EQ(edit.VBox, 46.5);
    EXPECT_TRUE(edit.LockB);
    EXPECT_EQ(edit.Rotate, -3);
    EXPECT_EQ(edit.Points, 512);
    EXPECT_FALSE(edit.HBox.has_value());

    EXPECT_EQ(ParseCliOptions({"store", "job.oma", "--tray", "77"}).Tray, "77");
    EXPECT_TRUE(ParseCliOptions({"ports"}).Arguments.empty());
    EXPECT_TRUE(ParseCliOptions({"--help"}).Help);
    // Help for one command, whichever way round.
    for (const auto& args : {std::vector<std::string>{"edit", "--help"}, {"--help", "edit"}}) {
        const TCliOptions help = ParseCliOptions(args);
        EXPECT_TRUE(help.Help);
        EXPECT_EQ(help.Command, "edit");
    }
    // A negative number is a value; after "--" a word that looks like an option is an argument.
    EXPECT_EQ(ParseCliOptions({"edit", "a", "-o", "b", "--hbox", "5", "--rotate", "-1000000"}).Rotate,
              -1000000);
    EXPECT_EQ(ParseCliOptions({"show", "--", "-odd.oma"}).Arguments,
              std::vector<std::string>{"-odd.oma"});
}

// A usage fault carries what was read of the line, so it can still be
// reported as asked: the command (none when unknown) and --json, wherever it stands.
TEST(TCliOptions, AFaultKnowsItsCommandAndJson) {
    try {
        ParseCliOptions({"fetch", "--format", "9", "--json"});
        ADD_FAILURE() << "format 9 taken";
    } catch (const EUsage& e) {
        EXPECT_EQ(e.Command, "fetch");
        EXPECT_TRUE(e.Json);
        EXPECT_STREQ(e.what(), "--format takes a whole number from 1 to 4, not '9'");
    }
    try {
        ParseCliOptions({"launch", "1"});
        ADD_FAILURE() << "launch taken";
    } catch (const EUsage& e) {
        EXPECT_EQ(e.Command, "");
        EXPECT_FALSE(e.Json);
    }
}

TEST(TCliOptions, RefusesWhatCannotRun) {
    const std::vector<std::vector<std::string>> faults = {
        {},
        {"fetch"},
        {"fetch", "1", "2"},
        {"ports", "x"},
        {"launch", "1"},
        {"fetch", "1", "--port"},
        {"show", "a.oma", "--vbox", "40"},
        {"edit", "a.oma"},
        {"edit", "a", "-o", "b", "--hbox", "50", "--circ", "150"},
        {"edit", "a", "-o", "b", "--hbox", "50", "--lock-b"},
        {"edit", "a", "-o", "b", "--vbox", "4,5"},
        {"edit", "a", "-o", "b", "--vbox", "nan"},
        {"edit", "a", "-o", "b", "--rotate", "1.5"},
        {"edit", "a", "-o", "b", "--format", "5"},
        {"edit", "a", "-o", "b", "--points", "0"},
        {"edit", "a", "-o", "b", "--points", "4097"},
        {"show", "a", "-o", "b"},
        {"fetch", "1", "--tray", "2"},
        {"print", "a.oma"},
        {"fetch", "1", "--frobnicate"},
        {"fetch", "1", "--port", "--json"},
        {"fetch", "1", "-o", "-x"},
        {"fetch", ""},
        {"fetch", "1;2"},
        {"store", "a.oma", "--tray", "7\x1c"},
        {"edit", "a", "-o", "b", "--rotate", "99999999999"},
        {"edit", "a", "-o", "b", "--rotate", "1000001"},
        {"edit", "a", "-o", "b", "--hbox", "0"},
        {"edit", "a", "-o", "b", "--hbox", "200"},
        {"edit", "a", "-o", "b", "--dbl", "-1"},
        {"edit", "a", "-o", "b", "--circ", "1e300"},
        {"show", "a", "--settings", "s.dat"},
        {"fetch", "1", "--format", "2"},
        {"--help", "launch"},
    };
    for (const auto& args : faults) {
        std::string line;
        for (const std::string& arg : args) line += arg + " ";
        EXPECT_THROW(ParseCliOptions(args), EUsage) << line;
    }
}

// A COM name says which device it is; names that are their device say nothing.
TEST(TCliOptions, ALinkFailureNamesTheDeviceOfAComName) {
    EXPECT_EQ(PortDeviceNote("COM7"), " (COM7 is /dev/ttyS6)");
    EXPECT_EQ(PortDeviceNote("com1"), " (com1 is /dev/ttyS0)");
    EXPECT_EQ(PortDeviceNote("ttyUSB0"), "");
    EXPECT_EQ(PortDeviceNote("/dev/serial/by-id/usb-x"), "");
    EXPECT_EQ(PortDeviceNote("socket://127.0.0.1:4001"), "");
}

}  // namespace
