#include "colorgroupbox.h"

#include "lampcolours.h"

#include <QPainter>

ColorGroupBox::ColorGroupBox(QWidget *parent)
    : QGroupBox(parent)
{
    fillColor = LampColours::transition();
}

ColorGroupBox::~ColorGroupBox() = default;

void ColorGroupBox::paintEvent(QPaintEvent *event)
{
    {
        QPainter painter(this);
        // Below the title, one pixel in from the frame on the other sides.
        painter.fillRect(QRect(1, 8, width() - 2, height() - 9), fillColor);
    }
    QGroupBox::paintEvent(event);
}
