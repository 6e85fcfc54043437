#pragma once

#include "noticerules.h"

#include <QDBusConnection>
#include <QHash>
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

    // Summary: the projector's name (the program's for a summary of many),
    // body: the text. A later notice of the same projector and fault, its
    // recovery included, takes the place of the one shown.
    void notify(const Notice &notice);
    // Calls whose answer has not come yet, and those the service took.
    int pending() const { return waiting; }
    int shown() const { return taken; }

private:
    QDBusConnection bus;
    // The service's id of the last notice of each projector and fault.
    QHash<QString, uint> shownIds;
    int waiting = 0;
    int taken = 0;
};
