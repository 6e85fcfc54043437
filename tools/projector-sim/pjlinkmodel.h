#ifndef PJLINKMODEL_H
#define PJLINKMODEL_H

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// The protocol side of a simulated PJLink projector, free of any I/O. Every
// TCP connection is opened with open(), its bytes go in through receive()
// and come out of takeOutput(); closing() tells when the projector ends it.
// Search datagrams go through datagram(). Time is always passed in as
// milliseconds on a monotonic clock, so warm-up, idle close and delays can
// be driven without sleeping.
class PjlinkModel
{
public:
    enum class Power { Off, WarmingUp, On, CoolingDown };

    // The logins a projector with a password takes: MD5, as deployed
    // projectors do; SHA-256 only, as a newer one may; or either.
    enum class Login { Md5, Sha256, Both };

    struct Options
    {
        int pjClass = 1;
        QByteArray password; // empty: no login
        Login login = Login::Md5;
        // A refused login is answered by closing the connection, not
        // "PJLINK ERRA", as some newer projectors answer an MD5 login.
        bool closeOnRefusal = false;
        bool lampOn = false;
        qint64 warmupMs = 3000;
        qint64 cooldownMs = 3000;
        int lampHours = 1250;
        int lamps = 1; // 0: no lamp, LAMP is answered ERR1
        QByteArray errorStatus = "000000";
        qint64 idleCloseMs = -1; // negative: never
        qint64 delayMs = 0;
        quint32 seed = 1;
        QByteArray mac = "00:00:5e:00:53:01";
        QByteArray name = "Room 101 Projector"; // as NAME answers it, bytes as they are
        // Faults.
        bool lowerCase = false; // every answer in lower case
        bool classText = false; // CLSS answered "Class 1" instead of "1"
        qint64 greetingDelayMs = 0;
        // The first answer to this command (e.g. "LAMP") stops half way and
        // the connection is dropped.
        QByteArray cutReplyTo;
        // Ways real projectors bend the standard.
        bool longInputList = false; // 45 inputs: an INST answer of 142 bytes
        bool classTwoListRefused = false; // class 2, but %2INST answered ERR1
        bool classTwoInputOnly = false; // class 2, but %1INPT ? answered ERR1
        bool filter = true; // false: FILT answered ERR1
        int filterHours = 320;
    };

    static constexpr int maxPacket = 136;

    PjlinkModel(const Options &options, qint64 nowMs);

    // A new connection; returns its number.
    int open(qint64 nowMs);
    // The client closed it.
    void close(int connection);
    void receive(int connection, const QByteArray &bytes, qint64 nowMs);
    // Everything due on that connection now.
    QByteArray takeOutput(int connection, qint64 nowMs);
    // True once the projector is done with the connection: after a rejected
    // login, an idle time or a cut reply, when its output has been taken.
    bool closing(int connection, qint64 nowMs);
    // The answer to a datagram, or empty for none.
    QByteArray datagram(const QByteArray &bytes, qint64 nowMs);
    // The next moment at which something is due, or -1.
    qint64 nextDueMs() const;

    void setErrorStatus(const QByteArray &status) { m_options.errorStatus = status; }
    Power power(qint64 nowMs);
    int lampHours(qint64 nowMs);
    QByteArray input() const { return m_input; }

    // Traffic and events since the last call, one line each.
    QStringList takeLog();

private:
    struct Pending
    {
        qint64 dueMs;
        QByteArray bytes;
        bool cut;
    };

    struct Connection
    {
        qint64 lastMs = 0;
        QByteArray token;
        QByteArray challenge; // the SHA-256 login's random value, once asked for
        bool loginPending = false;
        QByteArray line;
        bool discarding = false;
        QList<Pending> pending;
        bool closeAfterOutput = false;
    };

    void advance(qint64 nowMs);
    void setPower(Power power, qint64 atMs);
    bool lampLit() const { return m_power == Power::WarmingUp || m_power == Power::On; }
    void handleLine(int number, Connection &connection, QByteArray line);
    // Takes the login off the front of the first line; false when it is wrong.
    bool loggedIn(Connection &connection, QByteArray &line, qint64 due);
    quint32 nextRandom();
    QByteArray answer(char pjClass, const QByteArray &name, const QByteArray &parameter);
    QByteArray inputList(char pjClass) const;
    void log(const QString &line) { m_log.append(line); }

    Options m_options;
    qint64 m_nowMs;
    Power m_power;
    qint64 m_transitionEndMs = 0;
    qint64 m_litSinceMs = 0;
    qint64 m_litTotalMs = 0;
    QByteArray m_input = "11";
    QByteArray m_mutes = "30";
    bool m_frozen = false;
    bool m_cutDone = false;
    quint32 m_random;
    int m_nextConnection = 1;
    QMap<int, Connection> m_connections;
    QStringList m_log;
};

#endif // PJLINKMODEL_H
