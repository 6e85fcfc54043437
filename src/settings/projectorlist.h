#pragma once

#include <QList>
#include <QString>

class QSettings;

// The named projectors of the settings store, the window's current one among
// them. A store written before there was a list holds only "ComPort" and
// "Model"; it reads as a list of one, named after its port, and becomes a
// list in the store at the next write. The current projector is written to
// "ComPort" and "Model" as well, so an older Vantrel starts with it.
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
    // Whether a store whose file does not parse may be written over: only
    // when the user, told so, chose to replace it.
    enum class Damaged { Keep, Replace };
    // False when the store could not be written, or its file does not parse
    // and is kept; the list is then unchanged there. An empty list also
    // removes "ComPort" and "Model", or the next read would bring the old
    // entry back as a migrated one. A read, change and write that others may
    // run at the same time goes under a StoredSettings::EditLock.
    bool write(Damaged damaged = Damaged::Keep) const;

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
    void setCurrent(const QString &name);

    // False (and nothing changes) when the name is taken or not valid, or
    // the list holds MaxEntries already.
    bool add(const Projector &projector);
    // Replaces the entry called name, which may be renamed on the way;
    // false when there is none or the new name is taken or not valid.
    bool replace(const QString &name, const Projector &projector);
    // Removing the current projector makes the first one left current.
    bool remove(const QString &name);

private:
    static void readArray(QSettings &store, QList<Projector> *into, QString *ignored);

    QList<Projector> list;
    QString currentName;
    bool listed = false;
    QString formatProblem;
    QString ignored;
};
