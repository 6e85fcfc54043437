#include "serialline.h"

#include "family.h"

#ifdef Q_OS_UNIX
#include <cerrno>
#include <sys/file.h>
#endif

namespace SerialLine {

namespace {

// False when another open file of the same device holds the lock. QSerialPort
// locks only the name it was given, so a second path to the device (a by-id
// link, the pty's own name) would share the line without a word.
bool lockDevice([[maybe_unused]] QSerialPort &port)
{
#ifdef Q_OS_UNIX
    int result;
    do
        result = ::flock(int(port.handle()), LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    return result == 0 || errno != EWOULDBLOCK;
#else
    return true; // Windows opens a port exclusively already
#endif
}

} // namespace

Opened open(QSerialPort &port, const QString &portName, int modelIndex)
{
    Opened result;
    port.setPortName(portName);
    if (!port.open(QIODevice::ReadWrite)) {
        result.error = port.error();
        result.errorText = port.errorString();
        port.close();
        return result;
    }
    if (!lockDevice(port)) {
        port.close();
        result.error = QSerialPort::PermissionError;
        result.heldElsewhere = true;
        return result;
    }
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    if (port.setBaudRate(Family::baudRate(modelIndex), QSerialPort::AllDirections))
        result.outcome = Opened::Yes;
    else if (port.error() != QSerialPort::NoError)
        result.outcome = Opened::SpeedRefused;
    else
        result.outcome = Opened::SpeedRefusedSilently;
    return result;
}

} // namespace SerialLine
