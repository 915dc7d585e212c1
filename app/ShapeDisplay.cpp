#include "app/ShapeDisplay.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QLine>
#include <QList>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <cmath>
#include <numbers>
#include <string_view>
#include <vector>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define TREVALON_X86_VZEROUPPER 1
#endif

#include "app/ScreenTexts.h"
#include "app/Unit1.h"
#include "app/ValueEdit.h"
#include "shape/Convert.h"
#include "shape/TrceCalc.h"

namespace {

// Arial 14 pt on a 96 dpi picture: 19 pixels to the em.
QFont PictureFont(bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(19);
    font.setBold(bold);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

// Texts are opaque: their own rectangle is cleared to the background first.
void DrawOpaqueText(QPainter& painter, int x, int y, const QString& text) {
    const QFontMetrics metrics(painter.font(), painter.device());
    const QRect box(x, y, metrics.horizontalAdvance(text), metrics.height());
    painter.fillRect(box, ShapeColours::Background);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

QPen ShapePen(const QColor& colour, int width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// The outline of a radius string around the logical pixel (x0, y0) at s mm
// per logical pixel, in the pixels of an image of the given device pixel
// ratio, as the closed run of lines from the last point through points 0 to
// n - 1. The centre is the image pixel under the logical pixel's centre;
// offsets, in image pixels, truncate toward zero. A line that stays on one
// pixel is left out (its neighbours' ends cover it), unless the whole outline
// is one pixel.
QList<QLine> OutlineLines(std::string_view radii, int x0, int y0, double s, qreal ratio) {
    const int n = static_cast<int>(radii.size() / 4);
    const double step = 2 * std::numbers::pi / n;
    const int centreX = static_cast<int>(std::floor((x0 + 0.5) * ratio));
    const int centreY = static_cast<int>(std::floor((y0 + 0.5) * ratio));
    std::vector<QPoint> pixels(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double r = StrToInt(radii.substr(4 * static_cast<size_t>(i), 4));
        const int x = static_cast<int>(std::trunc(std::cos(i * step) * r / 100 / s * ratio));
        const int y = static_cast<int>(std::trunc(std::sin(i * step) * r / 100 / s * ratio));
        pixels[static_cast<size_t>(i)] = QPoint(centreX + x, centreY - y);
    }
    QList<QLine> lines;
    lines.reserve(n);
    QPoint from = pixels.back();
    for (const QPoint& to : pixels) {
        if (to != from) lines.append(QLine(from, to));
        from = to;
    }
    if (lines.isEmpty()) lines.append(QLine(from, from));
    return lines;
}

// Draws lines with a round pen 3 logical pixels wide: every pixel of the
// one-pixel line (both ends included) becomes the set of pixel centres within
// 1.5 logical pixels of it, a 3 x 3 block at ratio 1 and a disc at higher
// ratios. Outlines have a thousand short lines, and the general stroker needs
// far longer for them than a keystroke may take.
void DrawOutline(QImage& image, const QList<QLine>& lines, const QColor& colour, qreal ratio) {
    const QRgb value = colour.rgb();
    const int width = image.width();
    const int height = image.height();
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    // Half the width of the disc's row at each height, from its top row down.
    const double radius = 1.5 * ratio;
    const int reach = static_cast<int>(std::floor(radius));
    std::vector<int> halfRow(static_cast<size_t>(2 * reach + 1));
    for (int dy = -reach; dy <= reach; ++dy)
        halfRow[static_cast<size_t>(dy + reach)] =
            static_cast<int>(std::floor(std::sqrt(radius * radius - dy * dy)));
    const auto stamp = [&](int x, int y) {
        for (int yy = std::max(y - reach, 0); yy <= std::min(y + reach, height - 1); ++yy) {
            auto* row = reinterpret_cast<QRgb*>(bits + yy * stride);
            const int half = halfRow[static_cast<size_t>(yy - y + reach)];
            for (int xx = std::max(x - half, 0); xx <= std::min(x + half, width - 1); ++xx)
                row[xx] = value;
        }
    };
    for (const QLine& line : lines) {
        int x = line.x1();
        int y = line.y1();
        const int dx = std::abs(line.x2() - x);
        const int dy = -std::abs(line.y2() - y);
        const int sx = x < line.x2() ? 1 : -1;
        const int sy = y < line.y2() ? 1 : -1;
        int error = dx + dy;
        for (;;) {
            stamp(x, y);
            if (x == line.x2() && y == line.y2()) break;
            const int twice = 2 * error;
            if (twice >= dy) {
                error += dy;
                x += sx;
            }
            if (twice <= dx) {
                error += dx;
                y += sy;
            }
        }
    }
}

void BeginPainting(QPainter& painter, QImage& image) {
    painter.begin(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(ShapeColours::Background);
}

}  // namespace

#ifdef TREVALON_X86_VZEROUPPER
namespace {
// Compiled for AVX on its own and never inlined, so the rest of the program
// keeps its baseline instruction set; nothing lives in vector registers across
// a call, so clearing their upper halves here is safe.
__attribute__((target("avx"), noinline)) void ZeroUpper() {
    _mm256_zeroupper();
}
// Also true only when the system saves the AVX registers.
bool HasAvx() {
    static const bool Has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx") != 0;
    }();
    return Has;
}
}  // namespace
#endif

void ClearUpperVectorState() {
#ifdef TREVALON_X86_VZEROUPPER
    if (HasAvx()) ZeroUpper();
#endif
}

QImage BlankShapeImage(QSize size, qreal devicePixelRatio) {
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1;
    // Whole image pixels covering the logical size; the logical size comes
    // back by rounding (462 at 125 % is 577.5 pixels: 578, read as 462).
    QImage image(static_cast<int>(std::ceil(size.width() * ratio)),
                 static_cast<int>(std::ceil(size.height() * ratio)), QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(ShapeColours::Background);
    return image;
}

QString ValueLineText(double hbox, double vbox, double circ, const QLocale& locale) {
    // The numbers read as the edits show them.
    const auto two = [&](double v) { return TValueEdit::FormatValue(v, locale); };
    return QCoreApplication::translate("TShapePicture", "Box A: %1, Box B: %2, Circ: %3")
        .arg(two(hbox), two(vbox), two(circ));
}

void PaintShape(QImage& image, TShapePicture& picture) {
    // The outlines are written as 32-bit pixels straight into the image.
    const QImage::Format format = image.format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied)
        image.convertTo(QImage::Format_RGB32);
    QPainter painter;
    BeginPainting(painter, image);

    if (!picture.Message.empty()) {
        painter.setFont(PictureFont(true));
        painter.setPen(ShapeColours::Message);
        DrawOpaqueText(painter, 5, 5, ScreenText(picture.Message));
    }

    TTraceCalc calc;
    calc.LoadTrace(picture.WorkingRadii);
    const std::string working = calc.GetTrace();
    if (working.size() < 20) return;

    const qreal ratio = image.devicePixelRatio();
    const int width = qRound(image.width() / ratio);
    const int height = qRound(image.height() / ratio);
    const int cx = width / 2 + 5;
    const int cy = height / 2;
    if (picture.OverlayX < 0) {
        picture.OverlayX = cx;
        picture.OverlayY = cy;
    }

    const double s = 1.3 * std::max(calc.GetHBox() / width, calc.GetVBox() / height);
    // A shape without extent has no scale; there is nothing sensible to draw.
    if (!(s > 0.0) || !std::isfinite(s)) return;
    const auto p = [s](double mm) { return static_cast<int>(std::trunc(mm / s)); };

    if (picture.DetailedGrid) {
        painter.setPen(ShapePen(ShapeColours::Grid, 1));
        for (int d = 5; d <= 40; d += 5) {
            for (const int x : {cx - p(d), cx + p(d)})
                painter.drawLine(x, cy - p(35), x, cy + p(35));
            if (d > 30) continue;
            for (const int y : {cy + p(d), cy - p(d)})
                painter.drawLine(cx - p(35), y, cx + p(35), y);
        }
    }

    // The outlines go straight into the pixels, with no painter on the image.
    painter.end();
    ClearUpperVectorState();
    DrawOutline(image, OutlineLines(working, cx, cy, s, ratio), ShapeColours::Working, ratio);
    if (picture.ShowOrig) {
        // The received outline takes the working shape's scale, so a change of
        // size shows against it; without one the drawing stops here.
        if (picture.ReceivedRadii.size() < 4) return;
        DrawOutline(
            image,
            OutlineLines(picture.ReceivedRadii, picture.OverlayX, picture.OverlayY, s, ratio),
            ShapeColours::Received, ratio);
    }
    BeginPainting(painter, image);

    painter.setFont(PictureFont(false));
    painter.setPen(ShapeColours::ValueLine);
    const int lineHeight = QFontMetrics(painter.font(), &image).height();
    DrawOpaqueText(painter, 3, height - lineHeight,
                   ValueLineText(picture.HBox, picture.VBox, picture.Circ));

    painter.setPen(ShapePen(ShapeColours::Axes, 2));
    painter.drawLine(cx - p(40), cy, cx + p(40), cy);
    painter.drawLine(cx, cy - p(30), cx, cy + p(30));

    painter.setPen(ShapePen(ShapeColours::Axes, 1));
    for (int d = 5; d <= 40; d += 5) {
        const int t = static_cast<int>(std::trunc((10 - d % 10) / s / 3));
        for (const int x : {cx - p(d), cx + p(d)}) painter.drawLine(x, cy - t, x, cy + t);
        if (d > 30) continue;
        for (const int y : {cy + p(d), cy - p(d)}) painter.drawLine(cx - t, y, cx + t, y);
    }
}

QImage RenderShape(TShapePicture& picture, QSize size, qreal devicePixelRatio) {
    QImage image = BlankShapeImage(size, devicePixelRatio);
    PaintShape(image, picture);
    return image;
}

void TForm1::DrawShape() {
    TShapePicture picture;
    picture.SetShapes(FWorking, FReceived.Radii);
    picture.Message = FEndMessage;
    picture.DetailedGrid = DetailedGridCheckBox->isChecked();
    picture.ShowOrig = ShowOrigCheckbox->isChecked();
    picture.OverlayX = FOverlayX;
    picture.OverlayY = FOverlayY;

    const QSize size = Image1->size().isEmpty() ? ShapePictureSize : Image1->size();
    // Drawn at the resolution of the screen the window is on.
    QImage image = BlankShapeImage(size, Image1->devicePixelRatioF());
    // The picture is replaced in one step, also when the drawing fails part way.
    const auto show = [&] {
        FOverlayX = picture.OverlayX;
        FOverlayY = picture.OverlayY;
        Image1->setPixmap(QPixmap::fromImage(image));
        FPictureCleared = false;
    };
    try {
        PaintShape(image, picture);
    } catch (...) {
        show();
        throw;
    }
    show();
}
