#include "pjlinktransport.h"

#include "linkaddress.h"
#include "pjlink.h"

#include <QCryptographicHash>
#include <QHash>

#include <utility>

namespace {

struct Refusal
{
    PortStatus::Problem problem;
    QString detail;
};

// Address and password (hashed) of each login that was refused, and why.
QHash<QString, Refusal> &rejectedLogins()
{
    static QHash<QString, Refusal> rejected;
    return rejected;
}

// The login each projector took.
QHash<QString, PJLinkLogin::Method> &workedLogins()
{
    static QHash<QString, PJLinkLogin::Method> worked;
    return worked;
}

QString bothRefused()
{
    return QStringLiteral("MD5 and SHA-256 logins refused");
}

} // namespace

PJLinkTransport::PJLinkTransport(QObject *parent)
    : SocketTransport(parent)
{
    setSessionTimeout(TimeoutMs);
}

void PJLinkTransport::forgetRejectedLogins()
{
    rejectedLogins().clear();
}

QString PJLinkTransport::loginKey() const
{
    return projector + QLatin1Char(' ')
        + QString::fromLatin1(
               QCryptographicHash::hash(loginPassword, QCryptographicHash::Sha256).toHex());
}

void PJLinkTransport::start(const LinkAddress &address, int modelIndex)
{
    stop();
    projector = address.host() + QLatin1Char(' ') + QString::number(address.port());
    const auto refused = rejectedLogins().constFind(loginKey());
    if (refused != rejectedLogins().constEnd())
        return failSoon(refused->problem, refused->detail);
    SocketTransport::start(address, modelIndex);
}

void PJLinkTransport::stop()
{
    SocketTransport::stop();
    login = PJLinkLogin();
    md5Refused = false;
    waiting.clear();
    unanswered.clear();
    awaiting = false;
    partial = false;
    answeredHere = false;
    resent = false;
}

void PJLinkTransport::beginSession()
{
    const PJLinkLogin::Method method
        = md5Refused ? PJLinkLogin::Method::Sha256 : workedLogins().value(projector);
    login = PJLinkLogin(loginPassword, method);
    answeredHere = false;
    partial = false;
}

PortStatus::Problem PJLinkTransport::overdue() const
{
    if (inSession() && login.state() == PJLinkLogin::State::Greeting)
        return PortStatus::Problem::NoGreeting;
    return SocketTransport::overdue();
}

void PJLinkTransport::sessionTimedOut()
{
    if (login.state() == PJLinkLogin::State::Challenge)
        return reject(PortStatus::Problem::PasswordRejected, bothRefused());
    sessionFailed(PortStatus::Problem::NoGreeting, QString());
}

void PJLinkTransport::received(const QByteArray &wire)
{
    const bool opening = inSession();
    const QByteArray data = login.receive(wire);
    const QByteArray output = login.takeOutput();
    if (!output.isEmpty())
        sendRaw(output);
    switch (login.state()) {
    case PJLinkLogin::State::Greeting:
    case PJLinkLogin::State::Challenge:
        return;
    case PJLinkLogin::State::NotPJLink:
        return sessionFailed(PortStatus::Problem::NotPJLink, QString());
    case PJLinkLogin::State::PasswordMissing:
        return reject(PortStatus::Problem::PasswordMissing);
    case PJLinkLogin::State::Rejected:
        return loginRefused();
    case PJLinkLogin::State::Open:
        break;
    }
    if (opening) {
        sessionReady();
        if (!isConnected())
            return; // the owner ended the link on hearing it opened
        if (!waiting.isEmpty()) {
            const QByteArray queued = std::exchange(waiting, QByteArray());
            send(queued.constData(), queued.size());
        }
    }
    if (login.loginTaken())
        workedLogins().insert(projector, login.method());
    if (!data.isEmpty()) {
        deliver(data);
        answered(data);
    }
}

void PJLinkTransport::answered(const QByteArray &data)
{
    // What follows the last carriage return, a line feed aside, is part of
    // the next answer.
    const int end = data.lastIndexOf('\r');
    const bool more = !data.mid(end + 1).trimmed().isEmpty();
    partial = more || (end < 0 && partial);
    if (end < 0)
        return;
    awaiting = false;
    unanswered.clear();
    answeredHere = true;
    resent = false;
}

void PJLinkTransport::loginRefused()
{
    const bool md5 = login.method() == PJLinkLogin::Method::Md5;
    // A password longer than the standard allows is refused by any login.
    if (md5 && login.refusedLogin() && !md5Refused && loginPassword.size() <= PJLink::MaxPassword
        && !workedLogins().contains(projector)) {
        // Perhaps a projector of the newer revision that no longer takes
        // MD5: the SHA-256 login, once, on a new connection.
        md5Refused = true;
        waiting.prepend(std::exchange(unanswered, QByteArray()));
        awaiting = false;
        dropConnection();
        return reconnectSoon();
    }
    reject(PortStatus::Problem::PasswordRejected, md5 ? QString() : bothRefused());
}

void PJLinkTransport::reject(PortStatus::Problem problem, const QString &detail)
{
    rejectedLogins().insert(loginKey(), { problem, detail });
    fail(problem, detail);
}

void PJLinkTransport::reconnectSoon()
{
    // Not from inside the socket's own signals.
    QMetaObject::invokeMethod(
        this, [this] { reconnect(); }, Qt::QueuedConnection);
}

void PJLinkTransport::connectionClosed(PortStatus::Problem problem, const QString &detail)
{
    if (inSession()) {
        // A projector that closes on "PJLINK 2" does not know the newer login.
        if (login.state() == PJLinkLogin::State::Challenge)
            return reject(PortStatus::Problem::PasswordRejected, bothRefused());
        return fail(problem, detail);
    }
    // Closed right after the login: some projectors refuse it so.
    if (login.awaitingVerdict())
        return reject(PortStatus::Problem::PasswordRejected,
                      login.method() == PJLinkLogin::Method::Md5 ? QString() : bothRefused());
    // Most projectors close a connection that has been idle; the next
    // command opens another.
    if (!awaiting)
        return;
    awaiting = false;
    const QByteArray lost = std::exchange(unanswered, QByteArray());
    // Half an answer is not asked for twice.
    if (partial)
        return;
    // Closed before any of the answer came, the command may never have
    // arrived: once, if the connection served before, it goes out again.
    if (resent || !answeredHere)
        return fail(problem, detail);
    resent = true;
    waiting.prepend(lost);
    reconnectSoon();
}

qint64 PJLinkTransport::send(const char *data, qint64 size)
{
    if (!isEstablished())
        return -1;
    if (!isConnected()) {
        // Commands are a few bytes at a poll; a projector that never comes
        // back fails the connection long before this could grow.
        waiting.append(data, int(size));
        reconnect();
        return size;
    }
    awaiting = true;
    unanswered.append(data, int(size));
    return sendRaw(login.wrap(QByteArray(data, int(size)))) ? size : -1;
}

bool PJLinkTransport::push()
{
    return isConnected() ? SocketTransport::push() : isEstablished();
}
