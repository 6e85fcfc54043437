#include "vantrel.h"

#include "elidinglabel.h"
#include "family.h"
#include "portloss.h"
#include "serialline.h"
#include "trafficlog.h"

#include <QMessageBox>

bool Vantrel::OpenSerialPort(const QString &portName)
{
    Log(tr("Opening port ") + portName + QLatin1Char('\n'));
    portLossPending = false;
    configuredPort = portName;
    const SerialLine::Opened opened = SerialLine::open(serialPort, portName, ModelIndex);
    switch (opened.outcome) {
    case SerialLine::Opened::No: {
        Log(tr("Failed to initialize serial port!\n"));
        Log(tr("Communication with projector not possible.\n"));
        const PortStatus::Problem problem = opened.problem(portName);
        ShowPortStatus(problem, PortStatusText(problem, opened.errorText));
        return false;
    }
    case SerialLine::Opened::Yes:
        Log(tr("Serial port successfully opened!\n"));
        break;
    case SerialLine::Opened::SpeedRefused:
        Log(tr("Failed to set serial port speed!\n"));
        break;
    case SerialLine::Opened::SpeedRefusedSilently:
        break;
    }
    ShowPortStatus(PortStatus::Problem::None, PortStatusText(PortStatus::Problem::None));
    return true;
}

// The port Configure chose, tried again while it is not open: quietly, with
// one log line for each change of what the status bar says.
void Vantrel::ReopenSerialPort()
{
    const SerialLine::Opened opened = SerialLine::open(serialPort, configuredPort, ModelIndex);
    if (!opened.isOpen()) {
        const PortStatus::Problem problem = opened.problem(configuredPort);
        // A device that went away and is still away is still the lost one.
        if (problem == PortStatus::Problem::NotPresent && portProblem == PortStatus::Problem::Lost)
            return;
        const QString text = PortStatusText(problem, opened.errorText);
        if (ShowPortStatus(problem, text))
            Log(text + QLatin1Char('\n'));
        return;
    }
    portLossPending = false;
    // As after Configure: nothing from before belongs to what comes now.
    ForgetPendingReplies();
    const QString text = PortStatusText(PortStatus::Problem::None);
    ShowPortStatus(PortStatus::Problem::None, text);
    Log(text + QLatin1Char('\n'));
    if (ModelIndex == Vivitek::ModelIndex)
        QueryVvtSettings();
}

QString Vantrel::PortStatusText(PortStatus::Problem problem, const QString &detail) const
{
    switch (problem) {
    case PortStatus::Problem::None:
        // One arg() for all: a "%1" in the port name stays as it is.
        return tr("Connected to %1 (%2, %3 baud)")
            .arg(configuredPort, Family::displayName(ModelIndex),
                 QString::number(Family::baudRate(ModelIndex)));
    case PortStatus::Problem::NoPortChosen:
        return tr("No serial port chosen: choose one in File > Settings");
    case PortStatus::Problem::NotPresent:
        return tr("%1: not present, waiting for it").arg(configuredPort);
    case PortStatus::Problem::Lost:
        return tr("%1: device lost, waiting for it to return").arg(configuredPort);
    default:
        return configuredPort + QLatin1String(": ") + PortStatus::reason(problem, detail);
    }
}

// True when the text shown changed.
bool Vantrel::ShowPortStatus(PortStatus::Problem problem, const QString &text)
{
    portProblem = problem;
    if (portStatus->text() == text)
        return false;
    portStatus->showText(text, configuredPort);
    return true;
}

void Vantrel::SendCommand(const char *command, int length)
{
    if (!serialPort.isOpen())
        return;
    if (serialPort.write(command, length) == -1 && !writeErrorShown) {
        // The box runs its own event loop, in which the next poll may fail
        // too: one box at a time is enough.
        writeErrorShown = true;
        QMessageBox::warning(this, tr("Error!"),
                             QStringLiteral("Failed to send data to serial port"), QMessageBox::Ok,
                             QMessageBox::NoButton);
        writeErrorShown = false;
    }
    serialPort.write("\r", 1);
    lastCommand = QString::fromUtf8(command);
    if (ModelIndex == Vivitek::ModelIndex)
        vvtMatcher.sent(lastCommand, tickCount);
    if (ui.debugCheckBox->isChecked())
        Log(TrafficLog::sentLine(QByteArray(command, length), ui.asciiCheckBox->isChecked()));
}

void Vantrel::SendCommand(const char *command)
{
    SendCommand(command, int(qstrlen(command)));
}

void Vantrel::SendCommand(const QByteArray &command)
{
    SendCommand(command.constData(), command.size());
}

int Vantrel::ReadSerial(char *buffer, int maxSize)
{
    if (!serialPort.isOpen())
        return 0;
    const qint64 count = serialPort.read(buffer, maxSize);
    return count < 0 ? 0 : int(count);
}

void Vantrel::WatchForLostDevice()
{
    // A functor connection: the window's slot table stays as it is.
    connect(&serialPort, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) {
                if (portLossPending || !serialPort.isOpen() || !PortLoss::meansDeviceGone(error))
                    return;
                portLossPending = true;
                // Closing inside the error signal would pull the notifier out
                // from under QSerialPort; do it once the signal has returned.
                QMetaObject::invokeMethod(
                    this, [this] { CloseLostPort(); }, Qt::QueuedConnection);
            });
}

void Vantrel::CloseLostPort()
{
    if (!portLossPending)
        return; // the port was reopened meanwhile
    portLossPending = false;
    serialPort.close();
    Log(tr("Lost serial port %1: the device has gone away.\n").arg(serialPort.portName()));
    ShowPortStatus(PortStatus::Problem::Lost, PortStatusText(PortStatus::Problem::Lost));
}
