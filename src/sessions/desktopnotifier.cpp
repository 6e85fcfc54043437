#include "desktopnotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const QString Program = QStringLiteral("Vantrel");
// The desktop entry's name without ".desktop", and the theme icon's name.
const QString AppId = QStringLiteral(VANTREL_APP_ID);

// As the notification specification counts.
enum Urgency : uchar { Low = 0, Normal = 1, Critical = 2 };

} // namespace

DesktopNotifier::DesktopNotifier(QObject *parent)
    : DesktopNotifier(QDBusConnection::sessionBus(), parent)
{ }

DesktopNotifier::DesktopNotifier(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , bus(bus)
{ }

void DesktopNotifier::notify(const Notice &notice)
{
    if (!bus.isConnected())
        return;
    const QString key = notice.projector + QLatin1Char('\n') + QString::number(int(notice.fault));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"),
                 QVariant::fromValue(uchar(notice.critical ? Critical : Normal)));
    hints.insert(QStringLiteral("desktop-entry"), AppId);
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << Program << shownIds.value(key, 0u) << AppId
         << (notice.projector.isEmpty() ? Program : notice.projector) << notice.text
         << QStringList() << hints << -1;
    // No service must not start one on demand and wait for it.
    call.setAutoStartService(false);
    ++waiting;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, key](QDBusPendingCallWatcher *done) {
                --waiting;
                const QDBusPendingReply<uint> reply = *done;
                if (!reply.isError()) {
                    ++taken;
                    shownIds.insert(key, reply.value());
                }
                done->deleteLater();
            });
}
