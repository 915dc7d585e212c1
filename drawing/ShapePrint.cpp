#include "drawing/ShapePrint.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QPen>
#include <QPolygonF>
#include <QPrinter>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string_view>

#include "shape/Convert.h"

namespace {

constexpr double MarginMm = 15;
constexpr double HeadingMm = 32;  // below the top margin
constexpr double SmallestGridMm = 40;

// Millimetres to device pixels, exactly: the scale of the whole sheet rests on it.
struct TMm {
    double X;  // device pixels per millimetre across
    double Y;  // and down
    double OriginX;
    double OriginY;
    QPointF At(double xMm, double yMm) const {
        return {(OriginX + xMm) * X, (OriginY + yMm) * Y};
    }
    double Width(double mm) const { return mm * (X + Y) / 2; }
};

// The points of a radius string in millimetres, y up.
QPolygonF OutlineMm(std::string_view radii) {
    const int n = static_cast<int>(radii.size() / 4);
    QPolygonF points;
    points.reserve(n);
    const double step = 2 * std::numbers::pi / n;
    for (int i = 0; i < n; ++i) {
        const double r = StrToInt(radii.substr(4 * static_cast<std::size_t>(i), 4)) / 100.0;
        points.append(QPointF(r * std::cos(i * step), r * std::sin(i * step)));
    }
    return points;
}

double Extent(const QPolygonF& points) {
    double extent = 0;
    for (const QPointF& p : points) extent = std::max({extent, std::abs(p.x()), std::abs(p.y())});
    return extent;
}

QPen Pen(const QColor& colour, const TMm& mm, double widthMm) {
    return QPen(colour, mm.Width(widthMm), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void DrawOutline(QPainter& painter, const TMm& mm, const QPolygonF& points, const QPen& pen) {
    QPolygonF device;
    device.reserve(points.size());
    for (const QPointF& p : points) device.append(mm.At(p.x(), -p.y()));
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPolygon(device);
}

// Lines every millimetre across the square of half-size half around the
// centre, stronger every 5 and 10 mm, figures every 10 mm, and the axes.
void DrawGrid(QPainter& painter, const TMm& mm, int half) {
    struct TLevel {
        int Every;
        QColor Colour;
        double Width;
    };
    const TLevel levels[] = {{1, QColor(205, 205, 205), 0.08},
                             {5, QColor(160, 160, 160), 0.12},
                             {10, QColor(110, 110, 110), 0.18}};
    for (const TLevel& level : levels) {
        painter.setPen(Pen(level.Colour, mm, level.Width));
        for (int d = -half; d <= half; ++d) {
            if (d % level.Every != 0) continue;
            painter.drawLine(mm.At(d, -half), mm.At(d, half));
            painter.drawLine(mm.At(-half, d), mm.At(half, d));
        }
    }
    painter.setPen(Pen(Qt::black, mm, 0.25));
    painter.drawLine(mm.At(-half, 0), mm.At(half, 0));
    painter.drawLine(mm.At(0, -half), mm.At(0, half));

    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(7);
    painter.setFont(font);
    painter.setPen(QColor(90, 90, 90));
    const QFontMetricsF metrics(font, painter.device());
    for (int d = -half; d <= half; d += 10) {
        const QString text = QString::number(d);
        const QPointF below = mm.At(d, half + 1);
        painter.drawText(QPointF(below.x() - metrics.horizontalAdvance(text) / 2,
                                 below.y() + metrics.ascent()),
                         text);
        const QPointF left = mm.At(-half - 1, -d);
        painter.drawText(QPointF(left.x() - metrics.horizontalAdvance(text),
                                 left.y() + metrics.ascent() / 2 - metrics.descent() / 2),
                         QString::number(d));
    }
}

void DrawHeading(QPainter& painter, const TMm& mm, const TPrintSheet& sheet) {
    const QLocale locale;
    const auto number = [&](double v) { return locale.toString(v, 'f', 2); };
    struct TLine {
        QString Text;
        double Points;
        bool Bold;
        QColor Colour;
    };
    const TLine lines[] = {
        {QStringLiteral("Tray/Job: ") + sheet.Tray, 14, true, Qt::black},
        {QStringLiteral("Box A: %1 mm    Box B: %2 mm    Circ: %3 mm    DBL: %4 mm")
             .arg(number(sheet.HBox), number(sheet.VBox), number(sheet.Circ), number(sheet.DBL)),
         11, false, Qt::black},
        {QStringLiteral("%1    Trevalon %2    True size (1:1): grid lines 1 mm apart")
             .arg(sheet.Date.toString(Qt::ISODate), sheet.Version),
         9, false, QColor(70, 70, 70)},
    };
    double y = MarginMm * mm.Y;
    const double x = MarginMm * mm.X;
    for (const TLine& line : lines) {
        QFont font(QStringLiteral("Arial"));
        font.setPointSizeF(line.Points);
        font.setBold(line.Bold);
        painter.setFont(font);
        painter.setPen(line.Colour);
        const QFontMetricsF metrics(font, painter.device());
        y += metrics.ascent();
        painter.drawText(QPointF(x, y), line.Text);
        y += metrics.descent() + metrics.leading() + 1.5 * mm.Y;
    }
}

}  // namespace

void PaintPrintSheet(QPagedPaintDevice& device, const TPrintSheet& sheet) {
    const QPolygonF working = OutlineMm(sheet.WorkingRadii);
    const QPolygonF received = OutlineMm(sheet.ReceivedRadii);

    QPainter painter;
    if (!painter.begin(&device)) throw std::runtime_error("Cannot start printing");
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);

    TMm mm{device.logicalDpiX() / 25.4, device.logicalDpiY() / 25.4, 0, 0};
    const double paperWidth = device.width() / mm.X;
    const double paperHeight = device.height() / mm.Y;
    const double top = MarginMm + HeadingMm;
    mm.OriginX = paperWidth / 2;
    mm.OriginY = top + (paperHeight - top - MarginMm) / 2;

    // The grid reaches a little past the shape, whole centimetres, within the margins.
    const double room = std::min(paperWidth / 2 - MarginMm, mm.OriginY - top) - 4;
    const double extent = std::max(Extent(working), Extent(received));
    const int half = static_cast<int>(
        std::max(0.0, std::min(room, std::max(SmallestGridMm, std::ceil((extent + 5) / 10) * 10))));
    DrawGrid(painter, mm, half);
    if (!received.isEmpty()) {
        QPen pen = Pen(QColor(0, 160, 160), mm, 0.25);
        pen.setStyle(Qt::DashLine);
        DrawOutline(painter, mm, received, pen);
    }
    if (!working.isEmpty())
        DrawOutline(painter, mm, working, Pen(QColor::fromRgb(PrintOutlineRgb), mm,
                                              PrintOutlineWidthMm));
    DrawHeading(painter, mm, sheet);
    painter.end();
}

void PrintShapeSheet(QPrinter& printer, const TPrintSheet& sheet) {
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    // The whole paper is the page: nothing is moved or scaled to fit margins.
    printer.setFullPage(true);
    PaintPrintSheet(printer, sheet);
}

TPrintSheet PrintSheetFor(const TTraceInfo& shape, const QString& tray) {
    TPrintSheet sheet;
    sheet.SetShapes(shape);
    sheet.DBL = shape.DBL;
    sheet.Tray = tray;
    sheet.Date = QDate::currentDate();
    sheet.Version = QStringLiteral(TREVALON_VERSION);
    return sheet;
}

void SaveShapeSheetPdf(const QString& fileName, const TPrintSheet& sheet) {
    QPdfWriter writer(fileName);
    writer.setResolution(1200);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setCreator(QStringLiteral("Trevalon ") + sheet.Version);
    writer.setTitle(QStringLiteral("Shape ") + sheet.Tray);
    try {
        PaintPrintSheet(writer, sheet);
    } catch (const std::runtime_error&) {
        throw std::runtime_error("Cannot write the PDF file");
    }
}
