#include "gui/app/toolbar_icons.h"

#include <QDir>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace os {

namespace {

const QColor kInk(0x33, 0x3b, 0x45);
const QColor kPaper(0xfb, 0xfb, 0xf8);
const QColor kBlue(0x2f, 0x6f, 0xb5);
const QColor kGreen(0x3a, 0x8f, 0x4c);
const QColor kRed(0xc0, 0x3a, 0x2b);
const QColor kGold(0xd9, 0xa4, 0x2b);

void drawExit(QPainter& p)
{
    // An open door with an arrow leaving through it.
    p.setPen(QPen(kInk, 2));
    p.setBrush(QColor(0x9c, 0x6b, 0x3e));
    p.drawRect(QRectF(5, 4, 14, 24));
    p.setBrush(kInk);
    p.drawEllipse(QPointF(15.5, 16), 1.3, 1.3);
    p.setPen(QPen(kRed, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(17, 16), QPointF(28, 16));
    p.drawLine(QPointF(24, 11.5), QPointF(28.5, 16));
    p.drawLine(QPointF(24, 20.5), QPointF(28.5, 16));
}

void drawOrders(QPainter& p)
{
    // An invoice: a sheet with lines and a total.
    p.setPen(QPen(kInk, 1.6));
    p.setBrush(kPaper);
    p.drawRect(QRectF(7, 3, 18, 26));
    p.setPen(QPen(kBlue, 2));
    for (int y = 9; y <= 19; y += 5)
        p.drawLine(QPointF(10, y), QPointF(22, y));
    p.setPen(QPen(kGreen, 2.4));
    p.drawLine(QPointF(15, 24.5), QPointF(22, 24.5));
}

void drawCustomers(QPainter& p)
{
    // Two people.
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue.lighter(140));
    p.drawEllipse(QPointF(21, 10), 4.5, 4.5);
    QPainterPath back;
    back.addRoundedRect(QRectF(14, 16, 15, 12), 6, 6);
    p.drawPath(back);
    p.setBrush(kBlue);
    p.drawEllipse(QPointF(12, 11), 5, 5);
    QPainterPath front;
    front.addRoundedRect(QRectF(3, 18, 18, 12), 7, 7);
    p.drawPath(front);
}

void drawPostOffice(QPainter& p)
{
    // An envelope.
    p.setPen(QPen(kInk, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kPaper);
    p.drawRect(QRectF(3, 8, 26, 17));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(3, 8), QPointF(16, 18), QPointF(29, 8)}));
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawRect(QRectF(23, 10, 4, 4));
}

void drawOnline(QPainter& p)
{
    // A globe.
    p.setPen(QPen(kBlue, 1.8));
    p.setBrush(QColor(0xe3, 0xef, 0xfa));
    p.drawEllipse(QPointF(16, 16), 12, 12);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(16, 16), 5.5, 12);
    p.drawLine(QPointF(4, 16), QPointF(28, 16));
    p.drawLine(QPointF(16, 4), QPointF(16, 28));
    p.drawLine(QPointF(6, 10), QPointF(26, 10));
    p.drawLine(QPointF(6, 22), QPointF(26, 22));
}

void drawToDo(QPainter& p)
{
    // A checklist.
    p.setPen(QPen(kInk, 1.6));
    p.setBrush(kPaper);
    p.drawRect(QRectF(5, 3, 22, 26));
    for (int i = 0; i < 3; ++i) {
        const qreal y = 9 + i * 7;
        p.setPen(QPen(kInk, 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(8, y - 2.5, 5, 5));
        p.setPen(QPen(kInk, 1.8));
        p.drawLine(QPointF(15, y), QPointF(24, y));
    }
    p.setPen(QPen(kGreen, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(8, 8.5), QPointF(10.5, 11), QPointF(15, 5)}));
}

void drawHelp(QPainter& p)
{
    // A question mark in a circle.
    p.setPen(Qt::NoPen);
    p.setBrush(kGold);
    p.drawEllipse(QPointF(16, 16), 13, 13);
    QFont f;
    f.setBold(true);
    f.setPixelSize(20);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter, QStringLiteral("?"));
}

void drawSales(QPainter& p)
{
    // Three bars rising, a line over them.
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kGold);
    p.drawRect(QRectF(5, 18, 6, 10));
    p.drawRect(QRectF(13, 12, 6, 16));
    p.drawRect(QRectF(21, 6, 6, 22));
    p.setPen(QPen(kGreen, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(4, 14), QPointF(14, 8), QPointF(27, 3)}));
}

} // namespace

QIcon makeToolbarIcon(ToolbarIcon which)
{
    QIcon icon;
    for (int size : {32, 64}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 32.0, size / 32.0);
        switch (which) {
        case ToolbarIcon::Exit:
            drawExit(p);
            break;
        case ToolbarIcon::Orders:
            drawOrders(p);
            break;
        case ToolbarIcon::Customers:
            drawCustomers(p);
            break;
        case ToolbarIcon::PostOffice:
            drawPostOffice(p);
            break;
        case ToolbarIcon::Online:
            drawOnline(p);
            break;
        case ToolbarIcon::ToDo:
            drawToDo(p);
            break;
        case ToolbarIcon::Help:
            drawHelp(p);
            break;
        case ToolbarIcon::Sales:
            drawSales(p);
            break;
        }
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QIcon programIcon()
{
    QIcon icon;
    const QDir sizes(QStringLiteral(":/icons/hicolor"));
    for (const QString& size : sizes.entryList(QDir::Dirs))
        icon.addFile(sizes.filePath(size + QStringLiteral("/apps/ordersentinel.png")));
    return icon;
}

} // namespace os
