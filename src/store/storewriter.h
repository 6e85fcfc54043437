#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>

#include <chrono>
#include <functional>

// Saves to the settings store from the GUI thread without ever waiting there
// for the edit lock that vantrelctl may hold: the lock is tried at once,
// then again from a timer, so the polls and the log go on meanwhile. What
// cannot be saved within the patience is reported and kept for another try.
class StoreWriter : public QObject
{
    Q_OBJECT

public:
    // Run with the edit lock held; returns why nothing was saved, or empty.
    using Edit = std::function<QString()>;

    static constexpr std::chrono::milliseconds RetryEvery { 50 };

    explicit StoreWriter(QObject *parent = nullptr,
                         std::chrono::milliseconds patience = std::chrono::seconds(10));

    // Keys and values to store, together with any still waiting to be.
    void setValues(const QVariantMap &values);
    // An edit of its own (a read, change and write); it replaces one still
    // waiting, whose values stay for the next try.
    void save(Edit edit);
    // Nothing more is tried; what was not saved is kept.
    void cancel();

    bool isWaiting() const { return retry.isActive(); }
    // What setValues() was given and is not stored yet.
    const QVariantMap &unsaved() const { return values; }
    // The last finished() came of another program holding the lock for the
    // whole patience: worth another try, unlike a store that cannot be saved.
    bool gaveUpWaiting() const { return busy; }

signals:
    // After each save() or setValues(), unless a later one replaced it:
    // empty when saved, otherwise why not.
    void finished(const QString &problem);

private:
    void start(Edit next);
    void attempt();

    QTimer retry;
    QDeadlineTimer deadline;
    std::chrono::milliseconds patience;
    Edit edit;
    QVariantMap values;
    bool busy = false;
};
