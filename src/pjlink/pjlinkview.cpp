#include "pjlinkview.h"

#include <QCoreApplication>
#include <QStringList>

namespace PJLinkView {

namespace {

const QString Unknown = QStringLiteral("-");
const char *const UnreadableText = QT_TRANSLATE_NOOP("PJLinkView", "unreadable");

// The page's words go through the window's translation; the projector's
// names of parts and levels stay vantrelctl's English keys elsewhere.
const char *const PartNames[PJLink::HealthParts]
    = { QT_TRANSLATE_NOOP("PJLinkView", "fan"),         QT_TRANSLATE_NOOP("PJLinkView", "lamp"),
        QT_TRANSLATE_NOOP("PJLinkView", "temperature"), QT_TRANSLATE_NOOP("PJLinkView", "cover"),
        QT_TRANSLATE_NOOP("PJLinkView", "filter"),      QT_TRANSLATE_NOOP("PJLinkView", "other") };
const char *const LevelNames[]
    = { QT_TRANSLATE_NOOP("PJLinkView", "ok"), QT_TRANSLATE_NOOP("PJLinkView", "warning"),
        QT_TRANSLATE_NOOP("PJLinkView", "error") };

QString translated(const char *text)
{
    return QCoreApplication::translate("PJLinkView", text);
}

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
        return QCoreApplication::translate("PJLinkView", "none");
    QStringList lines;
    for (int i = 0; i < lamps->size(); ++i) {
        const PJLink::Lamp &lamp = lamps->at(i);
        QString line = QCoreApplication::translate("PJLinkView", "%1 h, %2")
                           .arg(lamp.hours)
                           .arg(lamp.lit ? QCoreApplication::translate("PJLinkView", "lit")
                                         : QCoreApplication::translate("PJLinkView", "off"));
        if (lamps->size() > 1)
            line = QCoreApplication::translate("PJLinkView", "%1: %2").arg(i + 1).arg(line);
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
    page.info = orUnknown(state.info);
    page.pjClass = state.pjClass ? QString::number(*state.pjClass) : Unknown;
    page.lamps = lampsText(state.lamps);
    if (!state.filterHours)
        page.filter = Unknown;
    else if (*state.filterHours < 0)
        page.filter = QCoreApplication::translate("PJLinkView", "none");
    else
        page.filter = QCoreApplication::translate("PJLinkView", "%1 h").arg(*state.filterHours);

    // A value given up shows so, rather than one that may be long stale.
    const auto given = [&state](const char *query) { return state.unreadable.contains(query); };
    if (given("NAME"))
        page.name = translated(UnreadableText);
    if (given("INF1") || given("INF2"))
        page.make = translated(UnreadableText);
    if (given("INFO"))
        page.info = translated(UnreadableText);
    if (given("CLSS"))
        page.pjClass = translated(UnreadableText);
    if (given("LAMP"))
        page.lamps = translated(UnreadableText);
    if (given("FILT"))
        page.filter = translated(UnreadableText);
    if (given("IRES"))
        page.resolution = translated(UnreadableText);

    for (int part = 0; part < PJLink::HealthParts; ++part) {
        Health &health = page.health[part];
        if (state.health && !given("ERST"))
            health.level = state.health->at(part);
        const bool known = health.level >= 0 && health.level < 3;
        health.toolTip
            = QCoreApplication::translate("PJLinkView", "%1: %2")
                  .arg(translated(PartNames[part]),
                       given("ERST") ? translated(UnreadableText)
                           : known   ? translated(LevelNames[health.level])
                                     : QCoreApplication::translate("PJLinkView", "not known yet"));
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
        return value == "1" ? QCoreApplication::translate("PJLinkView", "Power on")
                            : QCoreApplication::translate("PJLinkView", "Power off");
    if (name == "INPT" && !command.isQuery())
        return QCoreApplication::translate("PJLinkView", "Input %1").arg(state.inputCaption(value));
    if (name == "AVMT" && value.size() == 2) {
        // Whole phrases, as a language may put the words in another order.
        const char *const muted[] = { nullptr, QT_TRANSLATE_NOOP("PJLinkView", "Picture mute"),
                                      QT_TRANSLATE_NOOP("PJLinkView", "Sound mute"),
                                      QT_TRANSLATE_NOOP("PJLinkView", "Picture and sound mute") };
        const char *const unmuted[]
            = { nullptr, QT_TRANSLATE_NOOP("PJLinkView", "Picture unmute"),
                QT_TRANSLATE_NOOP("PJLinkView", "Sound unmute"),
                QT_TRANSLATE_NOOP("PJLinkView", "Picture and sound unmute") };
        const int target = value.at(0) - '0';
        if (target >= 1 && target <= 3 && (value.at(1) == '0' || value.at(1) == '1'))
            return translated(value.at(1) == '1' ? muted[target] : unmuted[target]);
    }
    if (name == "FREZ" && (value == "1" || value == "0"))
        return value == "1" ? QCoreApplication::translate("PJLinkView", "Freeze")
                            : QCoreApplication::translate("PJLinkView", "Unfreeze");
    if (name == "SVOL" && (value == "1" || value == "0"))
        return value == "1" ? QCoreApplication::translate("PJLinkView", "Volume up")
                            : QCoreApplication::translate("PJLinkView", "Volume down");
    return QString::fromLatin1(name + ' ' + value);
}

} // namespace PJLinkView
