#include "shell/Icons.h"

#include "shell/CommandIds.h"

#include <QPainter>
#include <QPainterPath>

namespace vantrel {
namespace {

constexpr int kButtonWidth = 16;
constexpr int kButtonHeight = 15;

QPixmap Blank(int w, int h)
{
    QPixmap pixmap(w, h);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A hand-held radio: body, antenna and a display.
void DrawRadio(QPainter& p, const QRectF& body)
{
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(QColor(70, 80, 95));
    p.drawRoundedRect(body, 1.5, 1.5);
    p.drawLine(QPointF(body.left() + 2, body.top()), QPointF(body.left() + 2, body.top() - 4));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 210, 150));
    p.drawRect(QRectF(body.left() + 1.5, body.top() + 1.5, body.width() - 3, body.height() * 0.3));
}

QPixmap RadioInfoImage()
{
    QPixmap pixmap = Blank(kButtonWidth, kButtonHeight);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    DrawRadio(p, QRectF(1.5, 4.5, 7, 10));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 90, 200));
    p.drawEllipse(QRectF(8, 4, 8, 8));
    p.setPen(QPen(Qt::white, 1.4));
    p.drawLine(QPointF(12, 7.2), QPointF(12, 10.5));
    p.drawPoint(QPointF(12, 5.6));
    return pixmap;
}

QPixmap UpgradeImage()
{
    QPixmap pixmap = Blank(kButtonWidth, kButtonHeight);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    DrawRadio(p, QRectF(1.5, 4.5, 7, 10));
    QPainterPath arrow;
    arrow.moveTo(12.5, 1);
    arrow.lineTo(16, 6);
    arrow.lineTo(14, 6);
    arrow.lineTo(14, 13);
    arrow.lineTo(11, 13);
    arrow.lineTo(11, 6);
    arrow.lineTo(9, 6);
    arrow.closeSubpath();
    p.setPen(QPen(QColor(20, 100, 20), 0.8));
    p.setBrush(QColor(60, 170, 60));
    p.drawPath(arrow);
    return pixmap;
}

QPixmap AboutImage()
{
    QPixmap pixmap = Blank(kButtonWidth, kButtonHeight);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(30, 60, 140), 1));
    p.setBrush(QColor(255, 255, 225));
    p.drawEllipse(QRectF(1.5, 0.5, 13, 13));
    QFont font = p.font();
    font.setPixelSize(11);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(30, 60, 140));
    p.drawText(QRectF(1.5, 0.5, 13, 13), Qt::AlignCenter, QStringLiteral("?"));
    return pixmap;
}

} // namespace

QPixmap ToolbarImage(uint32_t commandId)
{
    switch (commandId) {
    case cmd::ToolbarRadioInfo:
        return RadioInfoImage();
    case cmd::ToolbarUpgrade:
        return UpgradeImage();
    case cmd::ToolbarAbout:
        return AboutImage();
    default:
        return Blank(kButtonWidth, kButtonHeight);
    }
}

QIcon MainIcon()
{
    QPixmap pixmap = Blank(32, 32);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(2.0, 2.0);
    DrawRadio(p, QRectF(4.5, 4.5, 8, 11));
    return QIcon(pixmap);
}

QPixmap CautionPicture()
{
    QPixmap pixmap = Blank(40, 36);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath triangle;
    triangle.moveTo(20, 2);
    triangle.lineTo(38, 34);
    triangle.lineTo(2, 34);
    triangle.closeSubpath();
    p.setPen(QPen(QColor(40, 40, 40), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(250, 200, 30));
    p.drawPath(triangle);
    p.setPen(QPen(QColor(30, 30, 30), 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(20, 13), QPointF(20, 24));
    p.drawPoint(QPointF(20, 29.5));
    return pixmap;
}

} // namespace vantrel
