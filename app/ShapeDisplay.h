#pragma once

#include <QColor>
#include <QImage>
#include <QLocale>
#include <QSize>
#include <QString>
#include <string>

#include "drawing/DrawnShapes.h"

// Everything the shape picture is drawn from. The drawing is a function of
// this record alone, so it can be checked pixel by pixel without a window.
// The received outline is drawn while ShowOrig is set.
struct TShapePicture : TDrawnShapes {
    std::string Message;  // drawn in red at the top left when not empty
    bool DetailedGrid = false;
    bool ShowOrig = false;
    // Centre of the received outline; a negative OverlayX places it at the
    // picture centre, and the drawing writes that position back.
    int OverlayX = -1;
    int OverlayY = -1;
};

inline constexpr QSize ShapePictureSize{462, 406};

namespace ShapeColours {
inline const QColor Background{192, 192, 192};
inline const QColor Message{255, 0, 0};
inline const QColor Grid{128, 128, 128};
inline const QColor Working{0, 0, 128};
inline const QColor Received{0, 255, 255};
inline const QColor ValueLine{0, 0, 255};
inline const QColor Axes{0, 0, 0};
}  // namespace ShapeColours

// A picture of the given size in logical pixels, filled with the background
// only. At a device pixel ratio above 1 (a display scaled to 125 %, 150 %,
// 200 %) the image has that many more pixels and carries the ratio, so the
// picture is drawn sharp at the screen's resolution and shown at its size.
QImage BlankShapeImage(QSize size = ShapePictureSize, qreal devicePixelRatio = 1);

// Paints the picture into image, which must already be filled with the
// background: message, grid, working shape, received outline, value line,
// axes and ticks, in that order. The geometry is in logical pixels, the
// image's size divided by its device pixel ratio; lines and texts are drawn
// at the image's own resolution, so a line one logical pixel wide is two
// pixels wide at ratio 2. An image that is not 32-bit RGB is first
// converted to Format_RGB32, as the outlines are written as 32-bit pixels.
// A working shape of fewer than five points,
// or one without extent (scale zero), leaves the background and the message.
// A radius group that is not a number throws the conversion error; the image
// then holds what was painted before it.
void PaintShape(QImage& image, TShapePicture& picture);

// BlankShapeImage plus PaintShape.
QImage RenderShape(TShapePicture& picture, QSize size = ShapePictureSize,
                   qreal devicePixelRatio = 1);

// Qt's AVX2 fill routines (behind QImage::fill and every solid span of a
// QPainter) return with the upper halves of the vector registers still in
// use. Until something clears them, every SSE instruction of plain floating
// point code waits on those halves, which makes the shape arithmetic several
// times slower. Call this after painting and before such arithmetic; it does
// nothing on processors without AVX.
void ClearUpperVectorState();

// "Box A: %.2f, Box B: %.2f, Circ: %.2f", each number as the value edits show
// it (TValueEdit::FormatValue in Locale).
QString ValueLineText(double hbox, double vbox, double circ, const QLocale& locale = QLocale());
