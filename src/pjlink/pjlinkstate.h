#pragma once

#include "pjlink.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>

#include <optional>

// What a PJLink projector has told about itself, answer by answer. A value
// stays unknown (nullopt, empty) until an answer of the right form gives it.
// Its texts are plain, bounded and free of control characters.
class PJLinkState
{
public:
    // Takes one answer to a query and tells whether anything changed. An
    // answer to a setting, an error other than "no lamp" or "no filter", or a
    // faulty value changes nothing.
    bool apply(const PJLink::Command &command, const PJLink::Reply &reply);
    void clear() { *this = PJLinkState(); }
    // Whether an answer without error to a query has the value's form; a
    // free text always has.
    static bool readable(const PJLink::Command &command, const PJLink::Reply &reply);

    // How an input is shown: its own name on class 2 when it has one,
    // otherwise "RGB 1", "Video 2" and so on.
    QString inputCaption(const QByteArray &input) const;
    // The input of a command-line name (see PJLink::inputFromName), also
    // the names made of what the projector calls its inputs.
    QByteArray inputNamed(const QString &name) const;
    // The command-line name of each input: its caption in lower case, words
    // joined by "-". Inputs that would share a name get "-2", "-3" and so on
    // after theirs, in the order of the projector's list: "hdmi-1",
    // "hdmi-1-2".
    QMap<QByteArray, QString> inputCommandNames() const;

    std::optional<int> power;
    QByteArray input;
    std::optional<PJLink::Mutes> mutes;
    std::optional<bool> frozen;
    std::optional<PJLink::Health> health;
    std::optional<QList<PJLink::Lamp>> lamps; // empty: the projector has none
    std::optional<QList<QByteArray>> inputs;
    QMap<QByteArray, QString> inputNames;
    std::optional<int> pjClass;
    QString name;
    QString maker;
    QString model;
    QString info;
    QString serialNumber;
    QString softwareVersion;
    std::optional<int> filterHours; // -1: the projector has no filter
    QString inputResolution; // "1920x1080", "no signal", "unknown"
    QString lampPart;
    QString filterPart;
    // The queries ("INST") whose answers could not be read, given up for now.
    QSet<QByteArray> unreadable;
};
