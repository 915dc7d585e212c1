#include "app/Glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

constexpr int Size = 16;

void Arrow(QPainter& P, bool Left) {
    QPolygonF Head;
    if (Left)
        Head << QPointF(3, 8) << QPointF(9, 3) << QPointF(9, 13);
    else
        Head << QPointF(13, 8) << QPointF(7, 3) << QPointF(7, 13);
    P.drawPolygon(Head);
}

}  // namespace

QIcon GlyphIcon(TGlyph Glyph) {
    QPixmap Pixmap(Size, Size);
    Pixmap.fill(Qt::transparent);
    QPainter P(&Pixmap);
    P.setRenderHint(QPainter::Antialiasing);
    const QColor Ink(32, 64, 128);
    P.setPen(QPen(Ink, 1.5));
    P.setBrush(Ink);
    switch (Glyph) {
        case glRequest: {  // an arrow down into a tray
            P.drawLine(QPointF(8, 2), QPointF(8, 9));
            QPolygonF Head;
            Head << QPointF(4, 7) << QPointF(12, 7) << QPointF(8, 11);
            P.drawPolygon(Head);
            P.setBrush(Qt::NoBrush);
            P.drawPolyline(QPolygonF() << QPointF(2, 10) << QPointF(2, 14) << QPointF(14, 14)
                                       << QPointF(14, 10));
            break;
        }
        case glSave:  // a diskette
            P.setBrush(Qt::NoBrush);
            P.drawRect(QRectF(2.5, 2.5, 11, 11));
            P.setBrush(Ink);
            P.drawRect(QRectF(5, 3, 6, 3.5));
            P.drawRect(QRectF(4.5, 9, 7, 4));
            break;
        case glReset: {  // a circular arrow
            P.setBrush(Qt::NoBrush);
            P.drawArc(QRectF(3, 3, 10, 10), 90 * 16, 270 * 16);
            P.setBrush(Ink);
            QPolygonF Head;
            Head << QPointF(8, 0.5) << QPointF(12, 3) << QPointF(8, 5.5);
            P.drawPolygon(Head);
            break;
        }
        case glHelp: {
            QFont Font = P.font();
            Font.setPixelSize(14);
            Font.setBold(true);
            P.setFont(Font);
            P.drawText(QRectF(0, 0, Size, Size), Qt::AlignCenter, QStringLiteral("?"));
            break;
        }
        case glSettings:  // sliders
            for (int Row = 0; Row < 3; ++Row) {
                const qreal Y = 3.5 + 4.5 * Row;
                P.drawLine(QPointF(2, Y), QPointF(14, Y));
                P.drawEllipse(QPointF(Row == 1 ? 10 : 6, Y), 1.8, 1.8);
            }
            break;
        case glRotateLeft:
            Arrow(P, true);
            break;
        case glRotateRight:
            Arrow(P, false);
            break;
    }
    P.end();
    return QIcon(Pixmap);
}
