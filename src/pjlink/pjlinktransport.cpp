#include "pjlinktransport.h"

#include "linkaddress.h"
#include "pjlink.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QHash>

#include <limits>
#include <utility>

namespace {

struct Refusal
{
    PortStatus::Problem problem;
    QString detail;
    qint64 retryAtMs = 0; // on clockMs(); 0: not before forgetRejectedLogins()
    int closes = 0; // connections in a row closed right after the login
};

// Address and password (hashed) of each login refused in this program, and why.
QHash<QString, Refusal> &rejectedLogins()
{
    static QHash<QString, Refusal> rejected;
    return rejected;
}

qint64 clockMs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
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

qint64 PJLinkTransport::retryDelayMs(int closes)
{
    constexpr qint64 minute = 60 * 1000;
    return closes <= 1 ? minute : closes == 2 ? 5 * minute : 15 * minute;
}

QString PJLinkTransport::projectorKey(const LinkAddress &address)
{
    return address.host().toLower() + QLatin1Char(' ') + QString::number(address.port());
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
    projector = projectorKey(address);
    QString closedOn; // a login closed on, within its back-off
    const auto refused = rejectedLogins().constFind(loginKey());
    if (refused != rejectedLogins().constEnd()) {
        if (refused->retryAtMs == 0)
            return failSoon(refused->problem, refused->detail);
        if (clockMs() < refused->retryAtMs)
            closedOn = refused->detail;
    }
    SocketTransport::start(address, modelIndex); // which stops first
    remembered = PJLinkLogins::recall(projector, loginPassword);
    withheld = remembered.refused ? QLatin1String(PJLinkLogins::NotTriedAgain) : closedOn;
}

void PJLinkTransport::stop()
{
    SocketTransport::stop();
    login = PJLinkLogin();
    remembered = PJLinkLogins::Memory();
    withheld.clear();
    md5Fallback = false;
    kindKept = false;
    waiting.clear();
    unanswered.clear();
    awaiting = false;
    partial = false;
    answeredHere = false;
    resent = false;
}

void PJLinkTransport::beginSession()
{
    using Method = PJLinkLogin::Method;
    // The newer login first, unless this projector is known to take MD5
    // only; never the other of a login it took.
    Method method
        = md5Fallback || remembered.kind == PJLinkLogins::Kind::Md5 ? Method::Md5 : Method::Sha256;
    if (!withheld.isEmpty())
        method = Method::Withheld;
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
    // "PJLINK 2" unanswered: as good as refused.
    if (login.state() == PJLinkLogin::State::Challenge)
        return newerLoginRefused(false);
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
    case PJLinkLogin::State::Withheld:
        // The projector is there; the password it refused is not offered.
        return fail(PortStatus::Problem::PasswordRejected, QString(withheld));
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
    if (login.loginTaken() && !kindKept) {
        kindKept = true;
        rejectedLogins().remove(loginKey());
        PJLinkLogins::rememberKind(projector, loginPassword,
                                   login.method() == PJLinkLogin::Method::Md5
                                       ? PJLinkLogins::Kind::Md5
                                       : PJLinkLogins::Kind::Sha256);
    }
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
    if (login.newerLoginRefused())
        return newerLoginRefused(true);
    if (!login.refusedLogin()) {
        // "PJLINK ERRA" for a greeting: no login went out.
        return reject(PortStatus::Problem::PasswordRejected);
    }
    // The password itself was refused: not offered to this projector again,
    // by any front end, until it changes. Never the other login with it.
    PJLinkLogins::rememberRefusal(projector, loginPassword);
    // Here too, should the file be out of reach (a read-only home).
    rejectedLogins().insert(loginKey(),
                            { PortStatus::Problem::PasswordRejected,
                              QLatin1String(PJLinkLogins::NotTriedAgain),
                              std::numeric_limits<qint64>::max(), 0 });
    QString detail;
    if (md5Fallback)
        detail = bothRefused();
    else if (login.method() == PJLinkLogin::Method::Sha256)
        detail = QStringLiteral("SHA-256 login refused");
    fail(PortStatus::Problem::PasswordRejected, detail);
}

// answered: "PJLINK ERRA" or something else came back; otherwise the
// connection closed on the question or it went unanswered.
void PJLinkTransport::newerLoginRefused(bool answered)
{
    // A projector that took the newer login is never sent the other one.
    if (remembered.kind == PJLinkLogins::Kind::Sha256 || md5Fallback)
        return closedAfterLogin(QStringLiteral("SHA-256 login not answered"));
    // Refused outright: this projector does not know the newer login, and
    // is not asked again. A close may have been a busy projector: only MD5
    // taken tells.
    if (answered) {
        remembered.kind = PJLinkLogins::Kind::Md5;
        PJLinkLogins::rememberKind(projector, loginPassword, remembered.kind);
    }
    md5Fallback = true;
    waiting.prepend(std::exchange(unanswered, QByteArray()));
    awaiting = false;
    dropConnection();
    reconnectSoon();
}

void PJLinkTransport::closedAfterLogin(const QString &detail)
{
    Refusal &refusal = rejectedLogins()[loginKey()];
    refusal.problem = PortStatus::Problem::PasswordRejected;
    refusal.detail = detail;
    ++refusal.closes;
    refusal.retryAtMs = clockMs() + retryDelayMs(refusal.closes);
    fail(PortStatus::Problem::PasswordRejected, detail);
}

void PJLinkTransport::reject(PortStatus::Problem problem, const QString &detail)
{
    rejectedLogins().insert(loginKey(), { problem, detail, 0, 0 });
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
        // Closed on "PJLINK 2": perhaps a projector that does not know it.
        if (login.state() == PJLinkLogin::State::Challenge)
            return newerLoginRefused(false);
        return fail(problem, detail);
    }
    // Closed right after the login: a refusal, or a busy projector.
    if (login.awaitingVerdict())
        return closedAfterLogin(QStringLiteral("connection closed after the login"));
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
