#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

// Desktop notifications through the freedesktop notification service on
// the session bus. The call never waits: where no service answers, or there
// is no session bus at all, the notice is dropped without a word.
class DesktopNotifier : public QObject
{
    Q_OBJECT

public:
    explicit DesktopNotifier(QObject *parent = nullptr);
    DesktopNotifier(const QDBusConnection &bus, QObject *parent = nullptr);

    void notify(const QString &summary, const QString &body);
    // Calls whose answer has not come yet, and those the service took.
    int pending() const { return waiting; }
    int shown() const { return taken; }

private:
    QDBusConnection bus;
    int waiting = 0;
    int taken = 0;
};
