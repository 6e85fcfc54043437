#pragma once

#include "storedsettings.h"

#include <QList>
#include <QString>

class QSettings;

// The named projectors of the settings store, the window's current one among
// them. A store written before there was a list holds only "ComPort" and
// "Model"; it reads as a list of one, named after its port, and becomes a
// list in the store at the next write. A projector chosen from the list is
// written to "ComPort" and "Model" as well, so an older Vantrel starts with
// it; a port and family chosen in the Settings dialog since (the two keys
// alone) leave the list as it is, and the window starts with them instead.
class ProjectorList
{
public:
    struct Projector
    {
        QString name;
        int model = 0; // as stored, unchecked, like "Model"
        QString port; // a port name, a path or a network address
        QString password; // only for a family that logs in
        QString group; // empty: none
    };

    // No more are read, however many the store claims to hold: a size of
    // two thousand million would take the better part of an hour.
    static constexpr int MaxEntries = 1000;

    static ProjectorList read();
    // False when the store could not be written, or its file does not parse
    // and is kept; the list is then unchanged there. A read, change and
    // write that others may run at the same time goes under a
    // StoredSettings::EditLock.
    bool write() const;
    // What write() came to, for a caller that tells the two failures apart.
    StoredSettings::Saved save() const;

    // Empty when the store's file parsed when it was read; otherwise
    // "FILE:LINE: what is wrong", and the list may lack what the damage hid.
    const QString &damage() const { return formatProblem; }
    // What the read left out and the user should hear of; empty for nothing.
    const QString &note() const { return ignored; }

    // Empty when name may name a projector, otherwise why not. Names are
    // told apart exactly, letter case included.
    static QString nameProblem(const QString &name);
    static QString groupProblem(const QString &group);
    // A valid name for a projector known only by its port.
    static QString nameAfter(const QString &port);

    // False for a store that holds only "ComPort" and "Model": its one
    // projector is no name the user gave.
    bool isListed() const { return listed; }

    const QList<Projector> &entries() const { return list; }
    bool isEmpty() const { return list.isEmpty(); }
    int indexOf(const QString &name) const;
    const Projector *find(const QString &name) const;

    // -1 when the list is empty.
    int currentIndex() const;
    const Projector *current() const;
    // Chooses the current projector: "ComPort" and "Model" follow it.
    void setCurrent(const QString &name);
    // A named projector is the last choice made, not a port and family
    // chosen in the Settings dialog since (nor a store of the two keys
    // alone): the window starts with it.
    bool isChosen() const { return chosen && !fromKeys && current(); }

    // False (and nothing changes) when the name is taken or not valid, or
    // the list holds MaxEntries already.
    bool add(const Projector &projector);
    // Replaces the entry called name, which may be renamed on the way;
    // false when there is none or the new name is taken or not valid.
    bool replace(const QString &name, const Projector &projector);
    // Removing the current projector makes the first one left current.
    bool remove(const QString &name);

private:
    static void readArray(const QSettings &store, QList<Projector> *into, QString *ignored);

    QList<Projector> list;
    QString currentName;
    bool listed = false;
    QString formatProblem;
    QString ignored;
    // "ComPort" and "Model" name the current projector (or there are none):
    // a write keeps them so. Otherwise they are the Settings dialog's choice,
    // which a write leaves alone.
    bool chosen = true;
    bool fromKeys = false; // read from a store of "ComPort" and "Model" alone
};
