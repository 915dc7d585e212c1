#include <gtest/gtest.h>

#include <string>

#include "app/Presets.h"
#include "shape/TrceCalc.h"

namespace {

int Point(const std::string& radii, int i) {
    return std::stoi(radii.substr(4 * i, 4));
}

TEST(Presets, EveryPresetHas512FourDigitPoints) {
    for (const std::string& radii :
         {CircleRadii(), SquareRadii(), DiamondRadii(), FlowerPotRadii()}) {
        ASSERT_EQ(radii.size(), 2048u);
        for (char c : radii) ASSERT_TRUE(c >= '0' && c <= '9') << radii;
    }
}

TEST(Presets, CircleIs2500Everywhere) {
    std::string expected;
    for (int i = 0; i < 512; ++i) expected += "2500";
    EXPECT_EQ(CircleRadii(), expected);
}

TEST(Presets, SquareRadiiTruncateToHundredths) {
    const std::string square = SquareRadii();
    struct TRow {
        int Index;
        int Radius;
    };
    for (const TRow& row :
         {TRow{0, 2500}, TRow{32, 2705}, TRow{63, 3492}, TRow{64, 3535}, TRow{128, 2500}, TRow{192, 3535},
          TRow{256, 2500}, TRow{320, 3535}, TRow{384, 2500}, TRow{448, 3535}})
        EXPECT_EQ(Point(square, row.Index), row.Radius) << "point " << row.Index;
    // Mirror symmetry about the x axis: point i and point 512 - i.
    for (int i = 1; i < 512; ++i) EXPECT_NEAR(Point(square, i), Point(square, 512 - i), 1) << i;
}

TEST(Presets, DiamondIsTheSquareTurnedBy64Points) {
    const std::string square = SquareRadii();
    const std::string diamond = DiamondRadii();
    for (int j = 0; j < 512; ++j) ASSERT_EQ(Point(diamond, j), Point(square, (j + 64) % 512)) << j;
    EXPECT_EQ(Point(diamond, 0), 3535);
    EXPECT_EQ(Point(diamond, 64), 2500);

    TTraceInfo info{diamond};
    MeasureTrace(info);
    EXPECT_NEAR(info.HBox, 70.7, 0.05);
    EXPECT_NEAR(info.VBox, 70.7, 0.05);
}

TEST(Presets, FlowerPotHasTheSquaresEdgesAndCircularSides) {
    const std::string square = SquareRadii();
    const std::string pot = FlowerPotRadii();
    for (int i = 0; i < 512; ++i) {
        const bool edge = (i >= 64 && i <= 191) || (i >= 320 && i <= 447);
        if (edge) {
            EXPECT_EQ(Point(pot, i), Point(square, i)) << i;
        } else {
            const int r = Point(pot, i);
            EXPECT_TRUE(r == 2500 || r == 2499) << i << ": " << r;
        }
    }
    EXPECT_EQ(Point(pot, 0), 2500);
    EXPECT_EQ(Point(pot, 191), 3492);
}

TEST(Presets, GeneratingTwiceGivesTheSameShape) {
    EXPECT_EQ(SquareRadii(), SquareRadii());
    EXPECT_EQ(FlowerPotRadii(), FlowerPotRadii());
    EXPECT_EQ(DiamondRadii(), DiamondRadii());
}

TEST(Presets, CircleMeasuresAsA25mmCircle) {
    TTraceInfo info{CircleRadii()};
    MeasureTrace(info);
    EXPECT_DOUBLE_EQ(info.HBox, 50.0);
    EXPECT_DOUBLE_EQ(info.VBox, 50.0);
    EXPECT_NEAR(info.Circ, 157.0786, 0.00005);
}

}  // namespace
