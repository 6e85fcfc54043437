#include "pjlinklogins.h"

#include "storedsettings.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QSettings>

#include <memory>

namespace PJLinkLogins {

namespace {

// One line each: address, salt, hash of salt and password, kind, refused;
// separated by tabs, which no address holds.
struct Entry
{
    QString address;
    QByteArray salt; // hex
    QByteArray hash; // hex
    Kind kind = Kind::Unknown;
    bool refused = false;
};

// The file as last read, with the size and time it had then: read again
// only when another program changed it.
struct Cache
{
    QList<Entry> entries; // the most recent first
    qint64 size = -1;
    QDateTime modified;
};

Cache &cache()
{
    static Cache cached;
    return cached;
}

// More than MaxEntries lines' worth: the rest of a damaged file is not read.
constexpr qint64 MaxBytes = qint64(MaxEntries) * 512;

QByteArray hashed(const QByteArray &salt, const QByteArray &password)
{
    return QCryptographicHash::hash(QByteArray::fromHex(salt) + password,
                                    QCryptographicHash::Sha256)
        .toHex();
}

const char *kindName(Kind kind)
{
    switch (kind) {
    case Kind::Md5:
        return "md5";
    case Kind::Sha256:
        return "sha256";
    case Kind::Unknown:
        break;
    }
    return "-";
}

// fresh: read even when the file looks unchanged, right before a change,
// so that one made by another program a moment ago is kept.
void load(bool fresh = false)
{
    Cache &cached = cache();
    const QFileInfo info(location());
    const qint64 size = info.exists() ? info.size() : -1;
    if (!fresh && size == cached.size && info.lastModified() == cached.modified)
        return;
    cached = Cache();
    cached.size = size;
    cached.modified = info.lastModified();
    QFile file(location());
    if (!file.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray &line : file.read(MaxBytes).split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() != 5 || fields.at(0).isEmpty() || fields.at(2).size() != 64)
            continue;
        Entry entry;
        entry.address = QString::fromUtf8(fields.at(0));
        entry.salt = fields.at(1);
        entry.hash = fields.at(2);
        entry.kind = fields.at(3) == "md5" ? Kind::Md5
            : fields.at(3) == "sha256"     ? Kind::Sha256
                                           : Kind::Unknown;
        entry.refused = fields.at(4) == "1";
        cached.entries.append(entry);
    }
}

void save()
{
    Cache &cached = cache();
    QByteArray text;
    for (const Entry &entry : std::as_const(cached.entries))
        text += entry.address.toUtf8() + '\t' + entry.salt + '\t' + entry.hash + '\t'
            + kindName(entry.kind) + '\t' + (entry.refused ? "1" : "0") + '\n';
    QDir().mkpath(QFileInfo(location()).absolutePath());
    QSaveFile file(location());
    if (!file.open(QIODevice::WriteOnly))
        return;
    // Hashes of passwords: for the owner alone, as the store is.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(text);
    if (!file.commit())
        return;
    const QFileInfo info(location());
    cached.size = info.size();
    cached.modified = info.lastModified();
}

// The entry of that address and password, made when there is none.
Entry *find(const QString &address, const QByteArray &password, bool make)
{
    const QString key = address.toLower();
    QList<Entry> &entries = cache().entries;
    for (Entry &entry : entries) {
        if (entry.address == key && hashed(entry.salt, password) == entry.hash)
            return &entry;
    }
    if (!make)
        return nullptr;
    Entry entry;
    entry.address = key;
    QByteArray salt(16, '\0');
    for (char &byte : salt)
        byte = char(QRandomGenerator::system()->bounded(256));
    entry.salt = salt.toHex();
    entry.hash = hashed(entry.salt, password);
    int same = 0;
    for (int i = 0; i < entries.size(); ++i) {
        if (entries.at(i).address == key && ++same >= MaxPerAddress)
            entries.removeAt(i--);
    }
    entries.prepend(entry);
    while (entries.size() > MaxEntries)
        entries.removeLast();
    return &entries.first();
}

} // namespace

QString location()
{
    // Beside the store, wherever the user's configuration lives.
    static const QString path = QFileInfo(StoredSettings::open()->fileName()).absolutePath()
        + QStringLiteral("/vantrel-pjlink-logins");
    return path;
}

Memory recall(const QString &address, const QByteArray &password)
{
    if (password.isEmpty())
        return Memory();
    load();
    const Entry *entry = find(address, password, false);
    return entry ? Memory { entry->kind, entry->refused } : Memory();
}

void rememberKind(const QString &address, const QByteArray &password, Kind kind)
{
    if (password.isEmpty())
        return;
    load(true);
    Entry *entry = find(address, password, true);
    if (entry->kind == kind)
        return;
    entry->kind = kind;
    save();
}

void rememberRefusal(const QString &address, const QByteArray &password)
{
    if (password.isEmpty())
        return;
    load(true);
    Entry *entry = find(address, password, true);
    if (entry->refused)
        return;
    entry->refused = true;
    save();
}

} // namespace PJLinkLogins
