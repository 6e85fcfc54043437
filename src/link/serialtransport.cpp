#include "serialtransport.h"

#include "linkaddress.h"
#include "portloss.h"
#include "serialline.h"

SerialTransport::SerialTransport(QObject *parent)
    : LinkTransport(parent)
{
    connect(&port, &QSerialPort::readyRead, this, &LinkTransport::dataArrived);
    connect(&port, &QSerialPort::bytesWritten, this, &LinkTransport::dataSent);
    // Qt repeats these as long as a vanished device stays open; the link
    // closes it once, after the signal has returned.
    connect(&port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (port.isOpen() && PortLoss::meansDeviceGone(error))
            emit gone(PortStatus::Problem::Lost, port.errorString());
    });
}

void SerialTransport::start(const LinkAddress &address, int modelIndex)
{
    const SerialLine::Opened opened = SerialLine::open(port, address.text(), modelIndex);
    switch (opened.outcome) {
    case SerialLine::Opened::No:
        emit failed(opened.problem(address.text()), opened.errorText);
        return;
    case SerialLine::Opened::Yes:
        speedOutcome = Speed::Set;
        break;
    case SerialLine::Opened::SpeedRefused:
        speedOutcome = Speed::Refused;
        break;
    case SerialLine::Opened::SpeedRefusedSilently:
        speedOutcome = Speed::RefusedQuietly;
        break;
    }
    emit ready();
}

void SerialTransport::stop()
{
    port.close();
}

qint64 SerialTransport::available() const
{
    return port.isOpen() ? port.bytesAvailable() : 0;
}

qint64 SerialTransport::take(char *data, qint64 maxSize)
{
    return port.read(data, maxSize);
}

qint64 SerialTransport::send(const char *data, qint64 size)
{
    return port.write(data, size);
}

qint64 SerialTransport::unsent() const
{
    return port.bytesToWrite();
}

bool SerialTransport::push()
{
    return port.flush();
}

void SerialTransport::setReadLimit(qint64 bytes)
{
    port.setReadBufferSize(bytes);
}
