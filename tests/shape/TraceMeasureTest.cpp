#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "ShapeTestUtil.h"
#include "shape/TrceCalc.h"

namespace {

using shapetest::Repeat;

struct TMeasureRow {
    const char* Name;
    std::string Radii;
    double Hbox, Vbox, Circ;
};

TEST(Measure, KnownShapes) {
    const TMeasureRow rows[] = {
        {"circle preset", Repeat("2500", 512), 50.0, 50.0, 157.0786},
        {"rhombus", "1000200010002000", 20.0, 40.0, 4 * std::sqrt(500.0)},
        // Points all at x >= 0 (point 0 only, at 90 degrees and 270 as zero radii): minX stays 0.
        {"half-plane", "3000000000000000", 30.0, 0.0, 60.0},
        {"single point", "1234", 12.34, 0.0, 0.0},
        // 2049 characters: 512 points, the last character ignored.
        {"trailing character", Repeat("2500", 512) + "9", 50.0, 50.0, 157.0786},
        {"all zero", Repeat("0000", 16), 0.0, 0.0, 0.0},
        // A minus and three digits is a negative radius: the point lies opposite its angle.
        {"negative group",
         "-100"
         "0000"
         "0000"
         "0000",
         1.0, 0.0, 2.0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        TTraceCalc calc;
        calc.LoadTrace(row.Radii);
        EXPECT_NEAR(calc.GetHBox(), row.Hbox, 1e-9);
        EXPECT_NEAR(calc.GetVBox(), row.Vbox, 1e-9);
        EXPECT_NEAR(calc.GetCirc(), row.Circ, 5e-5);
        EXPECT_FALSE(calc.NeedsMeasure);
        EXPECT_EQ(calc.TargetHBox, calc.HBox);
        EXPECT_EQ(calc.TargetVBox, calc.VBox);
    }
}

TEST(Measure, PointCountIgnoresTrailingCharactersAndPendingChanges) {
    TTraceCalc calc;
    EXPECT_EQ(calc.PointCount(), 0);
    calc.LoadTrace(Repeat("2500", 512) + "999");
    EXPECT_EQ(calc.PointCount(), 512);
    calc.SetTargetHBox(60);
    EXPECT_EQ(calc.PointCount(), 512);
    EXPECT_TRUE(calc.NeedsScale);  // PointCount did not run Update
}

TEST(Measure, NewCalculatorIsEmpty) {
    TTraceCalc calc;
    EXPECT_EQ(calc.BaseRadii, "");
    EXPECT_EQ(calc.Radii, "");
    EXPECT_EQ(calc.HBox, 0);
    EXPECT_EQ(calc.VBox, 0);
    EXPECT_EQ(calc.TargetHBox, 0);
    EXPECT_EQ(calc.TargetVBox, 0);
    EXPECT_EQ(calc.Circ, 0);
    EXPECT_FALSE(calc.NeedsMeasure);
    EXPECT_FALSE(calc.NeedsScale);
    EXPECT_FALSE(calc.LockB);
}

TEST(Measure, EmptyShapeZeroesCircOnlyAndStaysUnmeasured) {
    TTraceCalc calc;
    calc.LoadTrace(Repeat("2500", 8));
    EXPECT_GT(calc.GetCirc(), 0);
    const double hbox = calc.HBox;
    calc.LoadTrace("abc");  // under one group
    EXPECT_EQ(calc.GetCirc(), 0);
    EXPECT_EQ(calc.GetHBox(), hbox);
    EXPECT_EQ(calc.TargetHBox, hbox);
    EXPECT_TRUE(calc.NeedsMeasure);
}

TEST(Measure, GettersMeasureOncePerChange) {
    TTraceCalc calc;
    calc.LoadTrace(Repeat("2500", 512));
    EXPECT_TRUE(calc.NeedsMeasure);
    EXPECT_DOUBLE_EQ(calc.GetHBox(), 50.0);
    // Changing the text behind the calculator's back shows whether a getter measures again.
    calc.Radii = Repeat("1000", 512);
    EXPECT_DOUBLE_EQ(calc.GetHBox(), 50.0);
    EXPECT_DOUBLE_EQ(calc.GetVBox(), 50.0);
    EXPECT_EQ(calc.GetTrace(), Repeat("1000", 512));
    // A new load marks it again.
    calc.LoadTrace(Repeat("1000", 512));
    EXPECT_DOUBLE_EQ(calc.GetHBox(), 20.0);
}

TEST(Measure, LoadKeepsTargetsAndLockB) {
    TTraceCalc calc;
    calc.LockB = true;
    calc.TargetHBox = 12;
    calc.TargetVBox = 34;
    calc.NeedsScale = true;
    calc.LoadTrace("2500");
    EXPECT_TRUE(calc.LockB);
    EXPECT_EQ(calc.TargetHBox, 12);
    EXPECT_EQ(calc.TargetVBox, 34);
    EXPECT_FALSE(calc.NeedsScale);
    EXPECT_TRUE(calc.NeedsMeasure);
    EXPECT_EQ(calc.BaseRadii, "2500");
}

TEST(Measure, BadGroupFailsWithItsTextEveryTime) {
    TTraceCalc calc;
    calc.LoadTrace("25002500 25025002500");
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            calc.GetHBox();
            FAIL();
        } catch (const EConvertError& e) {
            EXPECT_STREQ(e.what(), "' 250' is not a valid integer value");
        }
    }
    EXPECT_TRUE(calc.NeedsMeasure);
    EXPECT_EQ(calc.HBox, 0);
    EXPECT_EQ(calc.Circ, 0);
}

TEST(Measure, ClosingChordReadsTheLastGroup) {
    TTraceCalc calc;
    calc.LoadTrace("250025002500x500");
    EXPECT_THROW(calc.GetCirc(), EConvertError);
}

TEST(MeasureTrace, FillsMeasurementsOnly) {
    TTraceInfo info;
    info.Radii = "1000200010002000";
    info.DBL = 18.5;
    MeasureTrace(info);
    EXPECT_NEAR(info.HBox, 20.0, 1e-9);
    EXPECT_NEAR(info.VBox, 40.0, 1e-9);
    EXPECT_NEAR(info.Circ, 89.4427, 5e-5);
    EXPECT_EQ(info.Radii, "1000200010002000");
    EXPECT_EQ(info.DBL, 18.5);

    TTraceInfo empty;
    empty.HBox = 7;
    MeasureTrace(empty);
    EXPECT_EQ(empty.HBox, 0);
    EXPECT_EQ(empty.VBox, 0);
    EXPECT_EQ(empty.Circ, 0);

    TTraceInfo bad;
    bad.Radii = "25002500abcd";
    bad.HBox = 3;
    EXPECT_THROW(MeasureTrace(bad), EConvertError);
    EXPECT_EQ(bad.HBox, 3);
}

}  // namespace
