#pragma once

#include <QSerialPort>

namespace PortLoss {

// Errors that mean the device behind an open port is gone (adapter
// unplugged, far side of a pseudo-terminal closed). Qt 5.15 repeats them in a
// tight loop for as long as the port stays open.
bool meansDeviceGone(QSerialPort::SerialPortError error);

} // namespace PortLoss
