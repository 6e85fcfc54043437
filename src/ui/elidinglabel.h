#pragma once

#include <QLabel>
#include <QString>

// A one-line label that never widens its window. Text too long for the width
// it is given is drawn with one part of it, the elidable one (a port name),
// shortened in the middle, the rest whole; the whole text is then its tool
// tip. text() is always the whole text.
class ElidingLabel : public QLabel
{
public:
    explicit ElidingLabel(QWidget *parent = nullptr);
    ~ElidingLabel() override;

    // elidable: the part of text that may be shortened; empty, or not in
    // text, and the text is shortened at its end.
    void showText(const QString &text, const QString &elidable);
    // What is drawn in the present width.
    QString shownText() const;

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateToolTip();

    QString elidable;
};
