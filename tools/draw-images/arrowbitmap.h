#ifndef ARROWBITMAP_H
#define ARROWBITMAP_H

#include <QByteArray>

enum class ArrowDirection { Up, Down, Left, Right };

// A 20 x 20 black-on-white chevron as a complete 8-bit palettised BMP file.
QByteArray arrowBitmap(ArrowDirection direction);

#endif // ARROWBITMAP_H
