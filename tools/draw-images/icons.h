#ifndef ICONS_H
#define ICONS_H

#include <QImage>

// Window icon: a small video projector, 32 x 32.
QImage projectorIcon();

// Connection state icons, 256 x 256; shown at 32 x 32, so the shapes are bold.
QImage connectedIcon();
QImage disconnectedIcon();

#endif // ICONS_H
