#include "projectoredit.h"

#include "family.h"
#include "projectorlist.h"
#include "storedsettings.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

// An unknown stored number shows as itself, not as an empty word.
QString familyOf(int model)
{
    return Family::isKnown(model) ? Family::key(model) : QString::number(model);
}

} // namespace

ProjectorEdit::ProjectorEdit(const Invocation &invocation, Report &report)
    : invocation(invocation)
    , report(report)
{ }

int ProjectorEdit::run()
{
    report.set(QStringLiteral("command"), invocation.commandName);
    switch (invocation.edit) {
    case Invocation::Edit::Add:
        return add();
    case Invocation::Edit::Remove:
        return remove();
    case Invocation::Edit::List:
        break;
    }
    return list();
}

// The store as it is, or why it cannot be used: a file that does not parse
// is named with its line and left alone.
bool ProjectorEdit::readable(const ProjectorList &projectors)
{
    if (!projectors.note().isEmpty())
        report.warn(projectors.note());
    if (projectors.damage().isEmpty())
        return true;
    report.finish(ExitCode::Config,
                  projectors.damage()
                      + QStringLiteral("; the settings file is left as it is until this is put "
                                       "right"));
    return false;
}

int ProjectorEdit::list()
{
    const ProjectorList projectors = ProjectorList::read();
    if (!readable(projectors))
        return ExitCode::Config;
    QJsonArray array;
    const ProjectorList::Projector *current = projectors.current();
    for (const ProjectorList::Projector &projector : projectors.entries()) {
        // The password stays in the store; whether there is one is all that shows.
        QJsonObject object { { QStringLiteral("name"), projector.name },
                             { QStringLiteral("family"), familyOf(projector.model) },
                             { QStringLiteral("port"), projector.port },
                             { QStringLiteral("group"), projector.group },
                             { QStringLiteral("password"), !projector.password.isEmpty() },
                             { QStringLiteral("current"), &projector == current } };
        array.append(object);
        report.print(QStringList { projector.name, familyOf(projector.model), projector.port,
                                   projector.group }
                         .join(QLatin1Char('\t')));
    }
    report.set(QStringLiteral("projectors"), array);
    return report.finish(ExitCode::Done);
}

int ProjectorEdit::add()
{
    report.set(QStringLiteral("name"), invocation.name);
    // Read, changed and written by one editor at a time, or one of two
    // edits made at once is lost.
    const StoredSettings::EditLock lock;
    if (!lock.isLocked())
        return cannotSave(lock.problem());
    ProjectorList projectors = ProjectorList::read();
    if (!readable(projectors))
        return ExitCode::Config;
    if (projectors.find(invocation.name))
        return report.finish(ExitCode::Usage,
                             QStringLiteral("there is a projector \"%1\" already; remove it first")
                                 .arg(invocation.name));
    if (projectors.entries().size() >= ProjectorList::MaxEntries)
        return report.finish(ExitCode::Usage,
                             QStringLiteral("the list holds %1 projectors, as many as it can")
                                 .arg(projectors.entries().size()));
    ProjectorList::Projector projector;
    projector.name = invocation.name;
    projector.model = invocation.model;
    projector.port = invocation.port;
    projector.password = invocation.password;
    projector.group = invocation.group;
    projectors.add(projector);
    return save(projectors);
}

int ProjectorEdit::remove()
{
    report.set(QStringLiteral("name"), invocation.name);
    const StoredSettings::EditLock lock;
    if (!lock.isLocked())
        return cannotSave(lock.problem());
    ProjectorList projectors = ProjectorList::read();
    if (!readable(projectors))
        return ExitCode::Config;
    if (!projectors.remove(invocation.name)) {
        QStringList names;
        for (const ProjectorList::Projector &projector : projectors.entries())
            names.append(projector.name);
        return report.finish(
            ExitCode::Usage,
            QStringLiteral("there is no projector \"%1\"; the projectors are %2")
                .arg(invocation.name,
                     names.isEmpty() ? QStringLiteral("none") : names.join(QLatin1String(", "))));
    }
    return save(projectors);
}

int ProjectorEdit::save(const ProjectorList &projectors)
{
    // Damaged by hand since it was read: left as it is, as at the read.
    const StoredSettings::Saved saved = projectors.save();
    if (saved == StoredSettings::Saved::Damaged)
        return report.finish(ExitCode::Config, StoredSettings::whyNotSaved(saved));
    if (saved != StoredSettings::Saved::Done)
        return cannotSave(StoredSettings::whyNotSaved(saved));
    return report.finish(ExitCode::Done);
}

int ProjectorEdit::cannotSave(const QString &why)
{
    return report.finish(ExitCode::CannotSave, why);
}
