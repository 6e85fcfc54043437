#include "icons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

QImage transparentCanvas(int side)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// Non-premultiplied ARGB is what the PNG writer stores as 8-bit RGBA.
QImage finished(const QImage &image)
{
    return image.convertToFormat(QImage::Format_ARGB32);
}

// Connector geometry, in a frame where the connection axis is x, the gap
// between the two halves is centred on x = 0 and the picture is later
// turned by 45 degrees so both cables run out through opposite corners.
const QColor outline(13, 52, 128);
const QColor blueLight(110, 170, 255);
const QColor blueDark(24, 84, 200);
constexpr qreal outlineWidth = 7;
constexpr qreal bodyLength = 74;
constexpr qreal bodyHalfHeight = 40;
constexpr qreal cableHalfWidth = 14;
constexpr qreal pinLength = 34;
constexpr qreal pinHalfThickness = 7;
constexpr qreal pinOffset = 19;

QLinearGradient bodyGradient()
{
    QLinearGradient gradient(0, -bodyHalfHeight, 0, bodyHalfHeight);
    gradient.setColorAt(0, blueLight);
    gradient.setColorAt(1, blueDark);
    return gradient;
}

void setOutline(QPainter &painter)
{
    painter.setPen(QPen(outline, outlineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

// A cable leaving the body at x = from towards x = to (off the canvas).
void drawCable(QPainter &painter, qreal from, qreal to)
{
    const qreal left = qMin(from, to);
    const QRectF cable(left, -cableHalfWidth, qAbs(to - from), 2 * cableHalfWidth);
    setOutline(painter);
    painter.setBrush(bodyGradient());
    painter.drawRect(cable);
}

// A connector body whose mating face is at x = face and which extends
// towards -x when direction is -1 (the plug) or +x when it is +1 (the socket).
// The back tapers into the cable like a moulded strain relief.
void drawBody(QPainter &painter, qreal face, int direction)
{
    const qreal back = face + direction * bodyLength;
    const qreal taperEnd = back + direction * 22;
    QPainterPath path;
    path.moveTo(face, -bodyHalfHeight);
    path.lineTo(back, -bodyHalfHeight);
    path.lineTo(taperEnd, -cableHalfWidth - 4);
    path.lineTo(taperEnd, cableHalfWidth + 4);
    path.lineTo(back, bodyHalfHeight);
    path.lineTo(face, bodyHalfHeight);
    path.closeSubpath();

    setOutline(painter);
    painter.setBrush(bodyGradient());
    painter.drawPath(path);

    // Grip ribs across the body make it read as a connector, not a box.
    painter.setPen(QPen(outline, 5, Qt::SolidLine, Qt::RoundCap));
    for (int rib = 1; rib <= 2; ++rib) {
        const qreal x = face + direction * (bodyLength * 0.38 + rib * 14);
        painter.drawLine(QPointF(x, -bodyHalfHeight + 14), QPointF(x, bodyHalfHeight - 14));
    }

    // Gloss along the upper edge.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 90));
    const qreal nearX = face + direction * 8;
    const qreal farX = face + direction * (bodyLength - 6);
    painter.drawRoundedRect(QRectF(qMin(nearX, farX), -bodyHalfHeight + 7, qAbs(farX - nearX), 10),
                            5, 5);
}

void drawPins(QPainter &painter, qreal face)
{
    painter.setPen(QPen(QColor(60, 66, 78), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (qreal y : { -pinOffset, pinOffset }) {
        QLinearGradient metal(0, y - pinHalfThickness, 0, y + pinHalfThickness);
        metal.setColorAt(0, QColor(235, 238, 242));
        metal.setColorAt(1, QColor(140, 148, 160));
        painter.setBrush(metal);
        painter.drawRoundedRect(
            QRectF(face - 4, y - pinHalfThickness, pinLength + 4, 2 * pinHalfThickness), 4, 4);
    }
}

void drawSocketHoles(QPainter &painter, qreal face)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(outline);
    for (qreal y : { -pinOffset, pinOffset })
        painter.drawRoundedRect(
            QRectF(face + 5, y - pinHalfThickness - 1, 10, 2 * pinHalfThickness + 2), 3, 3);
}

void drawSparks(QPainter &painter)
{
    // Short strokes radiating from the middle of the gap.
    painter.setPen(QPen(QColor(225, 30, 30), 13, Qt::SolidLine, Qt::RoundCap));
    const struct
    {
        qreal angle;
        qreal inner;
        qreal outer;
    } marks[] = {
        { 90, 24, 60 },  { 270, 24, 60 }, { 55, 40, 72 },
        { 125, 40, 72 }, { 235, 40, 72 }, { 305, 40, 72 },
    };
    for (const auto &mark : marks) {
        QLineF ray = QLineF::fromPolar(mark.outer, mark.angle);
        const QPointF outer = ray.p2();
        ray.setLength(mark.inner);
        painter.drawLine(ray.p2(), outer);
    }
}

QImage connectorIcon(bool connected)
{
    QImage image = transparentCanvas(256);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(128, 128);
    painter.rotate(-45);

    const qreal edge = 200; // beyond the canvas corner in this frame
    if (connected) {
        const qreal face = 0;
        drawCable(painter, -bodyLength - 20, -edge);
        drawCable(painter, bodyLength + 20, edge);
        drawBody(painter, face - outlineWidth / 2, -1);
        drawBody(painter, face + outlineWidth / 2, +1);
    } else {
        // Faces placed symmetrically keep the picture centred on the canvas.
        const qreal plugFace = -50;
        const qreal socketFace = 50;
        drawCable(painter, plugFace - bodyLength - 20, -edge);
        drawCable(painter, socketFace + bodyLength + 20, edge);
        drawPins(painter, plugFace);
        drawBody(painter, plugFace, -1);
        drawBody(painter, socketFace, +1);
        drawSocketHoles(painter, socketFace);
        painter.translate((plugFace + pinLength + socketFace) / 2, 0);
        drawSparks(painter);
    }
    painter.end();
    return finished(image);
}

} // namespace

QImage projectorIcon()
{
    QImage image = transparentCanvas(32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    const QColor dark(48, 54, 64);

    // Feet first, so the body overlaps their tops.
    painter.setPen(Qt::NoPen);
    painter.setBrush(dark);
    painter.drawRect(QRectF(4, 24, 4, 3));
    painter.drawRect(QRectF(24, 24, 4, 3));

    // Body, lit from above.
    QLinearGradient shell(0, 8, 0, 25);
    shell.setColorAt(0, QColor(246, 248, 251));
    shell.setColorAt(1, QColor(168, 176, 188));
    painter.setPen(QPen(dark, 1));
    painter.setBrush(shell);
    painter.drawRoundedRect(QRectF(1.5, 9.5, 29, 15), 3, 3);

    // Raised top panel.
    painter.setBrush(QColor(214, 219, 227));
    painter.drawRoundedRect(QRectF(14.5, 6.5, 13, 4), 1.5, 1.5);

    // Vent slots on the right half.
    painter.setPen(QPen(QColor(90, 98, 110), 1.2, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 3; ++i) {
        const qreal y = 14.5 + i * 3;
        painter.drawLine(QPointF(19.5, y), QPointF(25.5, y));
    }

    // Power lamp.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 200, 70));
    painter.drawEllipse(QPointF(27.8, 20.5), 1.3, 1.3);

    // Lens: dark barrel, blue glass, highlight.
    const QPointF lens(9.5, 17);
    painter.setPen(Qt::NoPen);
    painter.setBrush(dark);
    painter.drawEllipse(lens, 6.5, 6.5);
    QRadialGradient glass(lens - QPointF(1.5, 1.5), 6);
    glass.setColorAt(0, QColor(170, 215, 255));
    glass.setColorAt(0.6, QColor(40, 110, 210));
    glass.setColorAt(1, QColor(15, 45, 110));
    painter.setBrush(glass);
    painter.drawEllipse(lens, 4.5, 4.5);
    painter.setBrush(QColor(255, 255, 255, 200));
    painter.drawEllipse(lens - QPointF(1.8, 1.8), 1.3, 1.3);

    painter.end();
    return finished(image);
}

QImage connectedIcon()
{
    return connectorIcon(true);
}

QImage disconnectedIcon()
{
    return connectorIcon(false);
}
