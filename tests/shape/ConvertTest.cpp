#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

#include "shape/Convert.h"

namespace {

TEST(StrToInt, AcceptsSignedDecimalWithin32Bits) {
    const struct {
        const char* Text;
        int Value;
    } rows[] = {
        {"0", 0},
        {"2500", 2500},
        {"0007", 7},
        {"-123", -123},
        {"+42", 42},
        {"-0", 0},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"000000000000000000001", 1},
    };
    for (const auto& row : rows) EXPECT_EQ(StrToInt(row.Text), row.Value) << row.Text;
}

TEST(StrToInt, RejectsEverythingElseWithTheConversionText) {
    const char* rows[] = {
        "",     "-",   "+",   " 250", "250 ", "2 50",       "25.0",        "12a4",        "$1F",
        "0x10", "--1", "+-1", "1e3",  "\t12", "2147483648", "-2147483649", "99999999999",
    };
    for (const char* text : rows) {
        try {
            StrToInt(text);
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.what(), "'" + std::string(text) + "' is not a valid integer value");
        }
    }
}

TEST(ConvertErrors, CarryTheOperatorTexts) {
    EXPECT_STREQ(EConvertError::NotFloat("1,2,3").what(),
                 "'1,2,3' is not a valid floating point value");
    EXPECT_STREQ(EConvertError::NotInteger("x").what(), "'x' is not a valid integer value");
    EXPECT_STREQ(EZeroDivide().what(), "Floating point division by zero");
    EXPECT_STREQ(EInvalidOp().what(), "Invalid floating point operation");
    EXPECT_STREQ(ERadiusRange(10024).what(), "Radius 100.24 mm is outside 0 to 99.99 mm");
    EXPECT_STREQ(ERadiusRange(-3).what(), "Radius -0.03 mm is outside 0 to 99.99 mm");
    EXPECT_EQ(ERadiusRange(10024).Hundredths(), 10024);
    // Every one is a runtime_error, so one handler can show any of them.
    EXPECT_THROW(throw ERadiusRange(1e6), std::runtime_error);
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    const struct {
        double In, Out;
    } rows[] = {
        {0.5, 0},
        {1.5, 2},
        {2.5, 2},
        {3.5, 4},
        {-0.5, -0},
        {-1.5, -2},
        {-2.5, -2},
        {2.4999, 2},
        {2.5001, 3},
        {-2.5001, -3},
        {9998.5, 9998},
        {9999.5, 10000},
        {0.49999999999999994, 0},
        {4503599627370495.5, 4503599627370496.0},
        {7, 7},
    };
    for (const auto& row : rows) EXPECT_EQ(RoundHalfEven(row.In), row.Out) << row.In;
    EXPECT_TRUE(std::isnan(RoundHalfEven(NAN)));
    EXPECT_EQ(RoundHalfEven(INFINITY), INFINITY);
}

TEST(RadiusGroups, FourDigitsOrRangeError) {
    EXPECT_EQ(FormatRadiusGroup(0), "0000");
    EXPECT_EQ(FormatRadiusGroup(7), "0007");
    EXPECT_EQ(FormatRadiusGroup(943), "0943");
    EXPECT_EQ(FormatRadiusGroup(9999), "9999");
    EXPECT_THROW(FormatRadiusGroup(10000), ERadiusRange);
    EXPECT_THROW(FormatRadiusGroup(-1), ERadiusRange);

    std::string radii = "2500";
    AppendRadiusGroup(radii, 12);
    EXPECT_EQ(radii, "25000012");
    EXPECT_THROW(AppendRadiusGroup(radii, 12345), ERadiusRange);
    EXPECT_EQ(radii, "25000012");
}

TEST(RadiusGroups, RoundRadiusRoundsThenChecksTheRange) {
    EXPECT_EQ(RoundRadius(2499.5), 2500);
    EXPECT_EQ(RoundRadius(2500.5), 2500);
    EXPECT_EQ(RoundRadius(9999.5 - 1e-9), 9999);
    EXPECT_EQ(RoundRadius(-0.5), 0);  // rounds to zero, which fits
    EXPECT_THROW(RoundRadius(9999.5), ERadiusRange);
    EXPECT_THROW(RoundRadius(-0.6), ERadiusRange);
    EXPECT_THROW(RoundRadius(NAN), ERadiusRange);
    EXPECT_THROW(RoundRadius(INFINITY), ERadiusRange);
    try {
        RoundRadius(12345.4);
        FAIL();
    } catch (const ERadiusRange& e) {
        EXPECT_STREQ(e.what(), "Radius 123.45 mm is outside 0 to 99.99 mm");
    }
}

}  // namespace
