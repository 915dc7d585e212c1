// The printed shape at true size: the PDF is rendered by poppler's pdftoppm
// at a known resolution and the working outline measured in its pixels.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "drawing/ShapePrint.h"
#include "oma/JobFile.h"
#include "tests/files/FileApp.h"
#include "tests/files/FileTestData.h"

namespace {

constexpr int Dpi = 300;
constexpr double PixelsPerMm = Dpi / 25.4;

struct TBox {
    int Left = 1 << 30;
    int Top = 1 << 30;
    int Right = -1;
    int Bottom = -1;
    bool Empty() const { return Right < 0; }
};

// Pixels of the working outline's colour (navy, also where it is drawn over
// the grid); anti-aliased edges paler than about 70 % coverage are left out.
TBox OutlineBox(const QImage& image) {
    TBox box;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = row[x];
            if (qRed(p) < 70 && qGreen(p) < 70 && qBlue(p) > 90 && qBlue(p) - qRed(p) > 60) {
                box.Left = std::min(box.Left, x);
                box.Right = std::max(box.Right, x);
                box.Top = std::min(box.Top, y);
                box.Bottom = std::max(box.Bottom, y);
            }
        }
    }
    return box;
}

// The box over the points of a radius string, the centre included, computed
// here from the groups themselves.
void PointBox(const std::string& radii, double& width, double& height) {
    const int n = static_cast<int>(radii.size() / 4);
    double left = 0, right = 0, bottom = 0, top = 0;
    for (int i = 0; i < n; ++i) {
        const double r = std::stoi(radii.substr(4 * static_cast<std::size_t>(i), 4)) / 100.0;
        const double a = 2 * std::numbers::pi * i / n;
        left = std::min(left, r * std::cos(a));
        right = std::max(right, r * std::cos(a));
        bottom = std::min(bottom, r * std::sin(a));
        top = std::max(top, r * std::sin(a));
    }
    width = right - left;
    height = top - bottom;
}

class TPrintTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureGuiApplication();
        ASSERT_TRUE(FDir.isValid());
    }

    // Writes the sheet as PDF and renders its page at Dpi.
    QImage Render(const TPrintSheet& sheet) {
        const QString pdf = FDir.filePath(QStringLiteral("shape.pdf"));
        SaveShapeSheetPdf(pdf, sheet);
        QProcess render;
        render.start(QStringLiteral(PDFTOPPM_EXECUTABLE),
                     {QStringLiteral("-r"), QString::number(Dpi), QStringLiteral("-png"),
                      QStringLiteral("-singlefile"), pdf, FDir.filePath(QStringLiteral("page"))});
        EXPECT_TRUE(render.waitForFinished(60000)) << "pdftoppm did not finish";
        EXPECT_EQ(render.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(render.exitCode(), 0) << render.readAllStandardError().toStdString();
        return QImage(FDir.filePath(QStringLiteral("page.png"))).convertToFormat(QImage::Format_RGB32);
    }

    QString Text(const QString& pdf) {
        QProcess extract;
        extract.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        EXPECT_TRUE(extract.waitForFinished(60000));
        return QString::fromUtf8(extract.readAllStandardOutput());
    }

    static TPrintSheet Sheet(const std::string& radii) {
        TPrintSheet sheet;
        sheet.WorkingRadii = radii;
        sheet.HBox = 50;
        sheet.VBox = 50;
        sheet.Circ = 157.08;
        sheet.DBL = 18;
        sheet.Tray = QStringLiteral("4711");
        sheet.Date = QDate(2026, 12, 7);
        sheet.Version = QStringLiteral("1.0.0");
        return sheet;
    }

    QTemporaryDir FDir;
};

struct TScaleCase {
    const char* Name;
    std::string Radii;
    double BoxA;  // mm, from golden values or an independent computation
    double BoxB;
};

std::vector<TScaleCase> ScaleCases() {
    std::vector<TScaleCase> cases;
    std::string circle;
    for (int i = 0; i < 1024; ++i) circle += "2500";
    cases.push_back({"Circle50", circle, 50.0, 50.0});
    const std::string sample =
        ParseJobFile(ReadWholeFile(SamplePath("R360_3.oma"))).Radii;  // stated 51.00 x 44.01
    cases.push_back({"SampleR360_3", sample, 51.00, 44.01});
    const std::string wide = TestRadii(512);
    double a = 0, b = 0;
    PointBox(wide, a, b);
    cases.push_back({"TestShape", wide, a, b});
    std::string large;
    for (int i = 0; i < 400; ++i) {
        const double t = 2 * std::numbers::pi * i / 400;
        large += FormatGroup(static_cast<int>(
            std::lround(100 * 80 / std::sqrt(std::pow(std::cos(t), 2) + std::pow(1.9 * std::sin(t), 2)))));
    }
    PointBox(large, a, b);
    cases.push_back({"Large160", large, a, b});
    return cases;
}

void PrintTo(const TScaleCase& shape, std::ostream* out) {
    *out << shape.Name << " (" << shape.BoxA << " x " << shape.BoxB << " mm)";
}

class TPrintScaleTest : public TPrintTest, public ::testing::WithParamInterface<TScaleCase> {};

TEST_P(TPrintScaleTest, TheOutlineMeasuresItsBoxOnPaper) {
    const TScaleCase& shape = GetParam();
    const QImage page = Render(Sheet(shape.Radii));
    ASSERT_FALSE(page.isNull());
    // A4 at 300 dpi.
    EXPECT_NEAR(page.width(), 210 * PixelsPerMm, 1.5);
    EXPECT_NEAR(page.height(), 297 * PixelsPerMm, 1.5);
    const TBox box = OutlineBox(page);
    ASSERT_FALSE(box.Empty()) << "no outline on the page";
    // The pen's middle runs through the points: its outer edges add one pen width.
    const double width = (box.Right - box.Left + 1) / PixelsPerMm - PrintOutlineWidthMm;
    const double height = (box.Bottom - box.Top + 1) / PixelsPerMm - PrintOutlineWidthMm;
    EXPECT_NEAR(width, shape.BoxA, 0.2);
    EXPECT_NEAR(height, shape.BoxB, 0.2);
}

INSTANTIATE_TEST_SUITE_P(Shapes, TPrintScaleTest, ::testing::ValuesIn(ScaleCases()),
                         [](const auto& row) { return std::string(row.param.Name); });

TEST_F(TPrintTest, TheHeadingNamesTheJobValuesDateAndVersion) {
    TPrintSheet sheet = Sheet(TestRadii(360));
    sheet.HBox = 48.125;
    sheet.VBox = 37.5;
    sheet.Circ = 140.254;
    sheet.DBL = 17;
    const QString pdf = FDir.filePath(QStringLiteral("heading.pdf"));
    SaveShapeSheetPdf(pdf, sheet);
    const QString text = Text(pdf).simplified();
    const QLocale locale;
    for (const QString& expected :
         {QStringLiteral("Tray/Job: 4711"),
          QStringLiteral("Box A: %1 mm").arg(locale.toString(48.125, 'f', 2)),
          QStringLiteral("Box B: %1 mm").arg(locale.toString(37.5, 'f', 2)),
          QStringLiteral("Circ: %1 mm").arg(locale.toString(140.254, 'f', 2)),
          QStringLiteral("DBL: %1 mm").arg(locale.toString(17.0, 'f', 2)),
          QStringLiteral("2026-12-07"), QStringLiteral("Trevalon 1.0.0")})
        EXPECT_TRUE(text.contains(expected)) << expected.toStdString() << " not in "
                                             << text.toStdString();
}

TEST_F(TPrintTest, TheReceivedOutlineIsDrawnOnlyWhenGiven) {
    TPrintSheet sheet = Sheet(TestRadii(360));
    const auto teal = [](const QImage& page) {
        int n = 0;
        for (int y = 0; y < page.height(); y += 2)
            for (int x = 0; x < page.width(); x += 2) {
                const QRgb p = page.pixel(x, y);
                n += qRed(p) < 60 && qGreen(p) > 120 && qBlue(p) > 120 ? 1 : 0;
            }
        return n;
    };
    EXPECT_EQ(teal(Render(sheet)), 0);
    std::string larger;
    for (int i = 0; i < 512; ++i) larger += "3000";
    sheet.ReceivedRadii = larger;
    EXPECT_GT(teal(Render(sheet)), 100);
}

TEST_F(TPrintTest, AnUnwritablePdfFileIsReported) {
    try {
        SaveShapeSheetPdf(FDir.filePath(QStringLiteral("missing/shape.pdf")), Sheet(TestRadii(64)));
        FAIL() << "no failure";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Cannot write the PDF file");
    }
}

}  // namespace
