#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "app/Presets.h"
#include "app/ShapeDisplay.h"
#include "shape/TrceCalc.h"
#include "tests/app/FormFixture.h"

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#define TREVALON_TEST_XINUSE 1
#endif

namespace {

void EnsureGuiApp() {
    EnsureApplication();
}

std::string Repeat(const char* group, int times) {
    std::string radii;
    for (int i = 0; i < times; ++i) radii += group;
    return radii;
}

TShapePicture Picture(const std::string& working, const std::string& received) {
    TShapePicture picture;
    picture.WorkingRadii = working;
    picture.ReceivedRadii = received;
    TTraceInfo info{working};
    MeasureTrace(info);
    picture.HBox = info.HBox;
    picture.VBox = info.VBox;
    picture.Circ = info.Circ;
    return picture;
}

QColor At(const QImage& image, int x, int y) {
    return image.pixelColor(x, y);
}

struct TDisplayTest : ::testing::Test {
    void SetUp() override { EnsureGuiApp(); }
};

const QColor KSilver(192, 192, 192);
const QColor KNavy(0, 0, 128);
const QColor KBlack(0, 0, 0);
const QColor KGrey(128, 128, 128);
const QColor KAqua(0, 255, 255);
const QColor KRed(255, 0, 0);
const QColor KBlue(0, 0, 255);

// The standard picture is 462 x 406 with its centre at (236, 203); the 25 mm
// circle gives 0.16010 mm per pixel, so 156 pixels of radius.
TEST_F(TDisplayTest, CircleOutlineLies156PixelsFromTheCentreInNavy) {
    TShapePicture picture = Picture(CircleRadii(), CircleRadii());
    const QImage image = RenderShape(picture);
    ASSERT_EQ(image.size(), QSize(462, 406));
    // Angles away from the axes and ticks: the outline pixel is navy, with
    // silver a few pixels inside and outside.
    for (int k = 1; k < 16; ++k) {
        if (k % 4 == 0) continue;
        const double a = k * std::numbers::pi / 8 + 0.2;
        const auto px = [&](double r) {
            return QPoint(236 + static_cast<int>(std::trunc(std::cos(a) * r)),
                          203 - static_cast<int>(std::trunc(std::sin(a) * r)));
        };
        EXPECT_EQ(image.pixelColor(px(156)), KNavy) << k;
        EXPECT_EQ(image.pixelColor(px(150)), KSilver) << k;
        EXPECT_EQ(image.pixelColor(px(162)), KSilver) << k;
    }
    EXPECT_EQ(At(image, 346, 93), KNavy);  // 45 degrees: trunc(17.6777 / 0.16010) = 110
    EXPECT_EQ(picture.OverlayX, 236);
    EXPECT_EQ(picture.OverlayY, 203);
}

TEST_F(TDisplayTest, AxesAndTicksStandWhereTheScalePutsThem) {
    TShapePicture picture = Picture(CircleRadii(), CircleRadii());
    const QImage image = RenderShape(picture);
    // Horizontal axis spans +-249 pixels (clipped), the vertical one +-187.
    EXPECT_EQ(At(image, 436, 203), KBlack);
    EXPECT_EQ(At(image, 2, 203), KBlack);
    EXPECT_EQ(At(image, 236, 300), KBlack);
    EXPECT_EQ(At(image, 236, 18), KBlack);
    EXPECT_EQ(At(image, 236, 12), KSilver);
    EXPECT_EQ(At(image, 420, 195), KSilver);
    // Long ticks (multiples of 10 mm) reach 20 pixels, short ones 10.
    const struct {
        int Mm, Px, Half;
    } ticks[] = {{5, 31, 10}, {10, 62, 20}, {15, 93, 10}, {20, 124, 20}, {30, 187, 20}};
    for (const auto& t : ticks) {
        for (const int x : {236 - t.Px, 236 + t.Px}) {
            EXPECT_EQ(At(image, x, 203 - t.Half + 1), KBlack) << t.Mm;
            EXPECT_EQ(At(image, x, 203 + t.Half - 1), KBlack) << t.Mm;
            EXPECT_EQ(At(image, x, 203 - t.Half - 3), KSilver) << t.Mm;
        }
        for (const int y : {203 - t.Px, 203 + t.Px}) {
            EXPECT_EQ(At(image, 236 + t.Half - 1, y), KBlack) << t.Mm;
            EXPECT_EQ(At(image, 236 - t.Half + 1, y), KBlack) << t.Mm;
            EXPECT_EQ(At(image, 236 + t.Half + 3, y), KSilver) << t.Mm;
        }
    }
    // A 40 mm circle (0.2562 mm per pixel) shows the 35 mm ticks: 136 pixels
    // out, 6 pixels long, on the horizontal axis only.
    TShapePicture large = Picture(Repeat("4000", 512), "");
    const QImage wide = RenderShape(large);
    EXPECT_EQ(At(wide, 236 + 136, 203 - 5), KBlack);
    EXPECT_EQ(At(wide, 236 + 136, 203 - 9), KSilver);
    EXPECT_EQ(At(wide, 236 + 5, 203 - 136), KSilver);
    EXPECT_EQ(At(wide, 236 + 5, 203 - 117), KBlack);  // 30 mm
}

TEST_F(TDisplayTest, GridOnlyWithDetailedGrid) {
    TShapePicture picture = Picture(CircleRadii(), CircleRadii());
    // A vertical line at +15 mm, a horizontal one at +5 mm up, none at 1 mm steps.
    const QPoint vertical(236 + 93, 203 - 50);
    const QPoint horizontal(236 + 45, 203 - 31);
    const QPoint between(236 + 77, 203 - 50);
    EXPECT_EQ(RenderShape(picture).pixelColor(vertical), KSilver);
    picture.DetailedGrid = true;
    const QImage image = RenderShape(picture);
    EXPECT_EQ(image.pixelColor(vertical), KGrey);
    EXPECT_EQ(image.pixelColor(horizontal), KGrey);
    EXPECT_EQ(image.pixelColor(between), KSilver);
    // On a 40 mm circle (0.2562 mm per pixel) the whole grid fits: lines
    // span 35 mm (136 pixels), the horizontal ones stop at 30 mm (117).
    TShapePicture large = Picture(Repeat("4000", 512), "");
    large.DetailedGrid = true;
    const QImage wide = RenderShape(large);
    EXPECT_EQ(At(wide, 236 + 58, 203 - 135), KGrey);
    EXPECT_EQ(At(wide, 236 + 58, 203 - 139), KSilver);
    EXPECT_EQ(At(wide, 236 + 130, 203 - 117), KGrey);
    EXPECT_EQ(At(wide, 236 + 140, 203 - 117), KSilver);
    EXPECT_EQ(At(wide, 236 + 25, 203 - 136), KSilver);
    EXPECT_EQ(At(wide, 236 + 156, 203 - 60), KGrey);  // 40 mm vertical line
}

TEST_F(TDisplayTest, ReceivedOutlineTakesTheWorkingScaleAroundTheOverlay) {
    // Working 30 mm circle at 1024 points: 0.19212 mm per pixel, so the 25 mm
    // received circle is 130 pixels, around the moved overlay position.
    TShapePicture picture = Picture(Repeat("3000", 1024), CircleRadii());
    picture.ShowOrig = true;
    picture.OverlayX = 200;
    picture.OverlayY = 180;
    const QImage image = RenderShape(picture);
    EXPECT_EQ(At(image, 200 + 92, 180 - 92), KAqua);  // 45 degrees
    EXPECT_EQ(At(image, 200 - 92, 180 + 92), KAqua);  // 225 degrees
    EXPECT_EQ(At(image, 346, 93), KNavy);             // working: 110 pixels at 45 degrees
    EXPECT_EQ(picture.OverlayX, 200);

    picture.ShowOrig = false;
    EXPECT_EQ(RenderShape(picture).pixelColor(200 + 92, 180 - 92), KSilver);
}

TEST_F(TDisplayTest, ShowOrigWithoutReceivedShapeStopsBeforeTheValueLineAndAxes) {
    TShapePicture picture = Picture(CircleRadii(), "");
    picture.ShowOrig = true;
    const QImage image = RenderShape(picture);
    EXPECT_EQ(At(image, 346, 93), KNavy);
    EXPECT_EQ(At(image, 436, 203), KSilver);
}

int CountColour(const QImage& image, const QColor& colour, QRect* bounds = nullptr) {
    int count = 0;
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour) {
                ++count;
                box |= QRect(x, y, 1, 1);
            }
    if (bounds != nullptr) *bounds = box;
    return count;
}

TEST_F(TDisplayTest, MessageIsRedAtTheTopLeft) {
    TShapePicture picture = Picture(CircleRadii(), CircleRadii());
    picture.Message = "Box A Too small";
    QRect bounds;
    EXPECT_GT(CountColour(RenderShape(picture), KRed, &bounds), 50);
    EXPECT_GE(bounds.left(), 5);
    EXPECT_GE(bounds.top(), 5);
    EXPECT_LT(bounds.bottom(), 30);
    EXPECT_LT(bounds.left(), 12);
}

TEST_F(TDisplayTest, ValueLineIsBlueAlongTheBottom) {
    EXPECT_EQ(ValueLineText(50, 50, 157.0786, QLocale::c()),
              "Box A: 50.00, Box B: 50.00, Circ: 157.08");
    EXPECT_EQ(ValueLineText(1234.5, 0.004, 9.995, QLocale(QLocale::German)),
              "Box A: 1234,50, Box B: 0,00, Circ: 9,99");
    // No group separators where the locale has them, and never "-0.00".
    EXPECT_EQ(ValueLineText(12345.678, -0.004, -1e-9, QLocale(QLocale::English)),
              "Box A: 12345.68, Box B: 0.00, Circ: 0.00");
    // Digits stay 0 to 9 in every locale, as in the edits and the change labels.
    EXPECT_EQ(ValueLineText(50, 49.5, 157.0786, QLocale(QLocale::Arabic, QLocale::Egypt)),
              QStringLiteral("Box A: 50\u066B00, Box B: 49\u066B50, Circ: 157\u066B08"));
    TShapePicture picture = Picture(CircleRadii(), CircleRadii());
    QRect bounds;
    EXPECT_GT(CountColour(RenderShape(picture), KBlue, &bounds), 100);
    EXPECT_GE(bounds.left(), 3);
    EXPECT_LT(bounds.left(), 10);
    EXPECT_GT(bounds.top(), 380);
    EXPECT_LE(bounds.bottom(), 405);
}

TEST_F(TDisplayTest, TooFewPointsOrNoExtentDrawOnlyBackgroundAndMessage) {
    for (const std::string& radii :
         {std::string(), Repeat("2500", 4), Repeat("2500", 4) + "250", Repeat("0000", 64)}) {
        TShapePicture picture = Picture(radii, CircleRadii());
        picture.DetailedGrid = picture.ShowOrig = true;
        const QImage image = RenderShape(picture);
        EXPECT_EQ(CountColour(image, KSilver), 462 * 406) << radii;

        picture.Message = "Timeout waiting for host";
        const QImage withMessage = RenderShape(picture);
        const int red = CountColour(withMessage, KRed);
        EXPECT_GT(red, 0);
        EXPECT_EQ(red + CountColour(withMessage, KSilver), 462 * 406);
    }
    // Five points are enough to draw.
    TShapePicture five = Picture(Repeat("2500", 5), "");
    EXPECT_GT(CountColour(RenderShape(five), KNavy), 0);
}

// The outlines are written as 32-bit pixels: an image of another format is
// converted first, and the outline comes out as on the standard picture.
TEST_F(TDisplayTest, AnImageOfAnotherFormatIsConvertedBeforePainting) {
    TShapePicture reference = Picture(CircleRadii(), "");
    const int navy = CountColour(RenderShape(reference), KNavy);
    ASSERT_GT(navy, 0);
    for (const QImage::Format format :
         {QImage::Format_RGB16, QImage::Format_RGB888, QImage::Format_Grayscale8,
          QImage::Format_ARGB32_Premultiplied}) {
        SCOPED_TRACE(static_cast<int>(format));
        QImage image = BlankShapeImage().convertToFormat(format);
        TShapePicture picture = Picture(CircleRadii(), "");
        PaintShape(image, picture);
        EXPECT_EQ(image.depth(), 32);
        EXPECT_EQ(CountColour(image, KNavy), navy);
        EXPECT_EQ(At(image, 346, 93), KNavy);
    }
}

TEST_F(TDisplayTest, RadiusZeroIsDrawnAtTheCentre) {
    // Half the points at the centre: the outline runs through (236, 203),
    // which the axes then cover; check the navy spoke along 45 degrees.
    std::string radii = Repeat("2500", 64) + Repeat("0000", 448);
    TShapePicture picture = Picture(radii, "");
    const QImage image = RenderShape(picture);
    EXPECT_GT(CountColour(image, KNavy), 0);
}

TEST_F(TDisplayTest, ABadGroupFailsWithTheConversionMessage) {
    TShapePicture picture = Picture(CircleRadii(), "25x0");
    picture.ShowOrig = true;
    QImage image = BlankShapeImage();
    EXPECT_THROW(PaintShape(image, picture), EConvertError);
    EXPECT_EQ(At(image, 346, 93), KNavy);  // what came before stays painted
}

// Runs of Colour along row y of image: (first column, length) each.
std::vector<std::pair<int, int>> RunsInRow(const QImage& image, int y, const QColor& colour) {
    std::vector<std::pair<int, int>> runs;
    for (int x = 0; x < image.width(); ++x) {
        if (image.pixelColor(x, y) != colour) continue;
        if (!runs.empty() && runs.back().first + runs.back().second == x)
            ++runs.back().second;
        else
            runs.emplace_back(x, 1);
    }
    return runs;
}

// On a scaled display the picture keeps its logical geometry (the 25 mm
// circle 156 logical pixels out) but is drawn at the screen's resolution: the
// outline lies trunc(156.15 x ratio) image pixels from the image pixel under
// the centre, its band is 3 logical pixels wide, and it is no enlarged copy of
// the picture drawn at ratio 1.
TEST_F(TDisplayTest, AtHigherPixelRatiosTheSameGeometryIsDrawnInMorePixels) {
    struct TRatio {
        qreal Ratio;
        QSize Pixels;
        QPoint Centre;  // image pixel under the centre of logical (236, 203)
        int Radius;     // trunc(25 mm / 0.16010 mm x ratio)
    };
    const TRatio ratios[] = {{1.25, {578, 508}, {295, 254}, 195},
                             {1.5, {693, 609}, {354, 305}, 234},
                             {2, {924, 812}, {473, 407}, 312}};
    for (const TRatio& r : ratios) {
        SCOPED_TRACE(r.Ratio);
        TShapePicture picture = Picture(CircleRadii(), CircleRadii());
        const QImage image = RenderShape(picture, ShapePictureSize, r.Ratio);
        ASSERT_EQ(image.size(), r.Pixels);
        EXPECT_EQ(image.devicePixelRatio(), r.Ratio);
        EXPECT_EQ(picture.OverlayX, 236);  // logical, as at ratio 1
        for (int k = 1; k < 16; ++k) {
            if (k % 4 == 0) continue;
            const double a = k * std::numbers::pi / 8 + 0.2;
            const auto px = [&](double radius) {
                return QPoint(r.Centre.x() + static_cast<int>(std::trunc(std::cos(a) * radius)),
                              r.Centre.y() - static_cast<int>(std::trunc(std::sin(a) * radius)));
            };
            EXPECT_EQ(image.pixelColor(px(r.Radius)), KNavy) << k;
            // 1.5 logical pixels either side of the line, and no more.
            const double edge = std::floor(1.5 * r.Ratio);
            EXPECT_EQ(image.pixelColor(px(r.Radius - edge - 4)), KSilver) << k;
            EXPECT_EQ(image.pixelColor(px(r.Radius + edge + 4)), KSilver) << k;
        }
    }
}

TEST_F(TDisplayTest, AtRatioTwoAOnePixelLineIsTwoPixelsWideAndNothingIsADoubledImage) {
    TShapePicture picture = Picture(CircleRadii(), CircleRadii());
    picture.DetailedGrid = true;
    const QImage sharp = RenderShape(picture, ShapePictureSize, 2);
    // Logical row 153 crosses the vertical grid lines at +-5, 10, 15 mm (31,
    // 62, 93 logical pixels) well inside the circle: each is one logical
    // pixel, two image pixels, wide, where the logical line lies.
    const auto runs = RunsInRow(sharp, 2 * 153, KGrey);
    ASSERT_FALSE(runs.empty());
    for (const int offset : {-93, -62, -31, 31, 62, 93}) {
        const int x = 2 * (236 + offset);
        const auto run = std::find_if(runs.begin(), runs.end(), [&](const auto& candidate) {
            return candidate.first >= x - 1 && candidate.first <= x + 1;
        });
        ASSERT_NE(run, runs.end()) << offset;
        EXPECT_EQ(run->second, 2) << offset;
    }
    // The axes (2 logical pixels) are 4 image pixels wide.
    const auto axis = RunsInRow(sharp, 2 * 100, KBlack);
    ASSERT_EQ(axis.size(), 1u);
    EXPECT_EQ(axis.front().second, 4);

    // A picture doubled from ratio 1 has every pair of columns 2i, 2i + 1
    // alike; the sharp one has outline edges between them.
    TShapePicture plain = Picture(CircleRadii(), CircleRadii());
    plain.DetailedGrid = true;
    const QImage doubled =
        RenderShape(plain).scaled(sharp.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    const auto splitPairs = [](const QImage& image) {
        int split = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x + 1 < image.width(); x += 2)
                split += image.pixel(x, y) != image.pixel(x + 1, y) ? 1 : 0;
        return split;
    };
    EXPECT_EQ(splitPairs(doubled), 0);
    EXPECT_GT(splitPairs(sharp), 100);
}

#ifdef TREVALON_TEST_XINUSE
// Whether XGETBV with ECX = 1 tells which register state components are in
// use (not in their initial state), and the system saves the AVX state.
bool CanSeeUpperState() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid_max(0, nullptr) < 0xd) return false;
    __cpuid_count(0xd, 1, a, b, c, d);
    if ((a & 4u) == 0) return false;
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx") != 0;
}

// Bit 2 of XINUSE: the upper halves of YMM0-15 are in use. With Dirty, an
// AVX instruction first puts all ones into YMM0, in the same asm statement,
// so nothing compiled in between can clear them.
bool UpperStateInUse(bool dirty) {
    unsigned lo = 0, hi = 0;
    if (dirty)
        asm volatile("vxorps %%ymm0, %%ymm0, %%ymm0\n\tvcmpeqps %%ymm0, %%ymm0, %%ymm0\n\txgetbv"
                     : "=a"(lo), "=d"(hi)
                     : "c"(1)
                     : "xmm0");
    else
        asm volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(1));
    return (lo & 4u) != 0;
}
#endif

// Qt's fill leaves the upper halves of the vector registers in use, which
// makes the plain floating point of the shape code several times slower; the
// display clears them before its own arithmetic. The test makes them dirty
// itself and proves that they were before it checks that they are clear.
TEST_F(TDisplayTest, UpperVectorStateIsClearedAfterPainting) {
#ifdef TREVALON_TEST_XINUSE
    if (!CanSeeUpperState()) GTEST_SKIP() << "the processor does not report its register state";
    ClearUpperVectorState();  // binds the symbol, so the call below runs nothing else first
    ASSERT_TRUE(UpperStateInUse(true)) << "the upper halves could not be made dirty";
    ClearUpperVectorState();
    EXPECT_FALSE(UpperStateInUse(false));
#else
    GTEST_SKIP() << "not an x86 build";
#endif
}

}  // namespace
