#include "arrowbitmap.h"

#include <QColor>

#include <cstdint>

namespace {

constexpr int side = 20;
constexpr int paletteEntries = 256;
constexpr int fileHeaderSize = 14;
constexpr int infoHeaderSize = 40;
constexpr int pixelOffset = fileHeaderSize + infoHeaderSize + paletteEntries * 4;
// Rows of a BMP are padded to four bytes; 20 needs no padding.
constexpr int rowStride = (side + 3) / 4 * 4;
constexpr int pixelBytes = rowStride * side;
constexpr int fileSize = pixelOffset + pixelBytes;
static_assert(fileSize == 1478, "arrow bitmaps have a fixed file size");

constexpr uint8_t blackIndex = 0;
constexpr uint8_t whiteIndex = 255;

constexpr QRgb lowColours[10] = {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),     qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128),   qRgb(0, 128, 128), qRgb(192, 192, 192),
    qRgb(192, 220, 192), qRgb(166, 202, 240),
};
constexpr QRgb highColours[10] = {
    qRgb(255, 251, 240), qRgb(160, 160, 164), qRgb(128, 128, 128), qRgb(255, 0, 0),
    qRgb(0, 255, 0),     qRgb(255, 255, 0),   qRgb(0, 0, 255),     qRgb(255, 0, 255),
    qRgb(0, 255, 255),   qRgb(255, 255, 255),
};

QRgb paletteColour(int index)
{
    if (index < 10)
        return lowColours[index];
    if (index >= paletteEntries - 10)
        return highColours[index - (paletteEntries - 10)];
    return qRgb(0, 0, 0);
}

// Half-width of the chevron in columns from the centre line, and the
// vertical thickness of each arm; together they keep the glyph centred.
constexpr int armReach = 6;
constexpr int armThickness = 4;
constexpr int apexRow = (side - (armReach + armThickness)) / 2;

// The up chevron in top-down image coordinates; the other directions are
// mirrored or transposed from it so all four stay exactly alike.
bool upChevronAt(int x, int y)
{
    // Columns 9 and 10 share the apex, so the shape is symmetric on an even width.
    const int fromCentre = x < side / 2 ? side / 2 - 1 - x : x - side / 2;
    if (fromCentre > armReach - 1)
        return false;
    const int top = apexRow + fromCentre;
    return y >= top && y < top + armThickness;
}

bool chevronAt(ArrowDirection direction, int x, int y)
{
    switch (direction) {
    case ArrowDirection::Up:
        return upChevronAt(x, y);
    case ArrowDirection::Down:
        return upChevronAt(x, side - 1 - y);
    case ArrowDirection::Left:
        return upChevronAt(y, x);
    case ArrowDirection::Right:
        return upChevronAt(y, side - 1 - x);
    }
    return false;
}

void putU16(QByteArray &out, uint16_t value)
{
    out.append(char(value & 0xff));
    out.append(char(value >> 8));
}

void putU32(QByteArray &out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.append(char((value >> shift) & 0xff));
}

} // namespace

QByteArray arrowBitmap(ArrowDirection direction)
{
    QByteArray out;
    out.reserve(fileSize);

    // BITMAPFILEHEADER
    out.append("BM", 2);
    putU32(out, fileSize);
    putU16(out, 0);
    putU16(out, 0);
    putU32(out, pixelOffset);

    // BITMAPINFOHEADER; a positive height means rows are stored bottom-up.
    putU32(out, infoHeaderSize);
    putU32(out, side);
    putU32(out, side);
    putU16(out, 1); // planes
    putU16(out, 8); // bits per pixel
    putU32(out, 0); // BI_RGB
    putU32(out, pixelBytes);
    putU32(out, 2835); // 72 dpi
    putU32(out, 2835);
    putU32(out, paletteEntries);
    putU32(out, 0); // all colours important

    // The twenty fixed colours of the Windows default palette at both ends
    // (black first, white last), zeros between: a full table that still
    // compresses well inside the resource collection.
    for (int i = 0; i < paletteEntries; ++i) {
        const QRgb colour = paletteColour(i);
        out.append(char(qBlue(colour)));
        out.append(char(qGreen(colour)));
        out.append(char(qRed(colour)));
        out.append(char(0));
    }

    for (int row = side - 1; row >= 0; --row) {
        for (int column = 0; column < rowStride; ++column) {
            const bool ink = column < side && chevronAt(direction, column, row);
            out.append(char(ink ? blackIndex : whiteIndex));
        }
    }

    Q_ASSERT(out.size() == fileSize);
    return out;
}
