// The window moved between a screen at 100 % and one at 200 %: the picture is
// drawn again in the pixels of the screen it is on, each way, and stays the
// same picture in logical pixels.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWindow>

#include "tests/app/FormFixture.h"

namespace {

class TScreenChangeTest : public TFormFixture {
protected:
    static QScreen* Screen(const char* name) {
        for (QScreen* screen : QGuiApplication::screens())
            if (screen->name() == QLatin1String(name)) return screen;
        return nullptr;
    }

    // Puts the window on the named screen, as the window system does when it
    // is dragged there.
    void MoveTo(const char* name) {
        QScreen* screen = Screen(name);
        ASSERT_NE(screen, nullptr)
            << "no screen " << name << ": the platform configuration was not read";
        FForm->windowHandle()->setScreen(screen);  // repaints the window
        Settle();
        ASSERT_EQ(FForm->screen(), screen);
    }

    // The picture as the operator sees it, in logical pixels.
    QImage Logical() const {
        const QPixmap pixmap = FForm->Image1->pixmap();
        return pixmap.toImage()
            .scaled(pixmap.deviceIndependentSize().toSize(), Qt::IgnoreAspectRatio,
                    Qt::FastTransformation)
            .convertToFormat(QImage::Format_RGB32);
    }
};

TEST_F(TScreenChangeTest, ThePictureFollowsThePixelRatioOfItsScreen) {
    Create();
    FForm->show();
    MoveTo("normal");
    ASSERT_TRUE(FForm->OpenJobFile(QStringLiteral(TREVALON_SAMPLES_DIR "/R360_3.oma")))
        << Panel(0).toStdString();
    FForm->DetailedGridCheckBox->click();
    Settle();
    ASSERT_EQ(FForm->Image1->pixmap().size(), QSize(462, 406));
    const QImage atOne = Logical();

    MoveTo("scaled");
    ASSERT_EQ(FForm->devicePixelRatioF(), 2.0);
    Settle();
    const QPixmap sharp = FForm->Image1->pixmap();
    EXPECT_EQ(sharp.size(), QSize(924, 812));
    EXPECT_EQ(sharp.devicePixelRatio(), 2.0);
    EXPECT_EQ(FForm->Image1->size(), QSize(462, 406));
    // Drawn anew, not enlarged: columns 2i and 2i + 1 differ somewhere.
    const QImage image = sharp.toImage().convertToFormat(QImage::Format_RGB32);
    int split = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x + 1 < image.width(); x += 2)
            split += image.pixel(x, y) != image.pixel(x + 1, y) ? 1 : 0;
    EXPECT_GT(split, 100) << "the picture is an enlarged copy";

    MoveTo("normal");
    Settle();
    EXPECT_EQ(FForm->Image1->pixmap().size(), QSize(462, 406));
    EXPECT_EQ(FForm->Image1->pixmap().devicePixelRatio(), 1.0);
    EXPECT_TRUE(Logical() == atOne) << "back at 100 % the picture is not the one drawn there";
}

TEST_F(TScreenChangeTest, AnEmptyPictureStaysEmpty) {
    Create();
    FForm->show();
    MoveTo("scaled");
    Settle();
    const QPixmap pixmap = FForm->Image1->pixmap();
    EXPECT_EQ(pixmap.size(), QSize(924, 812));
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_RGB32);
    const QRgb background = image.pixel(0, 0);
    int other = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) other += image.pixel(x, y) != background ? 1 : 0;
    EXPECT_EQ(other, 0) << "an empty picture was drawn with something in it";
}

}  // namespace

int main(int argc, char** argv) {
    // Two screens side by side, the second at 200 %; the platform reads them
    // once, when the application starts.
    const QString config = QDir::temp().filePath(
        QStringLiteral("trevalon-screens-%1.json").arg(QCoreApplication::applicationPid()));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) return 2;
    file.write(R"({"screens": [
        {"name": "normal", "x": 0, "y": 0, "width": 1200, "height": 900, "dpr": 1.0},
        {"name": "scaled", "x": 1200, "y": 0, "width": 1200, "height": 900, "dpr": 2.0}]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toUtf8());
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    QFile::remove(config);
    return result;
}
