#include "pjlinkview.h"

#include <QStringList>

namespace PJLinkView {

namespace {

const QString Unknown = QStringLiteral("-");
const QString Unreadable = QStringLiteral("unreadable");

QString orUnknown(const QString &text)
{
    const QString shown = text.simplified();
    return shown.isEmpty() ? Unknown : shown;
}

QString lampsText(const std::optional<QList<PJLink::Lamp>> &lamps)
{
    if (!lamps)
        return Unknown;
    if (lamps->isEmpty())
        return QStringLiteral("none");
    QStringList lines;
    for (int i = 0; i < lamps->size(); ++i) {
        const PJLink::Lamp &lamp = lamps->at(i);
        QString line = QStringLiteral("%1 h, %2")
                           .arg(lamp.hours)
                           .arg(lamp.lit ? QStringLiteral("lit") : QStringLiteral("off"));
        if (lamps->size() > 1)
            line = QStringLiteral("%1: %2").arg(i + 1).arg(line);
        lines.append(line);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

Page describe(const PJLinkState &state)
{
    Page page;
    if (state.inputs) {
        for (const QByteArray &code : *state.inputs)
            page.inputs.append({ code, state.inputCaption(code) });
    }
    if (!state.input.isEmpty()) {
        for (int i = 0; i < page.inputs.size() && page.currentInput < 0; ++i) {
            if (page.inputs.at(i).code == state.input)
                page.currentInput = i;
        }
        // An input the list does not offer (or no list yet) is still the
        // one in use: shown rather than hidden behind another.
        if (page.currentInput < 0) {
            page.inputs.append({ state.input, state.inputCaption(state.input) });
            page.currentInput = page.inputs.size() - 1;
        }
    }
    page.inputsUnreadable = page.inputs.isEmpty() && state.unreadable.contains("INST");
    page.resolution = state.inputResolution;
    if (state.mutes) {
        page.pictureMuted = state.mutes->picture;
        page.soundMuted = state.mutes->sound;
    }
    page.frozen = state.frozen.value_or(false);
    page.classTwo = state.pjClass.value_or(1) >= 2;

    page.name = orUnknown(state.name);
    page.make = orUnknown(state.maker + QLatin1Char(' ') + state.model);
    page.pjClass = state.pjClass ? QString::number(*state.pjClass) : Unknown;
    page.lamps = lampsText(state.lamps);
    if (!state.filterHours)
        page.filter = Unknown;
    else if (*state.filterHours < 0)
        page.filter = QStringLiteral("none");
    else
        page.filter = QStringLiteral("%1 h").arg(*state.filterHours);

    // A value given up shows so, rather than one that may be long stale.
    const auto given = [&state](const char *query) { return state.unreadable.contains(query); };
    if (given("NAME"))
        page.name = Unreadable;
    if (given("INF1") || given("INF2"))
        page.make = Unreadable;
    if (given("CLSS"))
        page.pjClass = Unreadable;
    if (given("LAMP"))
        page.lamps = Unreadable;
    if (given("FILT"))
        page.filter = Unreadable;
    if (given("IRES"))
        page.resolution = Unreadable;

    for (int part = 0; part < PJLink::HealthParts; ++part) {
        Health &health = page.health[part];
        if (state.health && !given("ERST"))
            health.level = state.health->at(part);
        const QString level = given("ERST") ? Unreadable : PJLink::healthLevelName(health.level);
        health.toolTip = QStringLiteral("%1: %2").arg(
            PJLink::healthPartName(part),
            level.isEmpty() ? QStringLiteral("not known yet") : level);
    }
    return page;
}

QString queryCaption(const PJLink::Command &command)
{
    static const char *const captions[][2] = {
        { "POWR", "Power" },  { "INPT", "Input" },
        { "INST", "Inputs" }, { "AVMT", "Mutes" },
        { "ERST", "Health" }, { "LAMP", "Lamps" },
        { "NAME", "Name" },   { "INF1", "Make" },
        { "INF2", "Model" },  { "INFO", "Other information" },
        { "CLSS", "Class" },  { "FREZ", "Freeze" },
        { "FILT", "Filter" }, { "IRES", "Resolution" },
    };
    for (const auto &caption : captions) {
        if (command.name == caption[0])
            return QLatin1String(caption[1]);
    }
    if (command.name == "INNM")
        return QStringLiteral("Name of %1").arg(PJLink::inputCaption(command.parameter.mid(1)));
    return QString::fromLatin1(command.name);
}

QString commandCaption(const PJLink::Command &command, const PJLinkState &state)
{
    const QByteArray &name = command.name;
    const QByteArray &value = command.parameter;
    if (name == "POWR" && (value == "1" || value == "0"))
        return value == "1" ? QStringLiteral("Power on") : QStringLiteral("Power off");
    if (name == "INPT" && !command.isQuery())
        return QStringLiteral("Input %1").arg(state.inputCaption(value));
    if (name == "AVMT" && value.size() == 2) {
        const char *const what[] = { nullptr, "Picture", "Sound", "Picture and sound" };
        const int target = value.at(0) - '0';
        if (target >= 1 && target <= 3 && (value.at(1) == '0' || value.at(1) == '1'))
            return QStringLiteral("%1 %2").arg(QLatin1String(what[target]),
                                               value.at(1) == '1' ? QStringLiteral("mute")
                                                                  : QStringLiteral("unmute"));
    }
    if (name == "FREZ" && (value == "1" || value == "0"))
        return value == "1" ? QStringLiteral("Freeze") : QStringLiteral("Unfreeze");
    if (name == "SVOL" && (value == "1" || value == "0"))
        return value == "1" ? QStringLiteral("Volume up") : QStringLiteral("Volume down");
    return QString::fromLatin1(name + ' ' + value);
}

} // namespace PJLinkView
