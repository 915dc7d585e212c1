#include "app/ShapeDisplay.h"

#include <QCheckBox>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QPolygon>
#include <cmath>
#include <numbers>
#include <string_view>

#include "app/Unit1.h"
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

// The outline of a radius string around (x0, y0) at s mm per pixel, closed by
// starting at the last point. Pixel offsets truncate toward zero.
QPolygon OutlinePixels(std::string_view radii, int x0, int y0, double s) {
    const int n = static_cast<int>(radii.size() / 4);
    const double step = 2 * std::numbers::pi / n;
    QPolygon outline(n + 1);
    for (int i = 0; i < n; ++i) {
        const double r = StrToInt(radii.substr(4 * static_cast<size_t>(i), 4));
        const int x = static_cast<int>(std::trunc(std::cos(i * step) * r / 100 / s));
        const int y = static_cast<int>(std::trunc(std::sin(i * step) * r / 100 / s));
        outline.setPoint(i + 1, x0 + x, y0 - y);
    }
    outline.setPoint(0, outline.point(n));
    return outline;
}

}  // namespace

QImage BlankShapeImage(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(ShapeColours::Background);
    return image;
}

QString ValueLineText(double hbox, double vbox, double circ, const QLocale& locale) {
    const auto two = [&](double v) {
        return locale.toString(v, 'f', 2).remove(locale.groupSeparator());
    };
    return QStringLiteral("Box A: %1, Box B: %2, Circ: %3").arg(two(hbox), two(vbox), two(circ));
}

void PaintShape(QImage& image, TShapePicture& picture) {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(ShapeColours::Background);

    if (!picture.Message.empty()) {
        painter.setFont(PictureFont(true));
        painter.setPen(ShapeColours::Message);
        DrawOpaqueText(painter, 5, 5, QString::fromLatin1(picture.Message));
    }

    TTraceCalc calc;
    calc.LoadTrace(picture.WorkingRadii);
    const std::string working = calc.GetTrace();
    if (working.size() < 20) return;

    const int width = image.width();
    const int height = image.height();
    const int cx = width / 2 + 5;
    const int cy = height / 2;
    if (picture.OverlayX < 0) {
        picture.OverlayX = cx;
        picture.OverlayY = cy;
    }

    const double s = 1.3 * std::max(calc.GetHBox() / width, calc.GetVBox() / height);
    // A shape without extent has no scale; there is nothing sensible to draw.
    if (!(s > 0.0) || !std::isfinite(s)) return;
    const auto P = [s](double mm) { return static_cast<int>(std::trunc(mm / s)); };

    if (picture.DetailedGrid) {
        painter.setPen(ShapePen(ShapeColours::Grid, 1));
        for (int d = 5; d <= 40; d += 5) {
            for (const int x : {cx - P(d), cx + P(d)})
                painter.drawLine(x, cy - P(35), x, cy + P(35));
            if (d > 30) continue;
            for (const int y : {cy + P(d), cy - P(d)})
                painter.drawLine(cx - P(35), y, cx + P(35), y);
        }
    }

    painter.setPen(ShapePen(ShapeColours::Working, 3));
    painter.drawPolyline(OutlinePixels(working, cx, cy, s));

    if (picture.ShowOrig) {
        painter.setPen(ShapePen(ShapeColours::Received, 3));
        // The received outline takes the working shape's scale, so a change of
        // size shows against it; without one the drawing stops here.
        if (picture.ReceivedRadii.size() < 4) return;
        painter.drawPolyline(
            OutlinePixels(picture.ReceivedRadii, picture.OverlayX, picture.OverlayY, s));
    }

    painter.setFont(PictureFont(false));
    painter.setPen(ShapeColours::ValueLine);
    const int lineHeight = QFontMetrics(painter.font(), &image).height();
    DrawOpaqueText(painter, 3, height - lineHeight,
                   ValueLineText(picture.HBox, picture.VBox, picture.Circ));

    painter.setPen(ShapePen(ShapeColours::Axes, 2));
    painter.drawLine(cx - P(40), cy, cx + P(40), cy);
    painter.drawLine(cx, cy - P(30), cx, cy + P(30));

    painter.setPen(ShapePen(ShapeColours::Axes, 1));
    for (int d = 5; d <= 40; d += 5) {
        const int t = static_cast<int>(std::trunc((10 - d % 10) / s / 3));
        for (const int x : {cx - P(d), cx + P(d)}) painter.drawLine(x, cy - t, x, cy + t);
        if (d > 30) continue;
        for (const int y : {cy + P(d), cy - P(d)}) painter.drawLine(cx - t, y, cx + t, y);
    }
}

QImage RenderShape(TShapePicture& picture, QSize size) {
    QImage image = BlankShapeImage(size);
    PaintShape(image, picture);
    return image;
}

void TForm1::DrawShape() {
    TShapePicture Picture;
    Picture.WorkingRadii = FWorking.Radii;
    Picture.ReceivedRadii = FReceived.Radii;
    Picture.HBox = FWorking.HBox;
    Picture.VBox = FWorking.VBox;
    Picture.Circ = FWorking.Circ;
    Picture.Message = FEndMessage;
    Picture.DetailedGrid = DetailedGridCheckBox->isChecked();
    Picture.ShowOrig = ShowOrigCheckbox->isChecked();
    Picture.OverlayX = FOverlayX;
    Picture.OverlayY = FOverlayY;

    const QSize Size = Image1->size().isEmpty() ? ShapePictureSize : Image1->size();
    QImage Image = BlankShapeImage(Size);
    // The picture is replaced in one step, also when the drawing fails part way.
    const auto Show = [&] {
        FOverlayX = Picture.OverlayX;
        FOverlayY = Picture.OverlayY;
        Image1->setPixmap(QPixmap::fromImage(Image));
    };
    try {
        PaintShape(Image, Picture);
    } catch (...) {
        Show();
        throw;
    }
    Show();
}
