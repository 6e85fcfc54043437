#pragma once

#include <QAbstractSocket>
#include <QSerialPort>
#include <QString>

// Why a serial port is not usable, in the plain words the window's status
// line and the command-line program give the user.
namespace PortStatus {

enum class Problem {
    None,
    NoPortChosen,
    NotPresent,
    InUse,
    PermissionDenied,
    Lost,
    // A network serial server
    BadAddress,
    Refused,
    HostNotFound,
    TimedOut,
    ConnectionLost,
    LineSettingsRefused,
    // A PJLink projector
    PasswordRejected,
    PasswordMissing,
    NotPJLink,
    NoGreeting,
    Other,
};

// What a failed QSerialPort::open() means for the port of that name.
Problem problemOf(QSerialPort::SerialPortError error, const QString &portName);
// What a failed or broken connection to a network address means.
Problem problemOf(QAbstractSocket::SocketError error);

// "not present", "in use by another program", "permission denied. Your user
// must be in the 'dialout' group" (the hint on Linux only), "device lost";
// for a network serial server "connection refused", "host not found", "timed
// out", "connection lost", "line settings refused"; for a PJLink projector
// "password rejected", "needs a password", "not a PJLink projector", "no greeting". BadAddress
// and Other give detail: what is wrong with the address, QSerialPort's own error text;
// PasswordRejected may give which logins were refused.
QString reason(Problem problem, const QString &detail = QString());

// Where the device of a port name lives: names such as "ttyUSB0" are in
// /dev, absolute paths are taken as they are.
QString systemLocation(const QString &portName);

} // namespace PortStatus
