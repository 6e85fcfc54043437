#include "rfc2217transport.h"

#include "family.h"

void Rfc2217Transport::beginSession()
{
    codec = std::make_unique<TelnetCodec>(Family::baudRate(modelIndex()));
    sendRaw(codec->greeting());
}

void Rfc2217Transport::received(const QByteArray &wire)
{
    if (!codec)
        return;
    QByteArray data;
    const QByteArray answer = codec->receive(wire, &data);
    if (!answer.isEmpty() && unsent() + answer.size() > MaxUnreadAnswers) {
        const bool open = !inSession();
        fail(open ? PortStatus::Problem::ConnectionLost : PortStatus::Problem::LineSettingsRefused,
             QStringLiteral("the server keeps negotiating and reads no answer"));
        return;
    }
    if (!answer.isEmpty())
        sendRaw(answer);
    deliver(data);
    if (!inSession())
        return;
    if (codec->state() == TelnetCodec::State::Agreed)
        sessionReady();
    else if (codec->state() == TelnetCodec::State::Refused)
        sessionFailed(PortStatus::Problem::LineSettingsRefused, codec->refusal());
}

QByteArray Rfc2217Transport::encode(const char *data, qint64 size)
{
    return TelnetCodec::encode(data, size);
}

void Rfc2217Transport::sessionTimedOut()
{
    sessionFailed(PortStatus::Problem::TimedOut, codec ? codec->unconfirmed() : QString());
}
