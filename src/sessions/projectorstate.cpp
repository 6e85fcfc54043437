#include "projectorstate.h"

#include "pjlinkstate.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("ProjectorState", text);
}

// PJLink's names of the health parts and levels stay English on the wire and
// in vantrelctl; the Rooms view looks them up here by that English text.
[[maybe_unused]] const char *const HealthWords[] = {
    QT_TRANSLATE_NOOP("ProjectorState", "fan"),
    QT_TRANSLATE_NOOP("ProjectorState", "lamp"),
    QT_TRANSLATE_NOOP("ProjectorState", "temperature"),
    QT_TRANSLATE_NOOP("ProjectorState", "cover"),
    QT_TRANSLATE_NOOP("ProjectorState", "filter"),
    QT_TRANSLATE_NOOP("ProjectorState", "other"),
    QT_TRANSLATE_NOOP("ProjectorState", "ok"),
    QT_TRANSLATE_NOOP("ProjectorState", "warning"),
    QT_TRANSLATE_NOOP("ProjectorState", "error"),
};

} // namespace

bool operator==(const ProjectorState::Input &a, const ProjectorState::Input &b)
{
    return a.code == b.code && a.caption == b.caption;
}

void ProjectorState::takePJLink(const PJLinkState &state)
{
    if (state.power)
        power = *state.power;
    input = state.input;
    inputCaption = state.input.isEmpty() ? QString() : state.inputCaption(state.input);
    inputs.clear();
    if (state.inputs) {
        for (const QByteArray &code : *state.inputs)
            inputs.append({ code, state.inputCaption(code) });
    }
    mutes = state.mutes;
    lamps = state.lamps;
    filterHours = state.filterHours;
    health = state.health;
    pjClass = state.pjClass;
    name = state.name;
    make = state.maker;
    model = state.model;
    info = state.info;
    serialNumber = state.serialNumber;
    softwareVersion = state.softwareVersion;
    lampPart = state.lampPart;
    filterPart = state.filterPart;
}

QString ProjectorState::stateText() const
{
    if (!reachable)
        return problem.isEmpty() ? tr("No contact") : problem;
    switch (power) {
    case 0:
        return tr("Lamp off");
    case 1:
        return tr("Lamp on");
    case 2:
        return tr("Cooling down");
    case 3:
        return tr("Warming up");
    }
    return tr("Contact");
}

QString ProjectorState::healthText() const
{
    if (!health)
        return QString();
    QStringList trouble;
    for (int part = 0; part < PJLink::HealthParts; ++part) {
        const int level = health->at(std::size_t(part));
        if (level > 0)
            trouble.append(tr(PJLink::healthPartName(part).toLatin1().constData())
                           + QLatin1String(": ")
                           + tr(PJLink::healthLevelName(level).toLatin1().constData()));
    }
    return trouble.isEmpty() ? tr("ok") : trouble.join(QLatin1String(", "));
}

int ProjectorState::worstHealth() const
{
    if (!health)
        return -1;
    int worst = 0;
    for (const int level : *health)
        worst = qMax(worst, level);
    return worst;
}

QString ProjectorState::lampHoursText() const
{
    if (!lamps)
        return QString();
    QStringList hours;
    for (const PJLink::Lamp &lamp : *lamps)
        hours.append(QString::number(lamp.hours));
    return hours.join(QLatin1String(", "));
}

int ProjectorState::maxLampHours() const
{
    int most = -1;
    if (lamps) {
        for (const PJLink::Lamp &lamp : *lamps)
            most = qMax(most, lamp.hours);
    }
    return most;
}

QString ProjectorState::filterText() const
{
    if (!filterHours || *filterHours < 0)
        return QString();
    return QString::number(*filterHours);
}
