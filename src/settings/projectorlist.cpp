#include "projectorlist.h"

#include "storedsettings.h"

#include <QSettings>

#include <algorithm>

namespace {

const QString ArrayKey = QStringLiteral("Projectors");
const QString CurrentKey = QStringLiteral("Projector");
const QString NameKey = QStringLiteral("Name");
const QString ModelKey = QStringLiteral("Model");
const QString PortKey = QStringLiteral("Port");
const QString PasswordKey = QStringLiteral("Password");
const QString GroupKey = QStringLiteral("Group");
// What an older Vantrel reads and writes.
const QString OldPortKey = QStringLiteral("ComPort");
const QString OldModelKey = QStringLiteral("Model");

// A name is printed one per line, given as an argument and shown in a menu:
// no control characters, no blanks at either end, and no leading dash that
// would read as an option.
QString textProblem(const QString &text, const char *what)
{
    if (text.trimmed() != text)
        return QStringLiteral("a %1 neither starts nor ends with a blank").arg(QLatin1String(what));
    if (text.startsWith(QLatin1Char('-')))
        return QStringLiteral("a %1 does not start with \"-\"").arg(QLatin1String(what));
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator)
            return QStringLiteral("a %1 has no control characters").arg(QLatin1String(what));
    }
    return QString();
}

} // namespace

ProjectorList ProjectorList::read()
{
    const auto store = StoredSettings::open();
    ProjectorList projectors;
    projectors.formatProblem = StoredSettings::formatProblem();
    const QString oldPort = store->value(OldPortKey, QString()).toString();
    const int oldModel = store->value(OldModelKey, 0).toInt();
    if (!store->contains(ArrayKey + QLatin1String("/size"))) {
        // A store from before the list: its one projector, named after its port.
        if (!oldPort.isEmpty()) {
            Projector only;
            only.name = nameAfter(oldPort);
            only.port = oldPort;
            only.model = oldModel;
            projectors.list.append(only);
            projectors.currentName = only.name;
            projectors.fromKeys = true;
        }
        return projectors;
    }
    projectors.listed = true;
    readArray(*store, &projectors.list, &projectors.ignored);
    projectors.currentName = store->value(CurrentKey).toString();
    // The two keys changed alone (the Settings dialog, an older Vantrel)
    // are a choice of their own, made since the current projector was.
    if (const Projector *now = projectors.current())
        projectors.chosen = (!store->contains(OldPortKey) || oldPort == now->port)
            && (!store->contains(OldModelKey) || oldModel == now->model);
    return projectors;
}

void ProjectorList::readArray(const QSettings &store, QList<Projector> *into, QString *ignored)
{
    const int size = store.value(ArrayKey + QLatin1String("/size"), 0).toInt();
    if (size > MaxEntries)
        *ignored = QStringLiteral("%1 claims %2 projectors; the first %3 were read, the rest "
                                  "ignored")
                       .arg(StoredSettings::location())
                       .arg(size)
                       .arg(MaxEntries);
    for (int i = 0; i < qMin(size, MaxEntries); ++i) {
        const QString prefix
            = ArrayKey + QLatin1Char('/') + QString::number(i + 1) + QLatin1Char('/');
        Projector projector;
        projector.name = store.value(prefix + NameKey).toString();
        projector.model = store.value(prefix + ModelKey, 0).toInt();
        projector.port = store.value(prefix + PortKey).toString();
        projector.password = store.value(prefix + PasswordKey).toString();
        projector.group = store.value(prefix + GroupKey).toString();
        // An entry edited by hand into something no command could name, or
        // a second one of a name, is left out rather than guessed at: the
        // first of a name is the one every reader takes.
        const bool taken = std::any_of(into->cbegin(), into->cend(), [&](const Projector &p) {
            return p.name == projector.name;
        });
        if (!taken && nameProblem(projector.name).isEmpty())
            into->append(projector);
    }
}

bool ProjectorList::write() const
{
    return save() == StoredSettings::Saved::Done;
}

StoredSettings::Saved ProjectorList::save() const
{
    return StoredSettings::save([this](QSettings &store) {
        const bool anyPassword = std::any_of(
            list.cbegin(), list.cend(), [](const Projector &p) { return !p.password.isEmpty(); });
        // Private before the first byte of a password goes in, not after.
        if (anyPassword)
            StoredSettings::keepPrivate(store);
        store.remove(ArrayKey);
        store.beginWriteArray(ArrayKey, list.size());
        for (int i = 0; i < list.size(); ++i) {
            const Projector &projector = list.at(i);
            store.setArrayIndex(i);
            store.setValue(NameKey, projector.name);
            store.setValue(ModelKey, projector.model);
            store.setValue(PortKey, projector.port);
            if (!projector.password.isEmpty())
                store.setValue(PasswordKey, projector.password);
            if (!projector.group.isEmpty())
                store.setValue(GroupKey, projector.group);
        }
        store.endArray();
        const Projector *now = current();
        if (now)
            store.setValue(CurrentKey, now->name);
        else
            store.remove(CurrentKey);
        if (!chosen)
            return; // the Settings dialog's choice stays
        if (now) {
            store.setValue(OldPortKey, now->port);
            store.setValue(OldModelKey, now->model);
        } else {
            // Or the next read would bring the last entry back as a migrated one.
            store.remove(OldPortKey);
            store.remove(OldModelKey);
        }
    });
}

QString ProjectorList::nameProblem(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("a projector needs a name");
    return textProblem(name, "name");
}

QString ProjectorList::groupProblem(const QString &group)
{
    return textProblem(group, "group");
}

QString ProjectorList::nameAfter(const QString &port)
{
    QString name;
    for (const QChar c : port) {
        const bool control = c.category() == QChar::Other_Control || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator;
        name += control ? QChar(QLatin1Char(' ')) : c;
    }
    name = name.trimmed();
    while (name.startsWith(QLatin1Char('-')))
        name = name.mid(1).trimmed();
    return name.isEmpty() ? QStringLiteral("projector") : name;
}

int ProjectorList::indexOf(const QString &name) const
{
    for (int i = 0; i < list.size(); ++i) {
        if (list.at(i).name == name)
            return i;
    }
    return -1;
}

const ProjectorList::Projector *ProjectorList::find(const QString &name) const
{
    const int index = indexOf(name);
    return index < 0 ? nullptr : &list.at(index);
}

int ProjectorList::currentIndex() const
{
    if (list.isEmpty())
        return -1;
    return qMax(0, indexOf(currentName));
}

const ProjectorList::Projector *ProjectorList::current() const
{
    const int index = currentIndex();
    return index < 0 ? nullptr : &list.at(index);
}

void ProjectorList::setCurrent(const QString &name)
{
    currentName = name;
    chosen = true;
}

bool ProjectorList::add(const Projector &projector)
{
    if (!nameProblem(projector.name).isEmpty() || indexOf(projector.name) >= 0
        || list.size() >= MaxEntries)
        return false;
    list.append(projector);
    if (list.size() == 1)
        currentName = projector.name;
    return true;
}

bool ProjectorList::replace(const QString &name, const Projector &projector)
{
    const int index = indexOf(name);
    if (index < 0 || !nameProblem(projector.name).isEmpty())
        return false;
    const int other = indexOf(projector.name);
    if (other >= 0 && other != index)
        return false;
    const bool wasCurrent = index == currentIndex();
    list[index] = projector;
    if (wasCurrent)
        currentName = projector.name;
    return true;
}

bool ProjectorList::remove(const QString &name)
{
    const int index = indexOf(name);
    if (index < 0)
        return false;
    const bool wasCurrent = index == currentIndex();
    list.removeAt(index);
    if (wasCurrent)
        currentName = list.isEmpty() ? QString() : list.first().name;
    return true;
}
