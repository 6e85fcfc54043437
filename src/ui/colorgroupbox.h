#pragma once

#include <QColor>
#include <QGroupBox>
#include <QString>

class QAccessibleEvent;

// A group box whose inside is one solid colour: the lamp and contact
// indicator around the power buttons. Callers assign fillColor and update(),
// or give colour and words together with showState.
class ColorGroupBox : public QGroupBox
{
public:
    explicit ColorGroupBox(QWidget *parent = nullptr);
    ~ColorGroupBox() override;

    QColor fillColor;

    // The state in colour and in words: the words go into the box's label
    // (its first label child, if it has one) and are its accessible
    // description, so a screen reader says what the colour shows. Nothing
    // is repainted or announced when both are as they were.
    void showState(const QColor &colour, const QString &words);
    QString stateWords() const { return words; }

    // Also given every event that announces a new state. Qt hands accessible
    // events only to an active platform bridge (AT-SPI on a desktop), which
    // the offscreen platform of the tests has not; this lets them listen.
    static void (*announced)(QAccessibleEvent *event);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString words;
};
