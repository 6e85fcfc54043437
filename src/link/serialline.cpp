#include "serialline.h"

#include "family.h"

namespace SerialLine {

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
