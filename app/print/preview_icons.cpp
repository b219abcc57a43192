// The preview's pictures, drawn here: the tool-bar icons, the window icon
// and the background tile.
#include "preview_icons.h"

#include "../platform/control_ids.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

constexpr int kSize = 32;
const QColor kInk(52, 72, 110);
const QColor kAccent(34, 136, 204);

QPainterPath Triangle(double tipX, double baseX)
{
    QPainterPath path;
    path.moveTo(tipX, 16);
    path.lineTo(baseX, 7);
    path.lineTo(baseX, 25);
    path.closeSubpath();
    return path;
}

void Sheet(QPainter &p, const QRectF &r)
{
    p.setPen(QPen(kInk, 1.5));
    p.setBrush(Qt::white);
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - 5, r.top());
    path.lineTo(r.right(), r.top() + 5);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.drawPath(path);
}

void Printer(QPainter &p, double x)
{
    p.setPen(QPen(kInk, 1.5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(x + 7, 4, 14, 9));
    p.setBrush(kInk);
    p.drawRoundedRect(QRectF(x + 2, 12, 24, 11), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(x + 7, 19, 14, 9));
    p.setPen(QPen(kAccent, 2));
    p.drawPoint(QPointF(x + 22, 15.5));
}

}  // namespace

QIcon PreviewIcon(int id)
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    switch (id) {
    case ID_PREVIEW_FIRST:
        p.drawRect(QRectF(7, 7, 3, 18));
        p.drawPath(Triangle(11, 24));
        break;
    case ID_PREVIEW_PREVIOUS: p.drawPath(Triangle(9, 22)); break;
    case ID_PREVIEW_NEXT: p.drawPath(Triangle(23, 10)); break;
    case ID_PREVIEW_LAST:
        p.drawPath(Triangle(21, 8));
        p.drawRect(QRectF(22, 7, 3, 18));
        break;
    case ID_PREVIEW_GOTO: {
        Sheet(p, QRectF(5, 3, 18, 25));
        p.setPen(QPen(kAccent, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLine(QPointF(12, 17), QPointF(27, 17));
        p.drawLine(QPointF(22, 12), QPointF(27, 17));
        p.drawLine(QPointF(22, 22), QPointF(27, 17));
        break;
    }
    case ID_PREVIEW_CLOSE:
        p.setPen(QPen(QColor(190, 50, 50), 3.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9, 9), QPointF(23, 23));
        p.drawLine(QPointF(23, 9), QPointF(9, 23));
        break;
    case ID_PREVIEW_PRINT: Printer(p, 2); break;
    case ID_PREVIEW_PRINT_ALL:
        Sheet(p, QRectF(16, 1, 13, 16));
        Printer(p, 0);
        break;
    case ID_PREVIEW_SAVE_PDF: {
        Sheet(p, QRectF(5, 2, 22, 28));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(190, 50, 50));
        p.drawRoundedRect(QRectF(2, 15, 22, 10), 2, 2);
        QFont font = p.font();
        font.setPixelSize(8);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(2, 15, 22, 10), Qt::AlignCenter, QStringLiteral("PDF"));
        break;
    }
    default: {  // the window icon: a page under a lens
        Sheet(p, QRectF(4, 2, 19, 26));
        p.setPen(QPen(kAccent, 3));
        p.setBrush(QColor(255, 255, 255, 180));
        p.drawEllipse(QPointF(19, 19), 6.5, 6.5);
        p.drawLine(QPointF(24, 24), QPointF(29, 29));
        break;
    }
    }
    return QIcon(pixmap);
}

QPixmap PreviewBackgroundTile()
{
    // A quiet diagonal weave, so the white page stands out.
    QPixmap tile(8, 8);
    tile.fill(QColor(128, 134, 142));
    QPainter p(&tile);
    p.setPen(QColor(118, 124, 132));
    p.drawLine(0, 7, 7, 0);
    p.setPen(QColor(138, 144, 152));
    p.drawPoint(1, 1);
    p.drawPoint(5, 5);
    return tile;
}
