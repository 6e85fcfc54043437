#include "icons.h"

#include <QBuffer>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRegularExpression>
#include <QSvgGenerator>

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

// Keeps the small and the odd sizes sharp: line widths become whole pixels,
// at least one, and edges fall on the pixel grid, with outlines placed so
// that they cover whole pixels. The 32-unit frame is on the grid as drawn,
// so at 32 px, as in the SVG, everything stays as it is.
class PixelGrid
{
public:
    explicit PixelGrid(qreal pixelsPerUnit)
        : scale(pixelsPerUnit)
        , hinted(pixelsPerUnit != 1)
    { }

    qreal width(qreal units) const
    {
        return hinted ? qMax(1, qRound(units * scale)) / scale : units;
    }

    // A fill's edge.
    qreal edge(qreal units) const { return hinted ? qRound(units * scale) / scale : units; }

    // The centre line of a stroke of the given width.
    qreal centre(qreal units, qreal lineWidth) const
    {
        if (!hinted)
            return units;
        const qreal offset = qRound(lineWidth * scale) % 2 ? 0.5 : 0;
        return (qRound(units * scale - offset) + offset) / scale;
    }

    QRectF area(const QRectF &rect) const
    {
        return QRectF(QPointF(edge(rect.left()), edge(rect.top())),
                      QPointF(edge(rect.right()), edge(rect.bottom())));
    }

    QRectF outlined(const QRectF &rect, qreal lineWidth) const
    {
        return QRectF(QPointF(centre(rect.left(), lineWidth), centre(rect.top(), lineWidth)),
                      QPointF(centre(rect.right(), lineWidth), centre(rect.bottom(), lineWidth)));
    }

    // A step between parallel lines: whole pixels, with a gap between them.
    qreal step(qreal units, qreal lineWidth) const
    {
        if (!hinted)
            return units;
        return qMax(qRound(units * scale), qRound(lineWidth * scale) + 1) / scale;
    }

private:
    qreal scale;
    bool hinted;
};

// The projector in a 32 x 32 frame, for any number of pixels per unit.
void paintProjector(QPainter &painter, qreal pixelsPerUnit)
{
    const PixelGrid grid(pixelsPerUnit);
    const QColor dark(48, 54, 64);

    // Feet first, so the body overlaps their tops.
    painter.setPen(Qt::NoPen);
    painter.setBrush(dark);
    painter.drawRect(grid.area(QRectF(4, 24, 4, 3)));
    painter.drawRect(grid.area(QRectF(24, 24, 4, 3)));

    // Body, lit from above.
    QLinearGradient shell(0, 8, 0, 25);
    shell.setColorAt(0, QColor(246, 248, 251));
    shell.setColorAt(1, QColor(168, 176, 188));
    const qreal outlineWidth = grid.width(1);
    painter.setPen(QPen(dark, outlineWidth));
    painter.setBrush(shell);
    painter.drawRoundedRect(grid.outlined(QRectF(1.5, 9.5, 29, 15), outlineWidth), 3, 3);

    // Raised top panel.
    painter.setBrush(QColor(214, 219, 227));
    painter.drawRoundedRect(grid.outlined(QRectF(14.5, 6.5, 13, 4), outlineWidth), 1.5, 1.5);

    // Vent slots on the right half, spaced about the middle one.
    const qreal ventWidth = grid.width(1.2);
    const qreal ventStep = grid.step(3, ventWidth);
    const qreal middleVent = grid.centre(17.5, ventWidth);
    const qreal ventLeft = grid.edge(19.5);
    const qreal ventRight = grid.edge(25.5);
    painter.setPen(QPen(QColor(90, 98, 110), ventWidth, Qt::SolidLine, Qt::RoundCap));
    for (int i = -1; i <= 1; ++i) {
        const qreal y = middleVent + i * ventStep;
        painter.drawLine(QPointF(ventLeft, y), QPointF(ventRight, y));
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
}

constexpr int projectorFrame = 32;

} // namespace

QImage projectorIcon(int side)
{
    QImage image = transparentCanvas(side);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal pixelsPerUnit = qreal(side) / projectorFrame;
    painter.scale(pixelsPerUnit, pixelsPerUnit);
    paintProjector(painter, pixelsPerUnit);
    painter.end();
    return finished(image);
}

QByteArray projectorSvg()
{
    QBuffer buffer;
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(QSize(projectorFrame, projectorFrame));
    generator.setViewBox(QRect(0, 0, projectorFrame, projectorFrame));
    generator.setTitle(QStringLiteral("Vantrel"));
    generator.setDescription(QStringLiteral("A video projector"));
    QPainter painter(&generator);
    painter.setRenderHint(QPainter::Antialiasing);
    paintProjector(painter, 1);
    painter.end();

    // The generator sizes the picture in millimetres and gives every group
    // font attributes, one of them invalid; an icon has no text and is sized
    // in pixels.
    QString svg = QString::fromUtf8(buffer.data());
    svg.replace(QRegularExpression(QStringLiteral("width=\"[0-9.]+mm\" height=\"[0-9.]+mm\"")),
                QStringLiteral("width=\"%1\" height=\"%1\"").arg(projectorFrame));
    svg.replace(QRegularExpression(QStringLiteral("\\s*font-family=\"\" font-size=\"-1\" "
                                                  "font-weight=\"400\" font-style=\"normal\" *")),
                QString());
    return svg.toUtf8();
}

QImage connectedIcon()
{
    return connectorIcon(true);
}

QImage disconnectedIcon()
{
    return connectorIcon(false);
}
