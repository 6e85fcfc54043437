#ifndef ICONS_H
#define ICONS_H

#include <QByteArray>
#include <QImage>

// Window and application icon: a small video projector, side x side pixels;
// the window uses the 32 x 32 one.
QImage projectorIcon(int side = 32);

// The same projector as a complete SVG file, for the scalable theme icon.
QByteArray projectorSvg();

// Connection state icons, 256 x 256; shown at 32 x 32, so the shapes are bold.
QImage connectedIcon();
QImage disconnectedIcon();

#endif // ICONS_H
