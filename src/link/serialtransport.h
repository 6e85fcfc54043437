#pragma once

#include "linktransport.h"

#include <QSerialPort>

// A projector on a serial port of this machine, opened at once with the
// family's line settings and locked against other programs.
class SerialTransport : public LinkTransport
{
    Q_OBJECT

public:
    explicit SerialTransport(QObject *parent = nullptr);

    void start(const LinkAddress &address, int modelIndex) override;
    void stop() override;
    qint64 available() const override;
    qint64 take(char *data, qint64 maxSize) override;
    qint64 send(const char *data, qint64 size) override;
    qint64 unsent() const override;
    bool push() override;
    void setReadLimit(qint64 bytes) override;
    Speed speed() const override { return speedOutcome; }
    QSerialPort *serialDevice() override { return &port; }

private:
    QSerialPort port;
    Speed speedOutcome = Speed::Set;
};
