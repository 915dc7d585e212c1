#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "ShapeTestUtil.h"
#include "shape/TrceCalc.h"

namespace {

using shapetest::Ellipse;
using shapetest::Repeat;
using shapetest::Values;

// Largest difference between two radius strings of the same length, in hundredths.
int MaxGroupDifference(const std::string& a, const std::string& b) {
    EXPECT_EQ(a.size(), b.size());
    int worst = 0;
    for (int i = 0; i < RadiusCount(a); ++i) {
        worst = std::max(worst, std::abs(RadiusAt(a, i) - RadiusAt(b, i)));
    }
    return worst;
}

// ---- targets --------------------------------------------------------------

TEST(ApplyTargets, MeasuredTargetsGiveTheShapeBackUpToRounding) {
    std::mt19937 rng(7);
    for (const std::string& radii :
         {Ellipse(1024, 25, 17.5), shapetest::RandomShape(rng, 1024), Repeat("2500", 512)}) {
        for (bool lockB : {false, true}) {
            TTraceCalc calc;
            calc.LockB = lockB;
            calc.LoadTrace(radii);
            calc.SetTargetHBox(calc.GetHBox());
            calc.SetTargetVBox(calc.GetVBox());
            EXPECT_LE(MaxGroupDifference(calc.GetTrace(), radii), 1) << "LockB " << lockB;
        }
    }
}

TEST(ApplyTargets, DoublingBoxAOfTheCircle) {
    TTraceCalc calc;
    calc.LoadTrace(Repeat("2500", 512));
    calc.SetTargetHBox(2 * calc.GetHBox());
    EXPECT_NEAR(calc.GetHBox(), 100.0, 0.01);
    EXPECT_NEAR(calc.GetVBox(), 50.0, 0.01);
    EXPECT_EQ(calc.PointCount(), 512);
    EXPECT_EQ(calc.BaseRadii, Repeat("2500", 512));
}

TEST(ApplyTargets, TargetsArePendingUntilAGetter) {
    TTraceCalc calc;
    calc.LoadTrace(Repeat("2500", 64));
    calc.SetTargetHBox(60);
    EXPECT_FALSE(calc.NeedsMeasure);  // measured by the first target
    EXPECT_TRUE(calc.NeedsScale);
    calc.SetTargetVBox(40);
    EXPECT_EQ(calc.Radii, Repeat("2500", 64));
    EXPECT_EQ(calc.TargetHBox, 60);
    EXPECT_EQ(calc.TargetVBox, 40);

    calc.ApplyTargets();
    EXPECT_TRUE(calc.NeedsMeasure);
    EXPECT_FALSE(calc.NeedsScale);
    EXPECT_EQ(calc.Radii.substr(0, 4), "3000");
    EXPECT_NEAR(calc.GetHBox(), 60, 0.02);
    EXPECT_NEAR(calc.GetVBox(), 40, 0.02);
    EXPECT_FALSE(calc.NeedsMeasure);
}

TEST(ApplyTargets, TargetOnAnUnmeasuredShapeMeasuresFirst) {
    TTraceCalc calc;
    calc.LoadTrace(Repeat("2500", 64));
    calc.SetTargetVBox(30);
    // The measurement reset both targets to the measured boxes before VBox's was set.
    EXPECT_DOUBLE_EQ(calc.TargetHBox, 50);
    EXPECT_EQ(calc.TargetVBox, 30);
}

TEST(ApplyTargets, NoFactorsLeaveEverythingPending) {
    // The half-plane shape has box B 0; an empty shape has no points.
    for (const std::string& radii : {std::string("3000000000000000"), std::string()}) {
        TTraceCalc calc;
        calc.LoadTrace(radii);
        calc.SetTargetHBox(40);
        const bool measured = !calc.NeedsMeasure;
        EXPECT_EQ(calc.GetTrace(), radii);
        EXPECT_TRUE(calc.NeedsScale);
        EXPECT_EQ(!calc.NeedsMeasure, measured);
        EXPECT_EQ(calc.TargetHBox, 40);
    }
}

TEST(ApplyTargets, ResultBeyondTheGridIsRefused) {
    TTraceCalc calc;
    calc.LoadTrace(Repeat("5000", 64));
    calc.SetTargetHBox(250);  // 125 mm on the x axis
    try {
        calc.GetTrace();
        FAIL();
    } catch (const ERadiusRange& e) {
        EXPECT_STREQ(e.what(), "Radius 125.00 mm is outside 0 to 99.99 mm");
    }
    EXPECT_EQ(calc.Radii, Repeat("5000", 64));
    EXPECT_TRUE(calc.NeedsScale);
}

TEST(ApplyTargets, PolarTableHoldsAtMost4096Points) {
    TTraceCalc calc;
    calc.LoadTrace(Repeat("2500", MaxPolarPoints));
    calc.SetTargetHBox(60);
    EXPECT_NEAR(calc.GetHBox(), 60, 0.02);

    calc.LoadTrace(Repeat("2500", MaxPolarPoints + 1));
    calc.SetTargetHBox(60);
    try {
        calc.GetTrace();
        FAIL();
    } catch (const ETooManyPoints& e) {
        EXPECT_STREQ(e.what(), "Too many points to scale the shape: 4097 (at most 4096)");
    }
    EXPECT_EQ(calc.Radii, Repeat("2500", MaxPolarPoints + 1));
}

TEST(ApplyTargets, ReadsBaseRadiiOfTheCurrentCount) {
    // Resampling and then scaling one calculator reads groups of BaseRadii that are not there.
    TTraceCalc calc;
    calc.LoadTrace(Repeat("2500", 4));
    calc.Resample(8);
    calc.SetTargetHBox(60);
    try {
        calc.GetTrace();
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'' is not a valid integer value");
    }
}

// ---- Lock B at Datum -----------------------------------------------------

TEST(LockB, EllipseStretchedBelowAndMovedUp) {
    TTraceCalc calc;
    calc.LoadTrace(Ellipse(1024, 25, 17.5));
    calc.LockB = true;
    calc.SetTargetVBox(41);
    const std::string& radii = calc.GetTrace();
    ASSERT_EQ(RadiusCount(radii), 1024);
    EXPECT_EQ(RadiusAt(radii, 256), 2050);  // straight up
    EXPECT_EQ(RadiusAt(radii, 768), 2050);  // straight down
    EXPECT_EQ(RadiusAt(radii, 0), 2479);
    EXPECT_EQ(RadiusAt(radii, 512), 2479);
    EXPECT_NEAR(calc.GetVBox(), 41.00, 0.005);
    EXPECT_NEAR(calc.GetHBox(), 50.00, 0.005);
}

TEST(LockB, MeasuredTargetSkipsTheDatumPass) {
    // An egg: 20 mm above the axis, 10 mm below, so a datum pass would move it down by 5 mm.
    const std::string egg = shapetest::RadiiOf(512, [](double t) {
        return std::sin(t) >= 0 ? 20.0 : 10.0 + 10.0 * std::fabs(std::cos(t));
    });
    TTraceCalc calc;
    calc.LoadTrace(egg);
    calc.LockB = true;
    calc.SetTargetVBox(calc.GetVBox());
    EXPECT_LE(MaxGroupDifference(calc.GetTrace(), egg), 1);

    // One hundredth more and the datum pass moves the top (20 mm) down to half the target.
    TTraceCalc moved;
    moved.LoadTrace(egg);
    moved.LockB = true;
    const double target = moved.GetVBox() + 0.01;
    ASSERT_LT(target / 2, 19);
    moved.SetTargetVBox(target);
    EXPECT_NEAR(RadiusAt(moved.GetTrace(), 128), target * 50, 1);
}

TEST(LockB, TargetOfHalfTheBoxOrLessFoldsTheLowerHalf) {
    for (double target : {17.5, 10.0}) {
        TTraceCalc calc;
        calc.LoadTrace(Ellipse(1024, 25, 17.5));
        calc.LockB = true;
        calc.SetTargetVBox(target);
        EXPECT_EQ(RadiusCount(calc.GetTrace()), 1024);
        EXPECT_GT(calc.GetHBox(), 0);
        EXPECT_TRUE(std::isfinite(calc.GetVBox()));
    }
}

// ---- circumference --------------------------------------------------------

TEST(ScaleToCirc, TwiceTheCircumferenceDoublesEveryRadius) {
    std::mt19937 rng(11);
    const std::string radii = shapetest::RandomShape(rng, 400);
    TTraceCalc calc;
    calc.LoadTrace(radii);
    const double circ = calc.GetCirc();
    calc.ScaleToCirc(2 * circ);
    EXPECT_TRUE(calc.NeedsMeasure);
    const auto before = Values(radii);
    const auto after = Values(calc.Radii);
    for (std::size_t i = 0; i < before.size(); ++i) ASSERT_EQ(after[i], 2 * before[i]) << i;
    EXPECT_NEAR(calc.GetCirc(), 2 * circ, 1e-9);
    EXPECT_EQ(calc.BaseRadii, radii);
}

TEST(ScaleToCirc, RoundsHalvesToEven) {
    TTraceCalc calc;
    calc.LoadTrace(Repeat("0001", 3) + Repeat("0003", 3));  // scaled by 2.5: 2.5 and 7.5
    calc.ScaleToCirc(2.5 * calc.GetCirc());
    EXPECT_EQ(calc.Radii, Repeat("0002", 3) + Repeat("0008", 3));
}

TEST(ScaleToCirc, SmallChangeAgainstTheStoredCircDoesNothing) {
    TTraceCalc calc;
    calc.LoadTrace(Repeat("2500", 512));
    const double circ = calc.GetCirc();
    calc.ScaleToCirc(circ + 0.0099);
    EXPECT_EQ(calc.Radii, Repeat("2500", 512));
    EXPECT_FALSE(calc.NeedsMeasure);

    // Never measured: the stored Circ is 0, so a target under 0.01 is no change at all...
    TTraceCalc fresh;
    fresh.LoadTrace(Repeat("2500", 512));
    fresh.ScaleToCirc(0.005);
    EXPECT_EQ(fresh.Radii, Repeat("2500", 512));
    EXPECT_TRUE(fresh.NeedsMeasure);
    // ...and any other target measures first.
    fresh.ScaleToCirc(2 * circ);
    EXPECT_EQ(fresh.Radii, Repeat("5000", 512));
}

TEST(ScaleToCirc, KeepsTrailingCharactersAndPendingScale) {
    TTraceCalc calc;
    calc.LoadTrace("3000000000000000xy");  // box B 0: targets cannot be applied
    calc.SetTargetHBox(40);
    calc.ScaleToCirc(120);
    EXPECT_EQ(calc.Radii, "6000000000000000xy");
    EXPECT_TRUE(calc.NeedsMeasure);
    EXPECT_TRUE(calc.NeedsScale);
}

TEST(ScaleToCirc, ZeroCircumferenceFailsAsDivisionByZero) {
    for (const std::string& radii : {Repeat("0000", 8), std::string(), std::string("1234")}) {
        TTraceCalc calc;
        calc.LoadTrace(radii);
        try {
            calc.ScaleToCirc(100);
            FAIL();
        } catch (const EZeroDivide& e) {
            EXPECT_STREQ(e.what(), "Floating point division by zero");
        }
        calc.ScaleToCirc(0.005);  // below 0.01: nothing to do
    }
}

TEST(ScaleToCirc, ZeroOverZeroIsAnInvalidOperation) {
    TTraceCalc calc;
    calc.LoadTrace(Repeat("2500", 8));
    calc.GetCirc();
    calc.LoadTrace("");
    EXPECT_THROW(calc.ScaleToCirc(0), EInvalidOp);
}

TEST(ScaleToCirc, ResultBeyondTheGridIsRefused) {
    TTraceCalc calc;
    calc.LoadTrace(Repeat("6000", 32));
    const double circ = calc.GetCirc();
    EXPECT_THROW(calc.ScaleToCirc(2 * circ), ERadiusRange);
    EXPECT_THROW(calc.ScaleToCirc(-circ), ERadiusRange);
    EXPECT_EQ(calc.Radii, Repeat("6000", 32));
    EXPECT_FALSE(calc.NeedsMeasure);
}

// ---- resampling -----------------------------------------------------------

TEST(Resample, NewPointsLieOnTheChords) {
    TTraceCalc calc;
    calc.LoadTrace("1000200010002000");
    calc.Resample(8);
    EXPECT_EQ(calc.GetTrace(), "10000943200009431000094320000943");
}

TEST(Resample, EqualRadiiStayEqual) {
    for (int to : {1024, 500, 7, 1}) {
        TTraceCalc calc;
        calc.LoadTrace(Repeat("2500", 512));
        calc.Resample(static_cast<std::uint16_t>(to));
        EXPECT_EQ(calc.GetTrace(), Repeat("2500", to));
    }
}

TEST(Resample, StateTable) {
    const std::string radii = "1000200010002000";
    TTraceCalc calc;
    calc.LoadTrace(radii);

    calc.Resample(4);  // the loaded count: a copy, flags untouched
    EXPECT_EQ(calc.Radii, radii);
    EXPECT_TRUE(calc.NeedsMeasure);
    calc.GetCirc();
    calc.Resample(0);
    EXPECT_EQ(calc.Radii, "");
    EXPECT_FALSE(calc.NeedsMeasure);

    calc.SetTargetHBox(30);
    calc.Resample(8);
    EXPECT_TRUE(calc.NeedsMeasure);
    EXPECT_FALSE(calc.NeedsScale);  // the target is dropped
    EXPECT_EQ(calc.GetTrace(), "10000943200009431000094320000943");

    // Always from BaseRadii, whatever Radii holds now.
    calc.Resample(4);
    EXPECT_EQ(calc.Radii, radii);

    TTraceCalc empty;
    empty.LoadTrace("xyz");
    empty.Radii = "2500";
    empty.Resample(8);
    EXPECT_EQ(empty.Radii, "2500");
    EXPECT_TRUE(empty.NeedsMeasure);
}

TEST(Resample, BadGroupsFailAndLeaveTheShape) {
    TTraceCalc calc;
    calc.LoadTrace("10002000-1002000");
    EXPECT_THROW(calc.Resample(8), ERadiusRange);
    EXPECT_EQ(calc.Radii, "10002000-1002000");

    calc.LoadTrace("10002000abcd2000");
    try {
        calc.Resample(8);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'abcd' is not a valid integer value");
    }
    EXPECT_EQ(calc.Radii, "10002000abcd2000");
}

TEST(Resample, SeamBetweenLastAndFirstPoint) {
    // 3 points to 4: the last new point (at 270 degrees) lies on the chord from old point 2
    // (at 240 degrees) back to old point 0.
    TTraceCalc calc;
    calc.LoadTrace("100020003000");
    calc.Resample(4);
    EXPECT_EQ(calc.GetTrace(), "1000086612001039");
}

}  // namespace
