#pragma once

#include <QColor>
#include <QGroupBox>

// A group box whose inside is one solid colour: the lamp and contact
// indicator around the power buttons. Callers assign fillColor and update().
class ColorGroupBox : public QGroupBox
{
public:
    explicit ColorGroupBox(QWidget *parent = nullptr);
    ~ColorGroupBox() override;

    QColor fillColor;

protected:
    void paintEvent(QPaintEvent *event) override;
};
