#include "elidinglabel.h"

#include "projectortext.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>

ElidingLabel::ElidingLabel(QWidget *parent)
    : QLabel(parent)
{
    // A port name is shown as it is, never read as markup.
    setTextFormat(Qt::PlainText);
}

ElidingLabel::~ElidingLabel() = default;

void ElidingLabel::showText(const QString &text, const QString &part)
{
    elidable = part;
    setText(text);
    updateToolTip();
}

QString ElidingLabel::shownText() const
{
    const QString whole = text();
    const QFontMetrics metrics = fontMetrics();
    const int width = contentsRect().width();
    if (metrics.horizontalAdvance(whole) <= width)
        return whole;
    const int at = elidable.isEmpty() ? -1 : whole.indexOf(elidable);
    if (at >= 0) {
        const QString before = whole.left(at);
        const QString after = whole.mid(at + elidable.size());
        const int room = width - metrics.horizontalAdvance(before + after);
        // Too little room for a recognisable piece of the name: the end goes instead.
        if (room >= 8 * metrics.averageCharWidth()) {
            const QString shown
                = before + metrics.elidedText(elidable, Qt::ElideMiddle, room) + after;
            if (metrics.horizontalAdvance(shown) <= width)
                return shown;
        }
    }
    return metrics.elidedText(whole, Qt::ElideRight, width);
}

// Only the height: the width is whatever the layout has left.
QSize ElidingLabel::minimumSizeHint() const
{
    return QSize(0, QLabel::minimumSizeHint().height());
}

QSize ElidingLabel::sizeHint() const
{
    return QSize(0, QLabel::sizeHint().height());
}

void ElidingLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, contentsRect(),
                          int(QStyle::visualAlignment(layoutDirection(), alignment())), palette(),
                          isEnabled(), shownText(), foregroundRole());
}

void ElidingLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    updateToolTip();
}

void ElidingLabel::updateToolTip()
{
    // The port's name is the user's own text: shown as it stands.
    const QString tip = shownText() == text() ? QString() : ProjectorText::toolTip(text());
    if (toolTip() != tip)
        setToolTip(tip);
}
