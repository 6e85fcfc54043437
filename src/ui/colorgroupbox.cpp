#include "colorgroupbox.h"

#include "lampcolours.h"

#include <QAccessible>
#include <QLabel>
#include <QPainter>
#include <QPalette>

#include <cmath>

namespace {

// Relative luminance as the contrast rules of WCAG define it.
double luminance(const QColor &colour)
{
    const auto linear
        = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF())
        + 0.0722 * linear(colour.blueF());
}

} // namespace

void (*ColorGroupBox::announced)(QAccessibleEvent *event) = nullptr;

ColorGroupBox::ColorGroupBox(QWidget *parent)
    : QGroupBox(parent)
{
    fillColor = LampColours::transition();
}

ColorGroupBox::~ColorGroupBox() = default;

void ColorGroupBox::showState(const QColor &colour, const QString &stateWords)
{
    if (colour == fillColor && stateWords == words)
        return;
    const bool reworded = stateWords != words;
    fillColor = colour;
    words = stateWords;
    if (QLabel *label = findChild<QLabel *>(QString(), Qt::FindDirectChildrenOnly)) {
        label->setText(words);
        // Black or white, whichever stands out more from the fill.
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText,
                         luminance(colour) > 0.18 ? QColor(Qt::black) : QColor(Qt::white));
        label->setPalette(palette);
    }
    if (reworded) {
        // Setting the description sends assistive technology its change.
        setAccessibleDescription(words);
        if (announced) {
            QAccessibleEvent event(this, QAccessible::DescriptionChanged);
            announced(&event);
        }
    }
    update();
}

void ColorGroupBox::paintEvent(QPaintEvent *event)
{
    {
        QPainter painter(this);
        // Below the title, one pixel in from the frame on the other sides.
        painter.fillRect(QRect(1, 8, width() - 2, height() - 9), fillColor);
    }
    QGroupBox::paintEvent(event);
}
