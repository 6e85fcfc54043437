#include "storewriter.h"

#include "storedsettings.h"

#include <QSettings>

#include <utility>

StoreWriter::StoreWriter(QObject *parent, std::chrono::milliseconds patience)
    : QObject(parent)
    , patience(patience)
{
    retry.setInterval(int(RetryEvery.count()));
    connect(&retry, &QTimer::timeout, this, &StoreWriter::attempt);
}

void StoreWriter::setValues(const QVariantMap &more)
{
    for (auto it = more.cbegin(); it != more.cend(); ++it)
        values.insert(it.key(), it.value());
    start([this] {
        const QVariantMap saving = values;
        const StoredSettings::Saved saved = StoredSettings::save([&saving](QSettings &store) {
            for (auto it = saving.cbegin(); it != saving.cend(); ++it)
                store.setValue(it.key(), it.value());
        });
        if (saved == StoredSettings::Saved::Done)
            values.clear();
        return StoredSettings::whyNotSaved(saved);
    });
}

void StoreWriter::save(Edit next)
{
    start(std::move(next));
}

void StoreWriter::cancel()
{
    retry.stop();
    edit = nullptr;
}

void StoreWriter::start(Edit next)
{
    edit = std::move(next);
    deadline.setRemainingTime(patience);
    retry.stop();
    attempt();
}

void StoreWriter::attempt()
{
    QString problem;
    {
        const StoredSettings::EditLock lock(StoredSettings::EditLock::Wait::Once);
        if (!lock.isLocked() && lock.isBusy() && !deadline.hasExpired()) {
            if (!retry.isActive())
                retry.start();
            return;
        }
        retry.stop();
        busy = lock.isBusy();
        const Edit running = std::exchange(edit, nullptr);
        problem = lock.isLocked() ? running() : lock.problem();
    }
    // Told once the lock is let go: whoever hears it may show a box.
    emit finished(problem);
}
