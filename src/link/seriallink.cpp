#include "vantrel.h"

#include "elidinglabel.h"
#include "family.h"
#include "linkaddress.h"
#include "power.h"
#include "preferences.h"
#include "storedsettings.h"
#include "storewriter.h"
#include "trafficlog.h"

#include <QAction>
#include <QMessageBox>

bool Vantrel::OpenSerialPort(const QString &portName)
{
    Log(tr("Opening port ") + portName + QLatin1Char('\n'));
    configuredPort = portName;
    reopening = false;
    openingInline = true;
    serialPort.connectTo(portName, ModelIndex);
    openingInline = false;
    return serialPort.isOpen();
}

// The port Configure chose, tried again while it is not open: quietly, with
// one log line for each change of what the status bar says.
void Vantrel::ReopenSerialPort()
{
    reopening = true;
    openingInline = true;
    serialPort.connectTo(configuredPort, ModelIndex);
    openingInline = false;
}

void Vantrel::ShowPortOpened()
{
    if (!reopening) {
        switch (serialPort.speed()) {
        case LinkTransport::Speed::Set:
        case LinkTransport::Speed::ServersOwn:
            // One arg(): a "%1" in the address stays as it is.
            if (serialPort.isNetwork())
                Log(tr("Connected to %1\n").arg(configuredPort));
            else
                Log(tr("Serial port successfully opened!\n"));
            break;
        case LinkTransport::Speed::Refused:
            Log(tr("Failed to set serial port speed!\n"));
            break;
        case LinkTransport::Speed::RefusedQuietly:
            break;
        }
        ShowPortStatus(PortStatus::Problem::None, PortStatusText(PortStatus::Problem::None));
    } else {
        // As after Configure: nothing from before belongs to what comes now.
        ForgetPendingReplies();
        const QString text = PortStatusText(PortStatus::Problem::None);
        ShowPortStatus(PortStatus::Problem::None, text);
        Log(text + QLatin1Char('\n'));
        if (ModelIndex == Vivitek::ModelIndex)
            QueryVvtSettings();
    }
    if (ModelIndex == PJLink::ModelIndex) {
        pjlinkPage->opened();
        return;
    }
    // A network link opens after the tick that would have polled it.
    if (!openingInline)
        SendCommand(Power::pollCommand(ModelIndex));
}

void Vantrel::ShowPortFailed(PortStatus::Problem problem, const QString &detail)
{
    if (!reopening) {
        Log(tr("Failed to initialize serial port!\n"));
        Log(tr("Communication with projector not possible.\n"));
        ShowPortStatus(problem, PortStatusText(problem, detail));
        return;
    }
    // A device that went away and is still away is still the lost one.
    if (problem == PortStatus::Problem::NotPresent && portProblem == PortStatus::Problem::Lost)
        return;
    const QString text = PortStatusText(problem, detail);
    if (ShowPortStatus(problem, text))
        Log(text + QLatin1Char('\n'));
}

QString Vantrel::PortStatusText(PortStatus::Problem problem, const QString &detail) const
{
    switch (problem) {
    case PortStatus::Problem::None:
        // One arg() for all: a "%1" in the port name stays as it is. A raw
        // network server keeps its own line speed, so none is claimed.
        if (serialPort.speed() == LinkTransport::Speed::ServersOwn)
            return tr("Connected to %1 (%2)").arg(configuredPort, Family::displayName(ModelIndex));
        return tr("Connected to %1 (%2, %3 baud)")
            .arg(configuredPort, Family::displayName(ModelIndex),
                 QString::number(Family::baudRate(ModelIndex)));
    case PortStatus::Problem::NoPortChosen:
        if (Family::isNetwork(ModelIndex))
            return tr("No projector address given: enter one in File > Settings");
        return tr("No serial port chosen: choose one in File > Settings");
    case PortStatus::Problem::NotPresent:
        if (ReopensByItself())
            return tr("%1: not present, waiting for it").arg(configuredPort);
        break;
    case PortStatus::Problem::Lost:
        if (ReopensByItself())
            return tr("%1: device lost, waiting for it to return").arg(configuredPort);
        break;
    default:
        break;
    }
    return configuredPort + QLatin1String(": ") + PortStatus::reason(problem, detail);
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

// A serial port that failed to open or went away is opened again at every
// poll only when the user chose so; a network link is expected to drop, and
// always is. A line the Rooms view still holds is handed over within a
// second of the switch, so it is waited for too.
bool Vantrel::ReopensByItself() const
{
    return ui.actionReconnect->isChecked() || Family::isNetwork(ModelIndex)
        || LinkAddress::parse(configuredPort).isNetwork()
        || (rooms && portProblem == PortStatus::Problem::InUse);
}

void Vantrel::WatchForLostDevice()
{
    ui.actionReconnect->setChecked(Preferences::reconnect());
    // Saved without waiting here for another program's edit of the store.
    auto *writer = new StoreWriter(ui.actionReconnect);
    connect(writer, &StoreWriter::finished, writer, [this](const QString &problem) {
        if (!problem.isEmpty())
            Log(tr("The choice of %1 could not be saved in %2; it applies to this session only.\n")
                    .arg(ui.actionReconnect->text(), StoredSettings::location()));
    });
    connect(ui.actionReconnect, &QAction::toggled, ui.actionReconnect, [this, writer](bool on) {
        Preferences::setReconnect(*writer, on);
        // What the status bar promises follows the choice.
        if (!serialPort.isOpen() && !serialPort.isOpening())
            ShowPortStatus(portProblem, PortStatusText(portProblem, serialPort.problemDetail()));
    });
    // Functor connections: the window's slot table stays as it is.
    connect(&serialPort, &ProjectorLink::opened, this, [this] { ShowPortOpened(); });
    connect(&serialPort, &ProjectorLink::failed, this,
            [this](PortStatus::Problem problem, const QString &detail) {
                ShowPortFailed(problem, detail);
            });
    connect(&serialPort, &ProjectorLink::lost, this, [this] { CloseLostPort(); });
    // Answers over the network are read as they arrive: the next query, or
    // a click that waits behind one, goes out at once. A local serial port
    // keeps the tick.
    connect(&serialPort, &QIODevice::readyRead, this, [this] {
        if (ModelIndex == PJLink::ModelIndex || serialPort.isNetwork())
            ReadArrivedInput();
    });
}

// The link has closed itself, once, after the line broke.
void Vantrel::CloseLostPort()
{
    reopening = true;
    if (ModelIndex == PJLink::ModelIndex)
        pjlinkPage->disconnected();
    const PortStatus::Problem problem = serialPort.problem();
    const QString text = PortStatusText(problem, serialPort.problemDetail());
    if (problem == PortStatus::Problem::Lost)
        Log(tr("Lost serial port %1: the device has gone away.\n").arg(configuredPort));
    else
        Log(text + QLatin1Char('\n'));
    ShowPortStatus(problem, text);
}
