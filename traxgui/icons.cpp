#include "icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace traxgui {
namespace {

constexpr int kSize = 32;

/// A transparent square canvas with antialiased painting.
class Canvas {
  public:
    Canvas() : pixmap_(kSize, kSize) {
        pixmap_.fill(Qt::transparent);
        painter_.begin(&pixmap_);
        painter_.setRenderHint(QPainter::Antialiasing);
    }
    QPainter &painter() { return painter_; }
    QIcon icon() {
        painter_.end();
        return QIcon(pixmap_);
    }

  private:
    QPixmap pixmap_;
    QPainter painter_;
};

/// A chip with pins on both sides: the device API.
QIcon chipIcon() {
    Canvas canvas;
    QPainter &p = canvas.painter();
    p.setPen(QPen(QColor(0x60, 0x60, 0x60), 2));
    for (int y = 8; y <= 24; y += 4) {
        p.drawLine(3, y, 8, y);
        p.drawLine(24, y, 29, y);
    }
    p.setPen(QPen(QColor(0x10, 0x20, 0x40), 1));
    p.setBrush(QColor(0x1f, 0x4e, 0x8c));
    p.drawRoundedRect(QRectF(8, 4, 16, 24), 2, 2);
    p.setBrush(QColor(0xd0, 0xe0, 0xf8));
    p.drawEllipse(QPointF(12, 8), 1.5, 1.5);
    return canvas.icon();
}

/// A clock face: timers, delays and signals of the OS services.
QIcon clockIcon() {
    Canvas canvas;
    QPainter &p = canvas.painter();
    p.setPen(QPen(QColor(0x1d, 0x5c, 0x2e), 2));
    p.setBrush(QColor(0xe6, 0xf5, 0xe9));
    p.drawEllipse(QPointF(16, 16), 13, 13);
    for (int hour = 0; hour < 12; hour += 3) {
        p.save();
        p.translate(16, 16);
        p.rotate(hour * 30.0);
        p.drawLine(0, -11, 0, -9);
        p.restore();
    }
    p.setPen(QPen(QColor(0x10, 0x30, 0x18), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(16, 16, 16, 8);
    p.drawLine(16, 16, 22, 19);
    return canvas.icon();
}

/// A sheet with hexadecimal digits: the utilities.
QIcon sheetIcon() {
    Canvas canvas;
    QPainter &p = canvas.painter();
    QPainterPath sheet;
    sheet.moveTo(6, 3);
    sheet.lineTo(20, 3);
    sheet.lineTo(26, 9);
    sheet.lineTo(26, 29);
    sheet.lineTo(6, 29);
    sheet.closeSubpath();
    p.setPen(QPen(QColor(0x70, 0x50, 0x10), 1.5));
    p.setBrush(QColor(0xff, 0xf6, 0xd8));
    p.drawPath(sheet);
    p.drawLine(20, 3, 20, 9);
    p.drawLine(20, 9, 26, 9);
    QFont font = p.font();
    font.setPixelSize(8);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0x80, 0x30, 0x00));
    p.drawText(QRectF(7, 11, 18, 8), Qt::AlignCenter, QStringLiteral("0x"));
    p.drawText(QRectF(7, 19, 18, 8), Qt::AlignCenter, QStringLiteral("1F"));
    return canvas.icon();
}

/// A bell: the alarms of the MT test driver.
QIcon bellIcon() {
    Canvas canvas;
    QPainter &p = canvas.painter();
    QPainterPath bell;
    bell.moveTo(6, 24);
    bell.cubicTo(10, 20, 8, 6, 16, 6);
    bell.cubicTo(24, 6, 22, 20, 26, 24);
    bell.closeSubpath();
    p.setPen(QPen(QColor(0x80, 0x20, 0x10), 1.5));
    p.setBrush(QColor(0xf0, 0xa0, 0x20));
    p.drawPath(bell);
    p.drawEllipse(QPointF(16, 27), 2.5, 2.5);
    p.drawLine(16, 3, 16, 6);
    return canvas.icon();
}

} // namespace

QList<QIcon> ToolbarIcons() {
    return {chipIcon(), clockIcon(), sheetIcon(), bellIcon()};
}

QIcon AppIcon() {
    return chipIcon();
}

} // namespace traxgui
