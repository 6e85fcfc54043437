#include "power.h"

#include "acer.h"
#include "infocus.h"
#include "vivitek.h"

#include <QRegularExpression>

namespace Power {

QByteArray onCommand(int modelIndex)
{
    switch (modelIndex) {
    case Acer::ModelIndex:
        return Acer::PowerOn;
    case Vivitek::ModelIndex:
        return Vivitek::PowerOn;
    case InFocus::ModelIndex:
        return InFocus::PowerOn;
    default:
        return {};
    }
}

QByteArray offCommand(int modelIndex)
{
    switch (modelIndex) {
    case Acer::ModelIndex:
        return Acer::PowerOff;
    case Vivitek::ModelIndex:
        return Vivitek::PowerOff;
    case InFocus::ModelIndex:
        return InFocus::PowerOff;
    default:
        return {};
    }
}

QByteArray pollCommand(int modelIndex)
{
    switch (modelIndex) {
    case Vivitek::ModelIndex:
        return Vivitek::StatusPoll;
    case InFocus::ModelIndex:
        return InFocus::StatusPoll;
    default:
        return Acer::StatusPoll;
    }
}

bool answersPoll(int modelIndex, const QString &reply)
{
    switch (modelIndex) {
    case Acer::ModelIndex: {
        const Acer::Reply::Action action = Acer::interpretReply(reply).action;
        return action == Acer::Reply::LampOn || action == Acer::Reply::LampOff;
    }
    case Vivitek::ModelIndex: {
        static const QRegularExpression state(QStringLiteral("^P[0-9]+$"));
        return state.match(reply).hasMatch();
    }
    case InFocus::ModelIndex: {
        // Anything before the bracket is what came before the reply: a line
        // end after an earlier one, or noise while the speed changed.
        static const QRegularExpression state(QStringLiteral("\\([0-9]+-[0-9]+,[0-9]+\\)$"));
        return state.match(reply).hasMatch();
    }
    default:
        return false;
    }
}

} // namespace Power
