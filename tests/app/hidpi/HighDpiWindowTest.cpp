// The window on a display scaled to 200 % (QT_SCALE_FACTOR=2, set before the
// application starts): the picture keeps its size in logical pixels and is
// drawn in twice the pixels, not enlarged from a picture of half as many; so
// are the buttons' glyphs.
#include <QAbstractButton>
#include <QCheckBox>
#include <QImage>
#include <QPixmap>

#include "tests/app/FormFixture.h"

namespace {

class THighDpiWindowTest : public TFormFixture {};

TEST_F(THighDpiWindowTest, ThePictureHasTwiceThePixelsAndOneLogicalPixelLinesTwoPixelsWide) {
    Create();
    FForm->show();
    ASSERT_EQ(FForm->devicePixelRatioF(), 2.0) << "the scale factor did not reach the window";
    ASSERT_TRUE(FForm->OpenJobFile(QStringLiteral(TREVALON_SAMPLES_DIR "/R360_3.oma")))
        << Panel(0).toStdString();
    FForm->DetailedGridCheckBox->click();
    Settle();

    EXPECT_EQ(FForm->Image1->size(), QSize(462, 406));  // logical, as specified
    const QPixmap pixmap = FForm->Image1->pixmap();
    EXPECT_EQ(pixmap.size(), QSize(924, 812));
    EXPECT_EQ(pixmap.devicePixelRatio(), 2.0);
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_RGB32);

    // Logical row 10 lies above the shape and every horizontal line: it
    // crosses only the vertical grid lines, each one logical pixel wide.
    const QRgb grey = qRgb(128, 128, 128);
    for (const int y : {20, 21}) {
        int lines = 0;
        for (int x = 0; x < image.width();) {
            if (image.pixel(x, y) != grey) {
                ++x;
                continue;
            }
            int end = x;
            while (end < image.width() && image.pixel(end, y) == grey) ++end;
            EXPECT_EQ(end - x, 2) << "grid line at image column " << x << ", row " << y;
            ++lines;
            x = end;
        }
        EXPECT_GE(lines, 10) << "row " << y;
    }

    // A picture enlarged from 462 x 406 has columns 2i and 2i + 1 alike.
    int split = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x + 1 < image.width(); x += 2)
            split += image.pixel(x, y) != image.pixel(x + 1, y) ? 1 : 0;
    EXPECT_GT(split, 100) << "the picture is an enlarged copy";
}

// Pixels of a glyph that are neither empty nor fully inked: its soft edge.
// Redrawn at twice the size, a glyph's edge grows with its outline (about
// twice the pixels); enlarged from the small one, with its area (four times).
struct TInk {
    int Edge = 0;
    double Alpha = 0;
};

TInk InkOf(const QPixmap& pixmap) {
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    TInk ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = qAlpha(image.pixel(x, y));
            ink.Edge += alpha > 0 && alpha < 255 ? 1 : 0;
            ink.Alpha += alpha / 255.0;
        }
    return ink;
}

TEST_F(THighDpiWindowTest, ButtonGlyphsAreDrawnAtTheScreensPixelRatio) {
    Create();
    FForm->show();
    Settle();
    ASSERT_EQ(FForm->devicePixelRatioF(), 2.0) << "the scale factor did not reach the window";
    const QAbstractButton* buttons[] = {FForm->ReqButton,     FForm->SaveButton,
                                       FForm->ResetButton,   FForm->HelpButton,
                                       FForm->SettingsButton, FForm->RotLeftButton,
                                       FForm->RotRightButton};
    for (const QAbstractButton* button : buttons) {
        SCOPED_TRACE(button->text().isEmpty() ? button->toolTip().toStdString()
                                              : button->text().toStdString());
        const QSize size = button->iconSize();
        const QPixmap sharp = button->icon().pixmap(size, FForm->devicePixelRatioF());
        const QPixmap plain = button->icon().pixmap(size, 1.0);
        EXPECT_EQ(sharp.size(), size * 2);
        EXPECT_EQ(sharp.devicePixelRatio(), 2.0);
        ASSERT_EQ(plain.size(), size);
        const TInk big = InkOf(sharp);
        const TInk small = InkOf(plain);
        ASSERT_GT(small.Edge, 0) << "no glyph drawn";
        // The same drawing: four times the ink in four times the pixels.
        EXPECT_NEAR(big.Alpha / small.Alpha, 4.0, 0.8);
        EXPECT_LT(big.Edge, 3 * small.Edge) << "the glyph is an enlarged copy";
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Before the application exists: Qt reads the factor once, at its start.
    qputenv("QT_SCALE_FACTOR", "2");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
