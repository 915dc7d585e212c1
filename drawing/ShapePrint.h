#pragma once

// The printed shape: the working shape at true size on paper, for laying a
// frame on it. A function of its sheet record alone, like the shape picture.

#include <QDate>
#include <QString>

#include "drawing/DrawnShapes.h"
#include "shape/TrceCalc.h"

class QPagedPaintDevice;
class QPrinter;

// The received outline is drawn when it is not empty (the window fills it
// while "Show Orig Shape" is ticked).
struct TPrintSheet : TDrawnShapes {
    double DBL = 0;
    QString Tray;
    QDate Date;
    QString Version;
};

// Pen width of the working outline, millimetres. Its middle runs through the
// shape's points, so the outer edges of the printed line lie half of it
// outside the box.
inline constexpr double PrintOutlineWidthMm = 0.25;
// The working outline's colour on paper.
inline constexpr int PrintOutlineRgb = 0x000080;

// Paints the sheet on one page of device at 1:1: the device's resolution
// gives the millimetres. The shape is centred on the page below the heading
// (tray number, values, date, program version), over a millimetre grid with
// stronger lines every 5 and 10 mm. A radius group that is not a number
// throws the conversion error.
void PaintPrintSheet(QPagedPaintDevice& device, const TPrintSheet& sheet);

// Sets printer up for the sheet (A4 portrait, the whole paper addressable,
// so nothing is scaled to fit) and paints it. Throws std::runtime_error when
// the printer cannot be started.
void PrintShapeSheet(QPrinter& printer, const TPrintSheet& sheet);

// The sheet of Shape for Tray, dated today, naming this program's version;
// no received outline.
TPrintSheet PrintSheetFor(const TTraceInfo& shape, const QString& tray);

// The sheet as a PDF file; throws std::runtime_error with the operator's text
// when it cannot be written.
void SaveShapeSheetPdf(const QString& fileName, const TPrintSheet& sheet);
