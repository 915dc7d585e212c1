#include "app/Glyphs.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>

namespace {

// The glyphs are drawn on a 16 x 16 grid and scaled to the size asked for.
constexpr int Size = 16;

void Arrow(QPainter& p, bool left) {
    QPolygonF head;
    if (left)
        head << QPointF(3, 8) << QPointF(9, 3) << QPointF(9, 13);
    else
        head << QPointF(13, 8) << QPointF(7, 3) << QPointF(7, 13);
    p.drawPolygon(head);
}

void DrawGlyph(QPainter& p, TGlyph glyph) {
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(32, 64, 128);
    p.setPen(QPen(ink, 1.5));
    p.setBrush(ink);
    switch (glyph) {
        case glRequest: {  // an arrow down into a tray
            p.drawLine(QPointF(8, 2), QPointF(8, 9));
            QPolygonF head;
            head << QPointF(4, 7) << QPointF(12, 7) << QPointF(8, 11);
            p.drawPolygon(head);
            p.setBrush(Qt::NoBrush);
            p.drawPolyline(QPolygonF() << QPointF(2, 10) << QPointF(2, 14) << QPointF(14, 14)
                                       << QPointF(14, 10));
            break;
        }
        case glSave:  // a diskette
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRectF(2.5, 2.5, 11, 11));
            p.setBrush(ink);
            p.drawRect(QRectF(5, 3, 6, 3.5));
            p.drawRect(QRectF(4.5, 9, 7, 4));
            break;
        case glReset: {  // a circular arrow
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(3, 3, 10, 10), 90 * 16, 270 * 16);
            p.setBrush(ink);
            QPolygonF head;
            head << QPointF(8, 0.5) << QPointF(12, 3) << QPointF(8, 5.5);
            p.drawPolygon(head);
            break;
        }
        case glHelp:  // a question mark, drawn rather than set in a font: a bold
                      // face loaded only for it would cost the start a font engine
            p.setPen(QPen(ink, 2.2, Qt::SolidLine, Qt::RoundCap));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(4.5, 1.5, 7, 7), 160 * 16, -250 * 16);
            p.drawLine(QPointF(8, 8.5), QPointF(8, 10));
            p.setPen(Qt::NoPen);
            p.setBrush(ink);
            p.drawEllipse(QPointF(8, 13.3), 1.4, 1.4);
            break;
        case glSettings:  // sliders
            for (int row = 0; row < 3; ++row) {
                const qreal y = 3.5 + 4.5 * row;
                p.drawLine(QPointF(2, y), QPointF(14, y));
                p.drawEllipse(QPointF(row == 1 ? 10 : 6, y), 1.8, 1.8);
            }
            break;
        case glRotateLeft:
            Arrow(p, true);
            break;
        case glRotateRight:
            Arrow(p, false);
            break;
    }
}

// Draws each pixmap at the size it is asked for, so the buttons' glyphs are
// as sharp at 150 % or 200 % display scale as at 100 %, where they come out
// exactly as drawn on the grid.
class TGlyphIconEngine : public QIconEngine {
public:
    explicit TGlyphIconEngine(TGlyph glyph) : FGlyph(glyph) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal ratio = painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1;
        const QPixmap drawn = pixmap(rect.size() * ratio, mode, state);
        painter->drawPixmap(rect, drawn);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        {
            QPainter p(&pixmap);
            p.scale(size.width() / qreal(Size), size.height() / qreal(Size));
            DrawGlyph(p, FGlyph);
        }
        if (mode == QIcon::Normal || mode == QIcon::Active) return pixmap;
        // Greyed as the style greys any other icon.
        QStyleOption option;
        option.palette = QApplication::palette();
        return QApplication::style()->generatedIconPixmap(mode, pixmap, &option);
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine* clone() const override { return new TGlyphIconEngine(FGlyph); }
    QString key() const override { return QStringLiteral("TGlyphIconEngine"); }

private:
    TGlyph FGlyph;
};

}  // namespace

QIcon GlyphIcon(TGlyph glyph) {
    return QIcon(new TGlyphIconEngine(glyph));
}
