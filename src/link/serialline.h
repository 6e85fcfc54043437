#pragma once

#include "portstatus.h"

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
    // Another program holds the device (a flock() on it), by whatever path.
    bool heldElsewhere = false;

    bool isOpen() const { return outcome != No; }
    // Why it did not open, for the port of that name.
    PortStatus::Problem problem(const QString &portName) const
    {
        return heldElsewhere ? PortStatus::Problem::InUse : PortStatus::problemOf(error, portName);
    }
};

// The port must be closed. Its name is set from portName. While it stays
// open the device itself is locked (flock() where there is one), so no other
// program that honours such locks shares it, whatever name it was opened by.
Opened open(QSerialPort &port, const QString &portName, int modelIndex);

} // namespace SerialLine
