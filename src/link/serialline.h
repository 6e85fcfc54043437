#pragma once

#include <QSerialPort>
#include <QString>

// Opens the projector's serial line with the fixed parameters of every
// family: read-write, 8N1, no flow control, at the family's speed.
namespace SerialLine {

struct Opened
{
    enum Outcome {
        Yes,
        SpeedRefused, // open, but the speed was refused with an error
        SpeedRefusedSilently, // open, the speed refused without an error
        No, // closed again
    };
    Outcome outcome = No;
    // Why it did not open: kept here because closing the port resets its error.
    QSerialPort::SerialPortError error = QSerialPort::NoError;
    QString errorText;

    bool isOpen() const { return outcome != No; }
};

// The port must be closed. Its name is set from portName.
Opened open(QSerialPort &port, const QString &portName, int modelIndex);

} // namespace SerialLine
