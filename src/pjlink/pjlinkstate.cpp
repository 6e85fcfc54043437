#include "pjlinkstate.h"

#include "projectortext.h"

#include <QSet>

namespace {

template<typename T>
bool update(T &field, const T &value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

bool sameLamps(const QList<PJLink::Lamp> &a, const QList<PJLink::Lamp> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (a.at(i).hours != b.at(i).hours || a.at(i).lit != b.at(i).lit)
            return false;
    }
    return true;
}

} // namespace

bool PJLinkState::apply(const PJLink::Command &command, const PJLink::Reply &reply)
{
    using PJLink::Error;
    if (!reply.valid || !command.isQuery() || reply.name != command.name)
        return false;
    const QByteArray &name = reply.name;
    const QByteArray &value = reply.value;
    const QString text = ProjectorText::plain(reply.text);

    if (reply.error != Error::None) {
        if (reply.error != Error::Undefined)
            return false;
        if (name == "LAMP") {
            const bool changed = !lamps || !lamps->isEmpty();
            lamps = QList<PJLink::Lamp>();
            return changed;
        }
        if (name == "FILT")
            return update(filterHours, std::optional<int>(-1));
        return false;
    }

    if (name == "POWR") {
        const std::optional<int> state = PJLink::parsePower(value);
        return state && update(power, state);
    }
    if (name == "INPT") {
        const QByteArray code = PJLink::parseInput(value);
        return !code.isEmpty() && update(input, code);
    }
    if (name == "AVMT") {
        const std::optional<PJLink::Mutes> parsed = PJLink::parseMutes(value);
        if (!parsed)
            return false;
        const bool changed
            = !mutes || mutes->picture != parsed->picture || mutes->sound != parsed->sound;
        mutes = parsed;
        return changed;
    }
    if (name == "FREZ") {
        if (value != "0" && value != "1")
            return false;
        return update(frozen, std::optional<bool>(value == "1"));
    }
    if (name == "ERST") {
        const std::optional<PJLink::Health> parsed = PJLink::parseHealth(value);
        return parsed && update(health, parsed);
    }
    if (name == "LAMP") {
        const std::optional<QList<PJLink::Lamp>> parsed = PJLink::parseLamps(value);
        if (!parsed)
            return false;
        const bool changed = !lamps || !sameLamps(*lamps, *parsed);
        lamps = parsed;
        return changed;
    }
    if (name == "INST") {
        const std::optional<QList<QByteArray>> parsed = PJLink::parseInputs(value);
        return parsed && update(inputs, parsed);
    }
    if (name == "INNM") {
        const QByteArray code = PJLink::parseInput(command.parameter.mid(1).toUpper());
        if (code.isEmpty())
            return false;
        if (inputNames.value(code) == text)
            return false;
        inputNames.insert(code, text);
        return true;
    }
    if (name == "CLSS") {
        const std::optional<int> parsed = PJLink::parseClass(value);
        return parsed && update(pjClass, parsed);
    }
    if (name == "FILT") {
        const std::optional<int> hours = PJLink::parseHours(value);
        return hours && update(filterHours, hours);
    }
    if (name == "IRES") {
        const QString shown = value == "-" ? QStringLiteral("no signal")
            : value == "*"                 ? QStringLiteral("unknown")
                                           : text;
        return update(inputResolution, shown);
    }
    if (name == "NAME")
        return update(this->name, text);
    if (name == "INF1")
        return update(maker, text);
    if (name == "INF2")
        return update(model, text);
    if (name == "INFO")
        return update(info, text);
    if (name == "SNUM")
        return update(serialNumber, text);
    if (name == "SVER")
        return update(softwareVersion, text);
    if (name == "RLMP")
        return update(lampPart, text);
    if (name == "RFIL")
        return update(filterPart, text);
    return false;
}

bool PJLinkState::readable(const PJLink::Command &command, const PJLink::Reply &reply)
{
    if (!reply.valid || reply.error != PJLink::Error::None)
        return reply.valid;
    const QByteArray &name = reply.name;
    const QByteArray &value = reply.value;
    if (name == "POWR")
        return PJLink::parsePower(value).has_value();
    if (name == "INPT")
        return !PJLink::parseInput(value).isEmpty();
    if (name == "AVMT")
        return PJLink::parseMutes(value).has_value();
    if (name == "FREZ")
        return value == "0" || value == "1";
    if (name == "ERST")
        return PJLink::parseHealth(value).has_value();
    if (name == "LAMP")
        return PJLink::parseLamps(value).has_value();
    if (name == "INST")
        return PJLink::parseInputs(value).has_value();
    if (name == "CLSS")
        return PJLink::parseClass(value).has_value();
    if (name == "FILT")
        return PJLink::parseHours(value).has_value();
    if (name == "INNM")
        return !PJLink::parseInput(command.parameter.mid(1).toUpper()).isEmpty();
    return true;
}

QString PJLinkState::inputCaption(const QByteArray &input) const
{
    const QString own = inputNames.value(input).simplified();
    return own.isEmpty() ? PJLink::inputCaption(input) : own;
}

QByteArray PJLinkState::inputNamed(const QString &name) const
{
    const QMap<QByteArray, QString> names = inputCommandNames();
    for (auto it = names.cbegin(); it != names.cend(); ++it) {
        if (it.value() == name.toLower())
            return it.key();
    }
    return PJLink::inputFromName(name);
}

QMap<QByteArray, QString> PJLinkState::inputCommandNames() const
{
    QList<QByteArray> listed = inputs.value_or(QList<QByteArray>());
    // Inputs named but missing from the list (or asked before it) come last.
    for (auto it = inputNames.cbegin(); it != inputNames.cend(); ++it) {
        if (!listed.contains(it.key()))
            listed.append(it.key());
    }
    QMap<QByteArray, QString> names;
    QSet<QString> taken;
    for (const QByteArray &input : listed) {
        const QString base = PJLink::nameOf(inputCaption(input));
        if (base.isEmpty())
            continue;
        QString name = base;
        for (int count = 2; taken.contains(name); ++count)
            name = base + QLatin1Char('-') + QString::number(count);
        taken.insert(name);
        names.insert(input, name);
    }
    return names;
}
