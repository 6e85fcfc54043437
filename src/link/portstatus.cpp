#include "portstatus.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace PortStatus {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("PortStatus", text);
}

// Details the links give in English, said in the user's language where the
// reason is shown.
const char *const KnownDetails[] = {
    QT_TRANSLATE_NOOP("PortStatus", "MD5 and SHA-256 logins refused"),
    QT_TRANSLATE_NOOP("PortStatus", "SHA-256 and MD5 logins refused"),
    QT_TRANSLATE_NOOP("PortStatus", "MD5 login refused"),
    QT_TRANSLATE_NOOP("PortStatus", "SHA-256 login refused"),
};

QString detailText(const QString &detail)
{
    for (const char *known : KnownDetails) {
        if (detail == QLatin1String(known))
            return tr(known);
    }
    return detail;
}

} // namespace

Problem problemOf(QSerialPort::SerialPortError error, const QString &portName)
{
    if (portName.isEmpty())
        return Problem::NoPortChosen;
    switch (error) {
    case QSerialPort::NoError:
        return Problem::None;
    case QSerialPort::DeviceNotFoundError:
        return Problem::NotPresent;
    case QSerialPort::PermissionError: {
#ifdef Q_OS_WIN
        // Windows refuses a port that another program holds as access denied.
        return Problem::InUse;
#else
        // QSerialPort says "permission" both when the device is closed to us
        // and when another program holds its lock; only the first is ours to fix.
        const QFileInfo device(systemLocation(portName));
        return device.exists() && device.isReadable() && device.isWritable()
            ? Problem::InUse
            : Problem::PermissionDenied;
#endif
    }
    default:
        return Problem::Other;
    }
}

QString reason(Problem problem, const QString &detail)
{
    switch (problem) {
    case Problem::None:
        return QString();
    case Problem::NoPortChosen:
        return tr("no serial port chosen");
    case Problem::NotPresent:
        return tr("not present");
    case Problem::InUse:
        return tr("in use by another program");
    case Problem::PermissionDenied:
#ifdef Q_OS_LINUX
        return tr("permission denied. Your user must be in the 'dialout' group");
#else
        return tr("permission denied");
#endif
    case Problem::Lost:
        return tr("device lost");
    case Problem::BadAddress:
        return tr("not a valid address: %1").arg(detail);
    case Problem::Refused:
        return tr("connection refused");
    case Problem::HostNotFound:
        return tr("host not found");
    case Problem::TimedOut:
        return tr("timed out");
    case Problem::ConnectionLost:
        return tr("connection lost");
    case Problem::LineSettingsRefused:
        return tr("line settings refused");
    case Problem::PasswordRejected:
        if (!detail.isEmpty())
            return tr("password rejected (%1)").arg(detailText(detail));
        return tr("password rejected");
    case Problem::PasswordMissing:
        return tr("needs a password");
    case Problem::NotPJLink:
        return tr("not a PJLink projector");
    case Problem::NoGreeting:
        return tr("no greeting");
    case Problem::Other:
        break;
    }
    return detail.isEmpty() ? tr("cannot be opened") : tr("cannot be opened (%1)").arg(detail);
}

QString systemLocation(const QString &portName)
{
#ifdef Q_OS_WIN
    return portName;
#else
    return QDir::isAbsolutePath(portName) ? portName : QStringLiteral("/dev/") + portName;
#endif
}

Problem problemOf(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return Problem::Refused;
    case QAbstractSocket::HostNotFoundError:
        return Problem::HostNotFound;
    case QAbstractSocket::SocketTimeoutError:
        return Problem::TimedOut;
    case QAbstractSocket::RemoteHostClosedError:
        return Problem::ConnectionLost;
    default:
        return Problem::Other;
    }
}

} // namespace PortStatus
