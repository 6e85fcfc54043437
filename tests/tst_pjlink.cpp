// The PJLink protocol: login, framing, the reading of answers, one command at
// a time, and the client's rules, against the simulated projector on a clock
// the test drives, so that minutes of warm-up take no time; then the link the
// programs use, over TCP to the simulator on 127.0.0.1.

#include "droppingprojector.h"
#include "linkaddress.h"
#include "pjlink.h"
#include "pjlinkclient.h"
#include "pjlinklogin.h"
#include "pjlinklogins.h"
#include "pjlinkmodel.h"
#include "pjlinksession.h"
#include "pjlinkstate.h"
#include "pjlinktransport.h"
#include "pjlinkview.h"
#include "portstatus.h"
#include "projectorlink.h"
#include "projectortext.h"
#include "simprocess.h"
#include "teststore.h"

#include <QCryptographicHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextDocument>
#include <QtTest>

using PJLink::Command;
using Kind = PJLinkClient::Notice::Kind;
using Actions = QMap<qint64, QByteArray>; // the user's commands, "POWR 1" or "2:FREZ 1", by ms
Q_DECLARE_METATYPE(PjlinkModel::Options)
Q_DECLARE_METATYPE(Command)
Q_DECLARE_METATYPE(Actions)
Q_DECLARE_METATYPE(PortStatus::Problem)

namespace {

// "POWR ?" or "2:INNM ?31" as a command of the user's.
Command command(const QByteArray &text)
{
    const bool second = text.startsWith("2:");
    const QByteArray body = second ? text.mid(2) : text;
    return PJLink::setting(second ? 2 : 1, body.left(4).constData(), body.mid(5));
}

// The known parts of a state, so a row can say what an answer changed.
QString summary(const PJLinkState &state)
{
    QStringList parts;
    if (state.power)
        parts << QStringLiteral("power=%1").arg(*state.power);
    if (!state.input.isEmpty())
        parts << QStringLiteral("input=") + QString::fromLatin1(state.input);
    if (state.mutes)
        parts << QStringLiteral("mutes=%1%2")
                     .arg(QLatin1Char(state.mutes->picture ? 'P' : '-'))
                     .arg(QLatin1Char(state.mutes->sound ? 'S' : '-'));
    if (state.frozen)
        parts << QStringLiteral("frozen=%1").arg(int(*state.frozen));
    if (state.health) {
        QString digits;
        for (int level : *state.health)
            digits += QString::number(level);
        parts << QStringLiteral("health=") + digits;
    }
    if (state.lamps) {
        QStringList lamps;
        for (const PJLink::Lamp &lamp : *state.lamps)
            lamps << QStringLiteral("%1:%2").arg(lamp.hours).arg(int(lamp.lit));
        parts << QStringLiteral("lamps=")
                + (lamps.isEmpty() ? QStringLiteral("none") : lamps.join(','));
    }
    if (state.inputs) {
        QStringList inputs;
        for (const QByteArray &input : *state.inputs)
            inputs << QString::fromLatin1(input);
        parts << QStringLiteral("inputs=") + inputs.join(',');
    }
    for (auto it = state.inputNames.cbegin(); it != state.inputNames.cend(); ++it)
        parts << QStringLiteral("innm%1=%2").arg(QString::fromLatin1(it.key()), it.value());
    if (state.pjClass)
        parts << QStringLiteral("class=%1").arg(*state.pjClass);
    const QPair<const char *, QString> texts[] = {
        { "name", state.name },
        { "maker", state.maker },
        { "model", state.model },
        { "info", state.info },
        { "serial", state.serialNumber },
        { "software", state.softwareVersion },
        { "ires", state.inputResolution },
        { "lamppart", state.lampPart },
        { "filterpart", state.filterPart },
    };
    for (const auto &text : texts) {
        if (!text.second.isEmpty())
            parts << QLatin1String(text.first) + QLatin1Char('=') + text.second;
    }
    if (state.filterHours)
        parts << QStringLiteral("filter=")
                + (*state.filterHours < 0 ? QStringLiteral("none")
                                          : QString::number(*state.filterHours));
    return parts.join(' ');
}

QString describe(const PJLinkSession::Event &event)
{
    using E = PJLinkSession::Event::Kind;
    switch (event.kind) {
    case E::Answered:
        return QStringLiteral("answered %1=%2")
            .arg(QString::fromLatin1(event.command.name), QString::fromLatin1(event.reply.value));
    case E::GaveUp:
        return QStringLiteral("gave up ") + QString::fromLatin1(event.command.name);
    case E::LineDropped:
        return QStringLiteral("dropped");
    case E::Unmatched:
        return QStringLiteral("stray ")
            + QString::fromLatin1(event.line.constData(), event.line.size());
    }
    return QString();
}

QString describe(const PJLinkClient::Notice &notice)
{
    const QString command
        = QString::fromLatin1(notice.command.name + ' ' + notice.command.parameter);
    switch (notice.kind) {
    case Kind::Done:
        return QStringLiteral("done ") + command;
    case Kind::Refused:
        return QStringLiteral("refused %1: %2").arg(command, notice.text);
    case Kind::Held:
        if (notice.text != QLatin1String("will be sent when the projector is on"))
            return QStringLiteral("held, but told: ") + notice.text;
        return QStringLiteral("held ") + command;
    case Kind::NotSent:
        return QStringLiteral("not sent ") + command;
    case Kind::NoAnswer:
        return QStringLiteral("no answer ") + command;
    case Kind::LineDropped:
        return QStringLiteral("line dropped");
    case Kind::Unreadable:
        return QStringLiteral("unreadable ") + command;
    case Kind::Replied:
        return QStringLiteral("replied %1: %2")
            .arg(command, QString::fromLatin1(notice.reply.value));
    case Kind::StateChanged:
    case Kind::Stray:
        break;
    }
    return QString();
}

// A client and the simulated projector joined as the window joins them over
// a socket, through the link's greeting and login, on the test's clock: a
// poll every 3.1 s, which also connects again when the projector has closed
// the connection, bytes passed both ways every 10 ms. A projector that takes
// only the newer login is logged in to with it.
struct Rig
{
    Rig(const PjlinkModel::Options &options, const QByteArray &password)
        : model(options, 0)
        , password(password)
        , method(options.login == PjlinkModel::Login::Sha256 ? PJLinkLogin::Method::Sha256
                                                             : PJLinkLogin::Method::Md5)
    { }

    void runUntil(qint64 untilMs, const Actions &actions = Actions())
    {
        for (; now <= untilMs; now += 10) {
            if (now % 3100 == 0) {
                if (connection < 0 && !rejected) {
                    connection = model.open(now);
                    ++connections;
                    login = PJLinkLogin(password, method);
                }
                client.poll(now);
            }
            if (actions.contains(now))
                QVERIFY(client.send(command(actions.value(now))));
            step();
        }
    }

    void step()
    {
        if (connection >= 0) {
            const QByteArray in = model.takeOutput(connection, now);
            if (!in.isEmpty())
                pass(in);
            if (connection >= 0 && model.closing(connection, now))
                drop();
        }
        take(client.advance(now));
        if (connection >= 0 && login.state() == PJLinkLogin::State::Open) {
            for (QByteArray out = client.takeOutput(now); !out.isEmpty();
                 out = client.takeOutput(now)) {
                out = login.wrap(out);
                wire.append(out);
                model.receive(connection, out, now);
            }
        }
        for (const QString &line : model.takeLog())
            log.append(line);
    }

    // From the projector through the login to the client.
    void pass(const QByteArray &in)
    {
        const bool opening = login.state() != PJLinkLogin::State::Open;
        const QByteArray data = login.receive(in);
        const QByteArray output = login.takeOutput();
        if (!output.isEmpty()) {
            wire.append(output);
            model.receive(connection, output, now);
        }
        switch (login.state()) {
        case PJLinkLogin::State::Greeting:
        case PJLinkLogin::State::Challenge:
            return;
        case PJLinkLogin::State::Open:
            break;
        case PJLinkLogin::State::Rejected:
        case PJLinkLogin::State::PasswordMissing:
        case PJLinkLogin::State::Withheld:
            notices.append(QStringLiteral("rejected: ")
                           + PortStatus::reason(login.state() == PJLinkLogin::State::Rejected
                                                    ? PortStatus::Problem::PasswordRejected
                                                    : PortStatus::Problem::PasswordMissing));
            rejected = true;
            return drop();
        case PJLinkLogin::State::NotPJLink:
            notices.append(QStringLiteral("not a greeting"));
            return drop();
        }
        if (opening)
            client.opened(now);
        if (!data.isEmpty())
            take(client.receive(data, now));
    }

    void drop()
    {
        model.close(connection);
        connection = -1;
        take(client.disconnected());
    }

    void take(const QList<PJLinkClient::Notice> &list)
    {
        for (const PJLinkClient::Notice &notice : list) {
            const QString text = describe(notice);
            if (!text.isEmpty())
                notices.append(text);
        }
    }

    QStringList received() const
    {
        QStringList lines;
        for (const QString &line : log) {
            if (line.startsWith(QLatin1String("RX \"")))
                lines.append(line.mid(4, line.size() - 5));
        }
        return lines;
    }

    PjlinkModel model;
    QByteArray password;
    PJLinkLogin::Method method;
    PJLinkLogin login;
    PJLinkClient client;
    bool rejected = false;
    int connection = -1;
    int connections = 0;
    qint64 now = 0;
    QStringList notices;
    QStringList log;
    QByteArray wire;
};

// The simulator with its lamp on, asking for the password "s3cret", kept in dir.
bool startLocked(SimProcess &sim, const QTemporaryDir &dir, const QStringList &more)
{
    QFile secret(dir.filePath(QStringLiteral("password")));
    if (!secret.open(QIODevice::WriteOnly) || secret.write("s3cret\n") < 0)
        return false;
    secret.close();
    return sim.startSimulator(
        PROJECTOR_SIM_PATH,
        QStringList { "--family", "pjlink", "--lamp", "on", "--password-file", secret.fileName() }
            + more);
}

PjlinkModel::Options options(int pjClass, bool lampOn = false)
{
    PjlinkModel::Options options;
    options.pjClass = pjClass;
    options.lampOn = lampOn;
    return options;
}

// A projector that answers from a table, on the test's clock: each line the
// client sends is answered at once with its value in the table, ERR1 when
// it has none, nothing at all when the value is "-".
struct Scripted
{
    explicit Scripted(const QMap<QByteArray, QByteArray> &table)
        : answers(table)
    { }

    void runUntil(qint64 untilMs)
    {
        if (now == 0) {
            client.opened(0);
            client.poll(0);
        }
        for (; now <= untilMs; now += 10) {
            if (now > 0 && now % 3100 == 0)
                client.poll(now);
            take(client.advance(now));
            for (QByteArray out = client.takeOutput(now); !out.isEmpty();
                 out = client.takeOutput(now)) {
                const QByteArray line = out.chopped(1);
                sent << line;
                times << now;
                const QByteArray answer = answers.value(line, "ERR1");
                if (answer != "-")
                    take(client.receive(line.left(6) + '=' + answer + '\r', now));
            }
        }
    }

    void take(const QList<PJLinkClient::Notice> &list)
    {
        for (const PJLinkClient::Notice &notice : list) {
            if (notice.kind == Kind::Unreadable)
                unreadable << describe(notice);
        }
    }

    QMap<QByteArray, QByteArray> answers;
    PJLinkClient client;
    QByteArrayList sent;
    QList<qint64> times; // when each line of sent went out
    QStringList unreadable;
    qint64 now = 0;
};

} // namespace

class TestPJLink : public QObject
{
    Q_OBJECT

public:
    // What the links remember of logins lives beside a store of this run's own.
    TestPJLink() { TestStore::isolate(); }

private slots:
    // Each test meets its projectors afresh.
    void init()
    {
        QFile::remove(PJLinkLogins::location());
        ProjectorLink::forgetRejectedLogins();
    }

    void greeting_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("token");
        using G = PJLink::Greeting::Kind;
        const auto row = [](const char *name, const QByteArray &line, G kind,
                            const QByteArray &token = QByteArray()) {
            QTest::newRow(name) << line << int(kind) << token;
        };
        row("open", "PJLINK 0", G::Open);
        row("open, lower case", "pjlink 0", G::Open);
        row("token kept as sent", "PJLINK 1 498e4a67", G::Protected, "498e4a67");
        row("lower-case word, upper-case token", "PJLink 1 4A6B0C1D", G::Protected, "4A6B0C1D");
        row("rejected", "PJLINK ERRA", G::Rejected);
        row("rejected, lower case", "pjlink erra", G::Rejected);
        row("token short", "PJLINK 1 498e4a6", G::Faulty);
        row("token long", "PJLINK 1 498e4a670", G::Faulty);
        row("token not hex", "PJLINK 1 498e4a6g", G::Faulty);
        row("no token", "PJLINK 1", G::Faulty);
        row("token where none belongs", "PJLINK 0 498e4a67", G::Faulty);
        row("login we do not speak", "PJLINK 2 498e4a67", G::Faulty);
        row("a reply", "%1POWR=1", G::Faulty);
        row("empty", "", G::Faulty);
        row("binary", QByteArray("\xff\x00PJLINK 0", 10), G::Faulty);
    }

    void greeting()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, kind);
        QFETCH(QByteArray, token);
        const PJLink::Greeting greeting = PJLink::parseGreeting(line);
        QCOMPARE(int(greeting.kind), kind);
        QCOMPARE(greeting.token, token);
    }

    void digest()
    {
        QCOMPARE(PJLink::digest("498e4a67", "JBMIAProjectorLink"),
                 QByteArray("5d8409bc1c3fa39749434aa3a5c38682"));
        // The token takes part as sent: upper-casing it would break the login.
        QVERIFY(PJLink::digest("498E4A67", "JBMIAProjectorLink")
                != PJLink::digest("498e4a67", "JBMIAProjectorLink"));
    }

    void sha256Login()
    {
        const auto hex = [](const char *text) { return QByteArray::fromHex(text); };
        // The vector of the network notes.
        QCOMPARE(PJLink::sha256Login(hex("00112233445566778899aabbccddeeff"),
                                     hex("0f0e0d0c0b0a09080706050403020100"), "JBMIAProjectorLink"),
                 QByteArray("0f0e0d0c0b0a09080706050403020100"
                            "476874e53c5bb9d67d29fb6f4c95b24df6369e913c478d22c5118bd44ff84153"));
        // One worked out here by the rule: hex(C), then hex(SHA-256(hex(P XOR C) + password)).
        QByteArray p(16, 0), c(16, '\xa5'), mixed(16, 0);
        for (int i = 0; i < 16; ++i) {
            p[i] = char(0x10 * (i % 16) + 0x0f - i);
            mixed[i] = char(p.at(i) ^ c.at(i));
        }
        const QByteArray expected = c.toHex()
            + QCryptographicHash::hash(mixed.toHex() + "s3cret", QCryptographicHash::Sha256)
                  .toHex();
        QCOMPARE(PJLink::sha256Login(p, c, "s3cret"), expected);
        QCOMPARE(expected.size(), 96);
        QCOMPARE(expected, expected.toLower());
        QCOMPARE(PJLink::sha256Login(p.left(15), c, "s3cret"), QByteArray());
        QCOMPARE(PJLink::sha256Login(p, c + c, "s3cret"), QByteArray());
    }

    void challenge_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("value"); // hex, empty: not a challenge
        QTest::newRow("lower-case hex") << QByteArray("PJLINK 2 00112233445566778899aabbccddeeff")
                                        << QByteArray("00112233445566778899aabbccddeeff");
        QTest::newRow("upper-case hex, lower-case word")
            << QByteArray("pjlink 2 00112233445566778899AABBCCDDEEFF")
            << QByteArray("00112233445566778899aabbccddeeff");
        QTest::newRow("short") << QByteArray("PJLINK 2 00112233445566778899aabbccddeef")
                               << QByteArray();
        QTest::newRow("not hex") << QByteArray("PJLINK 2 00112233445566778899aabbccddeefg")
                                 << QByteArray();
        QTest::newRow("refused") << QByteArray("PJLINK ERRA") << QByteArray();
        QTest::newRow("a greeting") << QByteArray("PJLINK 1 498e4a67") << QByteArray();
    }

    void challenge()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, value);
        QCOMPARE(PJLink::parseChallenge(line).toHex(), value);
    }

    // The greeting and login the link does, as bytes come from the socket:
    // what it sends (the opening's own, then the first command behind its
    // login), what it hands on, and where it ends.
    void login_data()
    {
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<int>("method"); // PJLinkLogin::Method
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("data");
        const QByteArray pj = "JBMIAProjectorLink";
        const QByteArray greeting = "PJLINK 1 498e4a67\r";
        const QByteArray command = "%1POWR ?\r";
        const QByteArray md5 = "5d8409bc1c3fa39749434aa3a5c38682" + command;
        const QByteArray challenge = "PJLINK 2 00112233445566778899aabbccddeeff\r";
        const QByteArray sha = "PJLINK 2\r0f0e0d0c0b0a09080706050403020100"
                               "476874e53c5bb9d67d29fb6f4c95b24df6369e913c478d22c5118bd44ff84153"
            + command;
        const bool older = false, newer = true;
        const auto row
            = [](const char *name, const QByteArray &password, bool sha256, const QByteArray &bytes,
                 const char *end, const QByteArray &sent, const QByteArray &data = QByteArray(),
                 PJLinkLogin::Method method = PJLinkLogin::Method::Md5) {
                  if (sha256)
                      method = PJLinkLogin::Method::Sha256;
                  QTest::newRow(name) << password << int(method) << bytes
                                      << QString::fromLatin1(end) << sent << data;
              };
        row("open", "", older, "PJLINK 0\r%1POWR=1\r", "open", command, "%1POWR=1\r");
        row("open, lower case, CR LF", "", older, "pjlink 0\r\n", "open", command, "\n");
        row("open, password not needed", pj, older, "PJLINK 0\r", "open", command);
        row("MD5 login", pj, older, greeting, "open", md5);
        row("MD5 login taken", pj, older, greeting + "%1POWR=1\r", "taken", md5, "%1POWR=1\r");
        row("MD5 login refused in place of the answer", pj, older,
            greeting + "PJLINK ERRA\r%1LAMP=1 1\r", "login refused", md5);
        row("refused in lower case", pj, older, greeting + "pjlink erra\r", "login refused", md5);
        row("no password", "", older, greeting, "password missing", "");
        row("refused at the greeting", pj, older, "PJLINK ERRA\r", "refused", "");
        row("not a greeting", pj, older, "SSH-2.0-OpenSSH\r\n", "not PJLink", "");
        row("faulty token", pj, older, "PJLINK 1 498e4a6\r", "not PJLink", "");
        row("greeting without end", pj, older, QByteArray(PJLink::MaxPacket, 'P'), "not PJLink",
            "");
        row("greeting under way", pj, older, "PJLINK 1 498e", "greeting", "");
        row("SHA-256 login", pj, newer, greeting + challenge, "open", sha);
        row("SHA-256 login taken", pj, newer, greeting + challenge + "%1POWR=0\r", "taken", sha,
            "%1POWR=0\r");
        row("SHA-256 login refused", pj, newer, greeting + challenge + "PJLINK ERRA\r",
            "login refused", sha);
        row("SHA-256 unknown to the projector", pj, newer, greeting + "PJLINK ERRA\r",
            "newer refused", "PJLINK 2\r");
        row("SHA-256 challenge short", pj, newer, greeting + "PJLINK 2 0011\r", "newer refused",
            "PJLINK 2\r");
        row("SHA-256 challenge awaited", pj, newer, greeting, "challenge", "PJLINK 2\r");
        row("SHA-256 on an open projector", pj, newer, "PJLINK 0\r", "open", command);
    }

    // A line at a time, and byte by byte as a slow network may deliver it.
    void login()
    {
        QFETCH(QByteArray, password);
        QFETCH(int, method);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, end);
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, data);
        using State = PJLinkLogin::State;
        for (bool bytewise : { false, true }) {
            PJLinkLogin login(password, PJLinkLogin::Method(method));
            login.setOwnRandom(QByteArray::fromHex("0f0e0d0c0b0a09080706050403020100"));
            QByteArray wire;
            QByteArray handed;
            bool commanded = false;
            const auto take = [&](const QByteArray &chunk) {
                handed += login.receive(chunk);
                wire += login.takeOutput();
                // The first command goes as soon as the connection is open.
                if (!commanded && login.state() == State::Open) {
                    commanded = true;
                    wire += login.wrap("%1POWR ?\r");
                    QCOMPARE(login.wrap("%1LAMP ?\r"), QByteArray("%1LAMP ?\r"));
                }
            };
            if (bytewise) {
                for (char byte : bytes)
                    take(QByteArray(1, byte));
            } else {
                // A line at a time: the projector answers what was sent.
                for (int from = 0; from < bytes.size();) {
                    const int end = bytes.indexOf('\r', from);
                    const int next = end < 0 ? int(bytes.size()) : end + 1;
                    take(bytes.mid(from, next - from));
                    from = next;
                }
            }
            QString seen;
            switch (login.state()) {
            case State::Greeting:
                seen = QStringLiteral("greeting");
                break;
            case State::Challenge:
                seen = QStringLiteral("challenge");
                break;
            case State::Open:
                seen = login.loginTaken() ? QStringLiteral("taken") : QStringLiteral("open");
                break;
            case State::NotPJLink:
                seen = QStringLiteral("not PJLink");
                break;
            case State::PasswordMissing:
                seen = QStringLiteral("password missing");
                break;
            case State::Rejected:
                seen = login.refusedLogin()     ? QStringLiteral("login refused")
                    : login.newerLoginRefused() ? QStringLiteral("newer refused")
                                                : QStringLiteral("refused");
                break;
            case State::Withheld:
                seen = QStringLiteral("withheld");
                break;
            }
            QCOMPARE(seen, end);
            QCOMPARE(wire, sent);
            QCOMPARE(handed, data);
            // Until something comes back, a closed connection is the refusal.
            const bool loginSent = wire.size() > int(qstrlen("%1POWR ?\r"));
            QCOMPARE(login.awaitingVerdict(), end == QLatin1String("open") && loginSent);
        }
    }

    void frame_data()
    {
        QTest::addColumn<Command>("command");
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray longest(PJLink::MaxPacket - 8, 'a');
        QTest::newRow("power query") << PJLink::query(1, "POWR") << QByteArray("%1POWR ?\r");
        QTest::newRow("power on") << PJLink::power(true) << QByteArray("%1POWR 1\r");
        QTest::newRow("power off") << PJLink::power(false) << QByteArray("%1POWR 0\r");
        QTest::newRow("input of class 1") << PJLink::selectInput("31") << QByteArray("%1INPT 31\r");
        QTest::newRow("input of class 2") << PJLink::selectInput("3A") << QByteArray("%2INPT 3A\r");
        QTest::newRow("internal input") << PJLink::selectInput("61") << QByteArray("%2INPT 61\r");
        QTest::newRow("sound mute")
            << PJLink::mute(PJLink::MuteTarget::Sound, true) << QByteArray("%1AVMT 21\r");
        QTest::newRow("both unmuted")
            << PJLink::mute(PJLink::MuteTarget::Both, false) << QByteArray("%1AVMT 30\r");
        QTest::newRow("input name") << PJLink::query(2, "INNM", "3A") << QByteArray("%2INNM ?3A\r");
        QTest::newRow("longest packet")
            << PJLink::setting(1, "NAME", longest) << QByteArray("%1NAME " + longest + '\r');
        QTest::newRow("one byte too long")
            << PJLink::setting(1, "NAME", longest + 'a') << QByteArray();
        QTest::newRow("class 3") << PJLink::setting(3, "POWR", "1") << QByteArray();
        QTest::newRow("short name") << PJLink::setting(1, "POW", "1") << QByteArray();
        QTest::newRow("lower-case name") << PJLink::setting(1, "powr", "1") << QByteArray();
        QTest::newRow("carriage return inside")
            << PJLink::setting(1, "POWR", "1\r%1POWR 0") << QByteArray();
        for (const PJLink::ButtonCommand &button : PJLink::buttonCommands()) {
            QTest::newRow(button.name)
                << PJLink::buttonCommand(button)
                << QByteArray("%" + QByteArray::number(button.pjClass) + button.command + ' '
                              + button.parameter + '\r');
        }
    }

    void frame()
    {
        QFETCH(Command, command);
        QFETCH(QByteArray, bytes);
        QCOMPARE(PJLink::frame(command), bytes);
    }

    void names_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("input");
        QTest::newRow("rgb-1") << "rgb-1" << QByteArray("11");
        QTest::newRow("Video-2") << "Video-2" << QByteArray("22");
        QTest::newRow("digital-a") << "digital-a" << QByteArray("3A");
        QTest::newRow("network-5") << "network-5" << QByteArray("55");
        QTest::newRow("code") << "31" << QByteArray("31");
        QTest::newRow("code, lower case") << "3a" << QByteArray("3A");
        QTest::newRow("no number") << "digital-" << QByteArray();
        QTest::newRow("number 0") << "rgb-0" << QByteArray();
        QTest::newRow("unknown type") << "laser-1" << QByteArray();
        QTest::newRow("type 7") << "71" << QByteArray();
        QTest::newRow("pjlink's own name") << "hdmi-1" << QByteArray();
        QTest::newRow("empty") << "" << QByteArray();
    }

    void names()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, input);
        QCOMPARE(PJLink::inputFromName(name), input);
        if (!input.isEmpty() && name.contains(QLatin1Char('-')))
            QCOMPARE(PJLink::nameOf(PJLink::inputCaption(input)), name.toLower());
    }

    void replies_data()
    {
        QTest::addColumn<Command>("query");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("state");
        const auto row
            = [](const char *name, const char *query, const QByteArray &line,
                 const QString &state) { QTest::newRow(name) << command(query) << line << state; };
        row("power on", "POWR ?", "%1POWR=1", "power=1");
        row("warming up, lower case", "POWR ?", "%1powr=3", "power=3");
        row("power out of range", "POWR ?", "%1POWR=4", "");
        row("power refused", "POWR ?", "%1POWR=ERR3", "");
        row("answer to another command", "POWR ?", "%1LAMP=10 1", "");
        row("no equals sign", "POWR ?", "%1POWR 1", "");
        row("short name", "POWR ?", "%1POW=1", "");
        row("empty value", "POWR ?", "%1POWR=", "");
        row("input, class 2, lower case", "2:INPT ?", "%2inpt=3a", "input=3A");
        row("input of no type", "INPT ?", "%1INPT=71", "");
        row("picture and sound muted", "AVMT ?", "%1AVMT=31", "mutes=PS");
        row("picture muted", "AVMT ?", "%1AVMT=11", "mutes=P-");
        row("sound muted", "AVMT ?", "%1AVMT=21", "mutes=-S");
        row("unmuted", "AVMT ?", "%1AVMT=30", "mutes=--");
        row("mute faulty", "AVMT ?", "%1AVMT=41", "");
        row("health", "ERST ?", "%1ERST=012000", "health=012000");
        row("health short", "ERST ?", "%1ERST=01200", "");
        row("health level 3", "ERST ?", "%1ERST=013000", "");
        row("one lamp", "LAMP ?", "%1LAMP=1200 1", "lamps=1200:1");
        row("three lamps", "LAMP ?", "%1LAMP=1200 1 300 0  99999 1", "lamps=1200:1,300:0,99999:1");
        row("no lamp", "LAMP ?", "%1LAMP=ERR1", "lamps=none");
        row("lamp without state", "LAMP ?", "%1LAMP=12 1 3", "");
        row("lamp state 2", "LAMP ?", "%1LAMP=12 2", "");
        row("nine lamps", "LAMP ?",
            QByteArray("%1LAMP=") + QByteArray("1 1 ").repeated(9).trimmed(), "");
        row("inputs", "INST ?", "%1INST=11 31 32", "inputs=11,31,32");
        row("inputs, one faulty", "INST ?", "%1INST=11 71", "");
        row("class", "CLSS ?", "%1CLSS=2", "class=2");
        row("class as words", "CLSS ?", "%1CLSS=Class 1", "class=1");
        row("class as version", "CLSS ?", "%1CLSS=Version2", "class=2");
        row("class in lower case", "CLSS ?", "%1clss=class 2", "class=2");
        row("class without digit", "CLSS ?", "%1CLSS=none", "");
        row("class with two digits", "CLSS ?", "%1CLSS=Class 10", "class=10");
        row("class 0", "CLSS ?", "%1CLSS=0", "");
        row("eight lamps", "LAMP ?", "%1LAMP=1 1 2 0 3 1 4 0 5 1 6 0 7 1 99999 0",
            "lamps=1:1,2:0,3:1,4:0,5:1,6:0,7:1,99999:0");
        row("name with a NUL inside", "NAME ?", QByteArray("%1NAME=Room\0 101", 16),
            "name=Room 101");
        row("input name with a NUL inside", "2:INNM ?31", QByteArray("%2INNM=HDMI\0 1", 14),
            "innm31=HDMI 1");
        row("name keeps its case", "NAME ?", "%1NAME=Room 101", "name=Room 101");
        row("maker", "INF1 ?", "%1INF1=Maker", "maker=Maker");
        row("model", "INF2 ?", "%1INF2=PJ 2000", "model=PJ 2000");
        row("serial number", "2:SNUM ?", "%2SNUM=ab123", "serial=ab123");
        row("lamp part", "2:RLMP ?", "%2RLMP=LMP-1", "lamppart=LMP-1");
        row("filter hours", "2:FILT ?", "%2FILT=320", "filter=320");
        row("no filter", "2:FILT ?", "%2FILT=ERR1", "filter=none");
        row("no signal", "2:IRES ?", "%2IRES=-", "ires=no signal");
        row("resolution unknown", "2:IRES ?", "%2IRES=*", "ires=unknown");
        row("resolution", "2:IRES ?", "%2IRES=1920x1080", "ires=1920x1080");
        row("input name", "2:INNM ?31", "%2INNM=HDMI 1", "innm31=HDMI 1");
        row("frozen", "2:FREZ ?", "%2FREZ=1", "frozen=1");
        row("setting answered like a query", "POWR 1", "%1POWR=1", "");
    }

    void replies()
    {
        QFETCH(Command, query);
        QFETCH(QByteArray, line);
        QFETCH(QString, state);
        PJLinkState read;
        QCOMPARE(read.apply(query, PJLink::parseReply(line)), !state.isEmpty());
        QCOMPARE(summary(read), state);
        QVERIFY(!read.apply(query, PJLink::parseReply(line))); // the same again changes nothing
    }

    // The names set input takes: one for each input, never shared, each
    // leading back to its input.
    void commandNames_data()
    {
        QTest::addColumn<QStringList>("answers"); // "query|line"
        QTest::addColumn<QString>("names");
        const auto row = [](const char *name, const QStringList &answers, const char *names) {
            QTest::newRow(name) << answers << QString::fromLatin1(names);
        };
        row("captions", { "INST ?|%1INST=11 31 3A" }, "11=rgb-1 31=digital-1 3A=digital-a");
        row("three of one name",
            { "2:INST ?|%2INST=31 32 33", "2:INNM ?31|%2INNM=HDMI 1", "2:INNM ?32|%2INNM=HDMI 1",
              "2:INNM ?33|%2INNM=hdmi  1" },
            "31=hdmi-1 32=hdmi-1-2 33=hdmi-1-3");
        row("a later input named as the first one's suffix",
            { "2:INST ?|%2INST=31 32 33", "2:INNM ?31|%2INNM=HDMI 1", "2:INNM ?32|%2INNM=HDMI 1",
              "2:INNM ?33|%2INNM=HDMI 1 2" },
            "31=hdmi-1 32=hdmi-1-2 33=hdmi-1-2-2");
        row("a name that is another input's caption",
            { "2:INST ?|%2INST=11 31", "2:INNM ?31|%2INNM=RGB 1" }, "11=rgb-1 31=rgb-1-2");
        row("an empty name keeps the caption", { "2:INST ?|%2INST=11 31", "2:INNM ?31|%2INNM=" },
            "11=rgb-1 31=digital-1");
    }

    void commandNames()
    {
        QFETCH(QStringList, answers);
        QFETCH(QString, names);
        PJLinkState state;
        for (const QString &answer : answers) {
            const QStringList parts = answer.split(QLatin1Char('|'));
            state.apply(command(parts.at(0).toLatin1()),
                        PJLink::parseReply(parts.at(1).toLatin1()));
        }
        const QMap<QByteArray, QString> made = state.inputCommandNames();
        QStringList shown;
        for (const QByteArray &input : state.inputs.value_or(QList<QByteArray>())) {
            shown << QString::fromLatin1(input) + QLatin1Char('=') + made.value(input);
            QCOMPARE(state.inputNamed(made.value(input)), input);
            QCOMPARE(state.inputNamed(made.value(input).toUpper()), input);
        }
        QCOMPARE(shown.join(QLatin1Char(' ')), names);
    }

    // What the control page makes of the answers: the inputs and which is
    // in use, the class 2 controls, the lamps, the filter and the health row.
    void page_data()
    {
        QTest::addColumn<QStringList>("answers"); // "query|line"
        QTest::addColumn<QString>("page");
        const auto row = [](const char *name, const QStringList &answers, const char *page) {
            QTest::newRow(name) << answers << QString::fromUtf8(page);
        };
        row("nothing known yet", {},
            "inputs= class2=0 class=- lamps=- filter=- health=?????? make=-");
        row("class 1 inputs by type",
            { "INST ?|%1INST=11 31 32", "INPT ?|%1INPT=31", "CLSS ?|%1CLSS=1" },
            "inputs=RGB 1,[Digital 1],Digital 2 class2=0 class=1 lamps=- filter=- health=?????? "
            "make=-");
        row("class 2 inputs by their names",
            { "CLSS ?|%1CLSS=Class 2", "INST ?|%1INST=11 3A", "2:INNM ?3A|%2INNM=HDMI front",
              "2:INPT ?|%2inpt=3a" },
            "inputs=RGB 1,[HDMI front] class2=1 class=2 lamps=- filter=- health=?????? make=-");
        row("an input the list lacks is still shown", { "INST ?|%1INST=11", "INPT ?|%1INPT=52" },
            "inputs=RGB 1,[Network 2] class2=0 class=- lamps=- filter=- health=?????? make=-");
        row("input before the list", { "INPT ?|%1INPT=22" },
            "inputs=[Video 2] class2=0 class=- lamps=- filter=- health=?????? make=-");
        row("two lamps, filter hours, health",
            { "LAMP ?|%1LAMP=1200 1 300 0", "2:FILT ?|%2FILT=320", "ERST ?|%1ERST=012000" },
            "inputs= class2=0 class=- lamps=1: 1200 h, lit/2: 300 h, off filter=320 h "
            "health=OWEOOO make=-");
        row("eight lamps, the most there are",
            { "LAMP ?|%1LAMP=10 1 20 0 30 1 40 0 50 1 60 0 70 1 80 0" },
            "inputs= class2=0 class=- lamps=1: 10 h, lit/2: 20 h, off/3: 30 h, lit/4: 40 h, off/"
            "5: 50 h, lit/6: 60 h, off/7: 70 h, lit/8: 80 h, off filter=- health=?????? make=-");
        row("no lamp, no filter, every part in error",
            { "LAMP ?|%1LAMP=ERR1", "2:FILT ?|%2FILT=ERR1", "ERST ?|%1ERST=222222" },
            "inputs= class2=0 class=- lamps=none filter=none health=EEEEEE make=-");
        row("one lamp off, make and model",
            { "LAMP ?|%1LAMP=0 0", "INF1 ?|%1INF1=Maker", "INF2 ?|%1INF2=PJ 2000" },
            "inputs= class2=0 class=- lamps=0 h, off filter=- health=?????? make=Maker PJ 2000");
    }

    void page()
    {
        QFETCH(QStringList, answers);
        QFETCH(QString, page);
        PJLinkState state;
        for (const QString &answer : answers) {
            const QStringList parts = answer.split(QLatin1Char('|'));
            state.apply(command(parts.at(0).toLatin1()),
                        PJLink::parseReply(parts.at(1).toLatin1()));
        }
        const PJLinkView::Page shown = PJLinkView::describe(state);
        QStringList inputs;
        for (int i = 0; i < shown.inputs.size(); ++i) {
            const QString caption = shown.inputs.at(i).caption;
            inputs << (i == shown.currentInput ? QLatin1Char('[') + caption + QLatin1Char(']')
                                               : caption);
        }
        QString health;
        for (int part = 0; part < PJLink::HealthParts; ++part) {
            health += QLatin1Char("?OWE"[shown.health[part].level + 1]);
            // Each indicator names its part and its level.
            QVERIFY(shown.health[part].toolTip.startsWith(PJLink::healthPartName(part) + ": "));
        }
        const QString summary
            = QStringLiteral("inputs=%1 class2=%2 class=%3 lamps=%4 filter=%5 "
                             "health=%6 make=%7")
                  .arg(inputs.join(QLatin1Char(',')))
                  .arg(int(shown.classTwo))
                  .arg(shown.pjClass,
                       QString(shown.lamps).replace(QLatin1Char('\n'), QLatin1Char('/')),
                       shown.filter, health, shown.make);
        QCOMPARE(summary, page);
    }

    void errors_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("error");
        QTest::newRow("ERR1") << QByteArray("%1POWR=ERR1") << int(PJLink::Error::Undefined);
        QTest::newRow("ERR2") << QByteArray("%1INPT=err2") << int(PJLink::Error::OutOfParameter);
        QTest::newRow("ERR3") << QByteArray("%1AVMT=ERR3") << int(PJLink::Error::Unavailable);
        QTest::newRow("ERR4") << QByteArray("%1POWR=ERR4") << int(PJLink::Error::Failure);
        QTest::newRow("ERRA") << QByteArray("PJLINK ERRA") << int(PJLink::Error::Authentication);
        QTest::newRow("ERR5") << QByteArray("%1POWR=ERR5") << int(PJLink::Error::None);
    }

    void errors()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, error);
        QCOMPARE(int(PJLink::parseReply(line).error), error);
        // Each its own wording.
        QStringList wordings;
        for (auto known :
             { PJLink::Error::Undefined, PJLink::Error::OutOfParameter, PJLink::Error::Unavailable,
               PJLink::Error::Failure, PJLink::Error::Authentication })
            wordings << PJLink::errorText(known);
        wordings.removeDuplicates();
        QCOMPARE(wordings.size(), 5);
        QCOMPARE(PJLink::errorText(PJLink::Error(error)).isEmpty(), error == 0);
    }

    // Bytes as they come from the socket, against the queries waiting.
    void lines_data()
    {
        QTest::addColumn<QByteArrayList>("queries");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("events");
        // Projectors bend the packet rule: a line is read up to MaxLine.
        const QByteArray longest = "%1NAME=" + QByteArray(PJLink::MaxLine - 8, 'n');
        QByteArray inputs = "%1INST=";
        for (int type = 1; type <= 5; ++type) {
            for (char number : QByteArray("123456789"))
                inputs += QByteArray::number(type) + number + ' ';
        }
        inputs.chop(1);
        QTest::newRow("one at a time")
            << QByteArrayList { "POWR ?", "INPT ?" } << QByteArray("%1POWR=1\r")
            << QStringList { "answered POWR=1" };
        QTest::newRow("lower case, CR LF")
            << QByteArrayList { "POWR ?" } << QByteArray("%1powr=0\r\n")
            << QStringList { "answered POWR=0" };
        QTest::newRow("matched by name, not order")
            << QByteArrayList { "POWR ?", "LAMP ?" } << QByteArray("%1LAMP=10 1\r%1POWR=1\r")
            << QStringList { "stray %1LAMP=10 1", "answered POWR=1" };
        QTest::newRow("longest line kept")
            << QByteArrayList { "NAME ?" } << QByteArray(longest + '\r')
            << QStringList { "answered NAME=" + QString(PJLink::MaxLine - 8, QLatin1Char('N')) };
        QTest::newRow("45 inputs, longer than a packet")
            << QByteArrayList { "INST ?" } << QByteArray(inputs + '\r')
            << QStringList { "answered INST=" + QString::fromLatin1(inputs.mid(7)) };
        QTest::newRow("longer line dropped, next taken")
            << QByteArrayList { "NAME ?" } << QByteArray(longest + "n\r%1NAME=x\r")
            << QStringList { "dropped", "answered NAME=X" };
        QTest::newRow("a reply with nothing waiting")
            << QByteArrayList {} << QByteArray("%1POWR=1\r") << QStringList { "stray %1POWR=1" };
        QTest::newRow("noise") << QByteArrayList { "POWR ?" }
                               << QByteArray("\x00\xff garbage\r%1POWR=3\r", 20)
                               << QStringList { QStringLiteral("stray ")
                                                    + QString::fromLatin1("\x00\xff garbage", 10),
                                                "answered POWR=3" };
    }

    // Whole, and byte by byte as a slow network may deliver it.
    void lines()
    {
        QFETCH(QByteArrayList, queries);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, events);
        for (bool bytewise : { false, true }) {
            PJLinkSession session;
            session.opened(0);
            for (const QByteArray &query : queries)
                QVERIFY(session.enqueue(command(query)));
            QStringList seen;
            QByteArray sent = session.takeOutput(0);
            const auto take = [&](const QByteArray &chunk) {
                for (const PJLinkSession::Event &event : session.receive(chunk, 0)) {
                    seen << describe(event);
                    sent += session.takeOutput(0);
                }
            };
            if (bytewise) {
                for (char byte : bytes)
                    take(QByteArray(1, byte));
            } else {
                take(bytes);
            }
            QCOMPARE(seen, events);
            // One command at a time: the second left only after the first was answered.
            if (queries.size() == 2 && events.last().startsWith(QLatin1String("answered")))
                QCOMPARE(sent,
                         PJLink::frame(command(queries.at(0)))
                             + PJLink::frame(command(queries.at(1))));
        }
    }

    // The answer that comes too late is not taken for the next command's.
    void giveUpAfterFiveSeconds()
    {
        PJLinkSession session;
        session.opened(0);
        session.enqueue(command("POWR ?"));
        session.enqueue(command("LAMP ?"));
        QCOMPARE(session.takeOutput(100), QByteArray("%1POWR ?\r"));
        QCOMPARE(session.takeOutput(200), QByteArray()); // one at a time
        QCOMPARE(session.nextDueMs(), 5100);
        QVERIFY(session.advance(5099).isEmpty());
        QCOMPARE(describe(session.advance(5100).value(0)), QStringLiteral("gave up POWR"));
        QCOMPARE(session.takeOutput(5100), QByteArray("%1LAMP ?\r"));
        QCOMPARE(describe(session.receive("%1POWR=1\r", 5200).value(0)),
                 QStringLiteral("stray %1POWR=1"));
        QCOMPARE(describe(session.receive("%1LAMP=5 1\r", 5300).value(0)),
                 QStringLiteral("answered LAMP=5 1"));
    }

    void againstSimulator_data()
    {
        QTest::addColumn<PjlinkModel::Options>("options");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<Actions>("actions");
        QTest::addColumn<qint64>("untilMs");
        QTest::addColumn<QStringList>("notices");
        QTest::addColumn<QString>("state"); // a part of the state's summary at the end
        QTest::addColumn<QStringList>("counts"); // "line=n": the projector received line n times

        PjlinkModel::Options warming = options(1);
        warming.warmupMs = 20000;
        const Actions switchOnAndChoose { { 1000, "POWR 1" }, { 1500, "INPT 31" } };
        const QStringList held { "done POWR 1", "held INPT 31" };
        QTest::newRow("input refused while warming up, sent when on")
            << warming << QByteArray() << switchOnAndChoose << qint64(30000)
            << (held + QStringList { "done INPT 31" }) << "power=1 input=31"
            << QStringList { "%1INPT 31=2" };
        warming.warmupMs = 90000;
        QTest::newRow("not on within a minute")
            << warming << QByteArray() << switchOnAndChoose << qint64(70000)
            << (held + QStringList { "not sent INPT 31" }) << "power=3 input=11"
            << QStringList { "%1INPT 31=1" };
        QTest::newRow("refused in standby, not held")
            << options(1) << QByteArray() << Actions { { 1000, "INPT 31" } } << qint64(8000)
            << QStringList { "refused INPT 31: " + PJLink::errorText(PJLink::Error::Unavailable) }
            << "power=0" << QStringList { "%1INPT 31=1" };
        QTest::newRow("the last input counts")
            << warming << QByteArray()
            << Actions { { 1000, "POWR 1" }, { 1500, "INPT 31" }, { 2000, "INPT 32" } }
            << qint64(100000)
            << QStringList { "done POWR 1", "held INPT 31", "held INPT 32", "not sent INPT 32" }
            << "power=1" << QStringList { "%1INPT 31=1", "%1INPT 32=1" };

        PjlinkModel::Options faults = options(2, true);
        faults.lowerCase = true;
        faults.classText = true;
        faults.lamps = 2;
        faults.errorStatus = "000210";
        QTest::newRow("lower case and Class 2 as words")
            << faults << QByteArray() << Actions() << qint64(121000) << QStringList()
            << "power=1 input=11 mutes=-- frozen=0 health=000210 lamps=1250:1,1251:1 "
               "inputs=11,12,21,31,32,3A innm11=computer 1 innm12=computer 2 innm21=video "
               "innm31=hdmi 1 innm32=hdmi 2 innm3A=hdbaset class=2 name=room 101 projector "
               "maker=simulator model=pj-sim 2 info=projector-sim ires=1920x1080 filter=320"
            << QStringList();

        PjlinkModel::Options noLamp = options(1, true);
        noLamp.lamps = 0;
        QTest::newRow("no lamp is no failure")
            << noLamp << QByteArray() << Actions { { 4000, "AVMT 31" } } << qint64(20000)
            << QStringList { "done AVMT 31" } << "mutes=PS health=000000 lamps=none"
            << QStringList { "%1LAMP ?=1" };
        QTest::newRow("off while warming up: refused, not held")
            << warming << QByteArray() << Actions { { 1000, "POWR 1" }, { 1500, "POWR 0" } }
            << qint64(100000)
            << QStringList { "done POWR 1",
                             "refused POWR 0: " + PJLink::errorText(PJLink::Error::Unavailable) }
            << "power=1" << QStringList { "%1POWR 0=1" };
        warming.warmupMs = 20000;
        QTest::newRow("picture and sound mutes both held, both sent")
            << warming << QByteArray()
            << Actions { { 1000, "POWR 1" }, { 1500, "AVMT 11" }, { 2000, "AVMT 21" } }
            << qint64(30000)
            << QStringList { "done POWR 1", "held AVMT 11", "held AVMT 21", "done AVMT 11",
                             "done AVMT 21" }
            << "power=1 input=11 mutes=PS" << QStringList { "%1AVMT 11=2", "%1AVMT 21=2" };
        PjlinkModel::Options noFilter = options(2, true);
        noFilter.filter = false;
        QTest::newRow("class 2 without a filter: no refusal")
            << noFilter << QByteArray() << Actions() << qint64(40000) << QStringList()
            << "filter=none" << QStringList { "%2FILT ?=2" };
        PjlinkModel::Options noList = options(2, true);
        noList.classTwoListRefused = true;
        QTest::newRow("class 2 without %2INST: class 1's list")
            << noList << QByteArray() << Actions() << qint64(5000)
            << QStringList { "refused INST ?: " + PJLink::errorText(PJLink::Error::Undefined) }
            << "inputs=11,12,21,31,32 innm11=Computer 1"
            << QStringList { "%2INST ?=1", "%1INST ?=1", "%2INNM ?32=1" };
        PjlinkModel::Options inputTwo = options(2, true);
        inputTwo.classTwoInputOnly = true;
        QTest::newRow("class 2 telling its input only as class 2")
            << inputTwo << QByteArray() << Actions { { 4000, "2:INPT 3A" } } << qint64(8000)
            << QStringList { "done INPT 3A" } << "input=3A"
            << QStringList { "%2INPT ?=2", "%1INPT ?=0" };
        QTest::newRow("class 2 command on class 1")
            << options(1, true) << QByteArray() << Actions { { 4000, "2:FREZ 1" } } << qint64(8000)
            << QStringList { "refused FREZ 1: " + PJLink::errorText(PJLink::Error::Undefined) }
            << "power=1" << QStringList { "%2FREZ 1=1" };

        PjlinkModel::Options locked = options(1, true);
        locked.password = "JBMIAProjectorLink";
        QTest::newRow("password") << locked << QByteArray("JBMIAProjectorLink")
                                  << Actions { { 4000, "POWR 0" } } << qint64(6500)
                                  << QStringList { "done POWR 0" } << "power=2"
                                  << QStringList { "%1POWR 0=1" };
        QTest::newRow("wrong password")
            << locked << QByteArray("JBMIAProjectorlink") << Actions() << qint64(20000)
            << QStringList { "rejected: password rejected", "no answer POWR ?" } << ""
            << QStringList();
        QTest::newRow("no password")
            << locked << QByteArray() << Actions() << qint64(20000)
            << QStringList { "rejected: needs a password" } << "" << QStringList();
        PjlinkModel::Options newer = locked;
        newer.login = PjlinkModel::Login::Sha256;
        QTest::newRow("SHA-256 login")
            << newer << QByteArray("JBMIAProjectorLink") << Actions { { 4000, "POWR 0" } }
            << qint64(6500) << QStringList { "done POWR 0" } << "power=2"
            << QStringList { "%1POWR 0=1", "PJLINK 2=1" };
        QTest::newRow("SHA-256 login, wrong password")
            << newer << QByteArray("JBMIAProjectorlink") << Actions() << qint64(20000)
            << QStringList { "rejected: password rejected", "no answer POWR ?" } << ""
            << QStringList();

        // Power and class asked once while the page fills: twenty answers
        // of a second each, and no more.
        PjlinkModel::Options leisurely = options(2, true);
        leisurely.delayMs = 1000;
        QTest::newRow("answers in a second: the page at the projector's pace")
            << leisurely << QByteArray() << Actions() << qint64(20500) << QStringList()
            << "innm3A=HDBaseT class=2 name=Room 101 Projector"
            << QStringList { "%1POWR ?=1", "%1CLSS ?=1" };

        PjlinkModel::Options slow = options(1, true);
        slow.greetingDelayMs = 4000;
        QTest::newRow("slow greeting") << slow << QByteArray() << Actions() << qint64(8000)
                                       << QStringList() << "power=1" << QStringList();

        PjlinkModel::Options cut = options(2, true);
        cut.cutReplyTo = "CLSS";
        QTest::newRow("connection dropped in a reply, class read again")
            << cut << QByteArray() << Actions() << qint64(10000)
            << QStringList { "no answer CLSS ?" } << "class=2" << QStringList { "%1CLSS ?=2" };
    }

    void againstSimulator()
    {
        QFETCH(PjlinkModel::Options, options);
        QFETCH(QByteArray, password);
        QFETCH(Actions, actions);
        QFETCH(qint64, untilMs);
        QFETCH(QStringList, notices);
        QFETCH(QString, state);
        QFETCH(QStringList, counts);
        Rig rig(options, password);
        rig.runUntil(untilMs, actions);
        QCOMPARE(rig.notices, notices);
        QVERIFY2(summary(rig.client.state()).contains(state),
                 qPrintable(summary(rig.client.state())));
        for (const QString &count : counts) {
            const QString line = count.section(QLatin1Char('='), 0, 0);
            QCOMPARE(QString::number(rig.received().count(line)),
                     count.section(QLatin1Char('='), 1));
        }
    }

    // Asking only, as one run of the command line does: the user's commands
    // alone go out, each told with its reply; a refusal while the projector
    // warms up is told at once, not held for later.
    void askOnly()
    {
        Rig rig(options(2, false), QByteArray());
        rig.client.askOnly();
        rig.runUntil(7000, Actions { { 0, "POWR 1" }, { 500, "INPT 31" }, { 600, "2:INPT ?" } });
        QCOMPARE(rig.received(), QStringList({ "%1POWR 1", "%1INPT 31", "%2INPT ?" }));
        QCOMPARE(
            rig.notices,
            QStringList({ "replied POWR 1: OK", "replied INPT 31: ERR3", "replied INPT ?: 11" }));
    }

    // The digest leads the first command of each connection and no other;
    // a failed login is not tried again.
    void loginBytes()
    {
        PjlinkModel::Options locked = options(1, true);
        locked.password = "secret";
        locked.idleCloseMs = 2000;
        Rig rig(locked, "secret");
        rig.runUntil(20000);
        const QStringList tokens
            = rig.log.filter(QRegularExpression(QStringLiteral("^TX \"PJLINK 1 ")));
        QVERIFY(tokens.size() >= 2); // the projector closed the idle connection
        QCOMPARE(tokens.size(), rig.connections);
        QVERIFY(rig.log.filter(QStringLiteral("login rejected")).isEmpty());
        QByteArray expected;
        QByteArray wire = rig.wire;
        int logins = 0;
        for (const QString &line : tokens) {
            const QByteArray token = line.mid(13, 8).toLatin1();
            const QByteArray digest
                = QCryptographicHash::hash(token + "secret", QCryptographicHash::Md5).toHex();
            const int at = wire.indexOf(digest);
            QVERIFY(at >= 0);
            QVERIFY(wire.mid(at + 32).startsWith("%1POWR ?\r"));
            logins += wire.count(digest);
        }
        QCOMPARE(logins, rig.connections);
        QCOMPARE(rig.wire.count('%'), rig.received().size());
        QCOMPARE(rig.notices, QStringList()); // reconnecting after an idle close is silent

        // The newer login: asked for, then in front of the first command of each connection.
        PjlinkModel::Options newer = locked;
        newer.login = PjlinkModel::Login::Sha256;
        Rig sha(newer, "secret");
        sha.runUntil(20000);
        QVERIFY(sha.connections >= 2);
        QCOMPARE(sha.received().count(QStringLiteral("PJLINK 2")), sha.connections);
        QVERIFY(sha.log.filter(QStringLiteral("login rejected")).isEmpty());
        QCOMPARE(sha.wire.count("PJLINK 2\r"), sha.connections);
        QCOMPARE(sha.notices, QStringList());

        Rig wrong(locked, "Secret");
        wrong.runUntil(30000);
        QCOMPARE(wrong.connections, 1);
        QCOMPARE(wrong.received().size(), 1);
        QVERIFY(wrong.wire.endsWith("%1POWR ?\r"));
        Rig none(locked, QByteArray());
        none.runUntil(30000);
        QCOMPARE(none.connections, 1);
        QCOMPARE(none.wire, QByteArray());
    }

    // Once the class is known, everything the page shows is asked back to
    // back, one query waiting at a time; then the power with every poll, the
    // state every 30 s, and what a command changed right after it.
    void fillAtOnce()
    {
        Rig rig(options(2, true), QByteArray());
        rig.runUntil(1000);
        QCOMPARE(summary(rig.client.state()),
                 QStringLiteral("power=1 input=11 mutes=-- frozen=0 health=000000 lamps=1250:1 "
                                "inputs=11,12,21,31,32,3A innm11=Computer 1 innm12=Computer 2 "
                                "innm21=Video innm31=HDMI 1 innm32=HDMI 2 innm3A=HDBaseT class=2 "
                                "name=Room 101 Projector maker=SIMULATOR model=PJ-SIM 2 "
                                "info=projector-sim ires=1920x1080 filter=320"));
        const QStringList page { "%1POWR ?",   "%1CLSS ?",   "%1NAME ?",   "%1INF1 ?",
                                 "%1INF2 ?",   "%1INFO ?",   "%1LAMP ?",   "%2INST ?",
                                 "%2INPT ?",   "%1AVMT ?",   "%1ERST ?",   "%2FREZ ?",
                                 "%2FILT ?",   "%2IRES ?",   "%2INNM ?11", "%2INNM ?12",
                                 "%2INNM ?21", "%2INNM ?31", "%2INNM ?32", "%2INNM ?3A" };
        QCOMPARE(rig.received(), page);
        QCOMPARE(rig.notices, QStringList());

        // Until the state is due again, the power alone, once a poll.
        rig.runUntil(30990);
        QStringList powerOnly;
        for (int poll = 1; poll <= 9; ++poll)
            powerOnly << QStringLiteral("%1POWR ?");
        QCOMPARE(rig.received().mid(page.size()), powerOnly);
        rig.runUntil(31990);
        QCOMPARE(rig.received().mid(page.size() + 9),
                 QStringList({ "%1POWR ?", "%2INPT ?", "%1AVMT ?", "%1ERST ?", "%1LAMP ?",
                               "%2FREZ ?", "%2FILT ?", "%2IRES ?" }));

        // An accepted change is read back at once.
        const int before = rig.received().size();
        rig.runUntil(33000, { { 32500, "2:FREZ 1" } });
        QCOMPARE(rig.received().mid(before), QStringList({ "%2FREZ 1", "%2FREZ ?" }));
        QCOMPARE(rig.client.state().frozen, std::optional<bool>(true));
    }

    // A command of the user's waits for the answer under way, not behind
    // the queries not yet sent.
    void userCommandFirst()
    {
        Rig rig(options(2, true), QByteArray());
        rig.runUntil(20, { { 20, "AVMT 11" } });
        rig.runUntil(1000);
        const QStringList received = rig.received();
        const int at = received.indexOf(QStringLiteral("%1AVMT 11"));
        QVERIFY2(at >= 0 && at <= 3, qPrintable(received.join(',')));
        QVERIFY(received.size() > 10);
    }

    // Projectors that bend the standard: a class 2 query refused is asked
    // as class 1; a value that cannot be read is asked again at most twice,
    // then shown as unreadable, with one notice.
    void tolerant_data()
    {
        QTest::addColumn<QByteArrayList>("table"); // "line|answer"
        QTest::addColumn<qint64>("untilMs");
        QTest::addColumn<QStringList>("counts"); // "line=n": the client sent line n times
        QTest::addColumn<QString>("state");
        QTest::addColumn<QStringList>("unreadable");
        const QByteArrayList two { "%1CLSS ?|2", "%1POWR ?|1" };
        QTest::newRow("%2INPT refused: %1INPT")
            << (two + QByteArrayList { "%2INPT ?|ERR1", "%1INPT ?|31" }) << qint64(5000)
            << QStringList { "%2INPT ?=1", "%1INPT ?=1" } << "input=31" << QStringList();
        QTest::newRow("%2INPT out of parameter: %1INPT")
            << (two + QByteArrayList { "%2INPT ?|ERR2", "%1INPT ?|32" }) << qint64(5000)
            << QStringList { "%2INPT ?=1", "%1INPT ?=1" } << "input=32" << QStringList();
        QTest::newRow("%2INPT in standby: not asked as class 1")
            << (two + QByteArrayList { "%2INPT ?|ERR3", "%1INPT ?|31" }) << qint64(5000)
            << QStringList { "%2INPT ?=1", "%1INPT ?=0" } << "" << QStringList();
        QTest::newRow("%2INPT answered: never asked as class 1")
            << (two + QByteArrayList { "%2INPT ?|3A", "%1INPT ?|31" }) << qint64(40000)
            << QStringList { "%2INPT ?=2", "%1INPT ?=0" } << "input=3A" << QStringList();
        QTest::newRow("%2INST refused: %1INST, names still asked")
            << (two + QByteArrayList { "%2INST ?|ERR1", "%1INST ?|11 31", "%2INNM ?31|HDMI" })
            << qint64(5000) << QStringList { "%2INST ?=1", "%1INST ?=1", "%2INNM ?31=1" }
            << "inputs=11,31 innm31=HDMI" << QStringList();
        QTest::newRow("class 1: class 1 queries only")
            << QByteArrayList { "%1CLSS ?|1", "%1INST ?|11", "%1INPT ?|11" } << qint64(5000)
            << QStringList { "%1INST ?=1", "%1INPT ?=1", "%2INST ?=0", "%2INPT ?=0", "%2FILT ?=0" }
            << "inputs=11 class=1" << QStringList();
        QTest::newRow("inputs of no sense: three tries")
            << (two + QByteArrayList { "%2INST ?|11 7Z" }) << qint64(60000)
            << QStringList { "%2INST ?=3", "%1INST ?=0" } << ""
            << QStringList { "unreadable INST ?" };
        QTest::newRow("name never answered: three tries")
            << (two + QByteArrayList { "%1NAME ?|-" }) << qint64(60000)
            << QStringList { "%1NAME ?=3" } << "" << QStringList { "unreadable NAME ?" };
        QTest::newRow("class of no sense: three tries, then read as class 1")
            << QByteArrayList { "%1CLSS ?|none", "%1INST ?|11" } << qint64(5000)
            << QStringList { "%1CLSS ?=3", "%1INST ?=1", "%2INST ?=0" } << "inputs=11"
            << QStringList { "unreadable CLSS ?" };
        // Given up, a value of the state is asked with each 30 s reading
        // still, once, and told of once.
        QTest::newRow("health never answered")
            << (two + QByteArrayList { "%1ERST ?|-" }) << qint64(95000)
            << QStringList { "%1ERST ?=6" } << "" << QStringList { "unreadable ERST ?" };
    }

    void tolerant()
    {
        QFETCH(QByteArrayList, table);
        QFETCH(qint64, untilMs);
        QFETCH(QStringList, counts);
        QFETCH(QString, state);
        QFETCH(QStringList, unreadable);
        QMap<QByteArray, QByteArray> answers;
        for (const QByteArray &entry : table)
            answers.insert(entry.left(entry.indexOf('|')), entry.mid(entry.indexOf('|') + 1));
        Scripted projector(answers);
        projector.runUntil(untilMs);
        for (const QString &count : counts) {
            const QByteArray line = count.section(QLatin1Char('='), 0, 0).toLatin1();
            QVERIFY2(projector.sent.count(line) == count.section(QLatin1Char('='), 1).toInt(),
                     qPrintable(count + QStringLiteral(" in ")
                                + QString::fromLatin1(projector.sent.join(','))));
        }
        QVERIFY2(summary(projector.client.state()).contains(state),
                 qPrintable(summary(projector.client.state())));
        QCOMPARE(projector.unreadable, unreadable);
        const PJLinkView::Page page = PJLinkView::describe(projector.client.state());
        QCOMPARE(page.inputsUnreadable, unreadable.contains(QStringLiteral("unreadable INST ?")));
        if (unreadable.contains(QStringLiteral("unreadable NAME ?")))
            QCOMPARE(page.name, QStringLiteral("unreadable"));
        if (unreadable.contains(QStringLiteral("unreadable ERST ?")))
            QCOMPARE(page.health[0].toolTip, QStringLiteral("fan: unreadable"));
        if (unreadable.contains(QStringLiteral("unreadable CLSS ?")))
            QCOMPARE(page.pjClass, QStringLiteral("unreadable"));
    }

    // The power of each poll goes before the page's queries not yet sent,
    // so that a projector silent to some of them does not look lost.
    void powerBeforeSlowQueries()
    {
        Scripted projector({ { "%1CLSS ?", "2" },
                             { "%1POWR ?", "1" },
                             { "%1NAME ?", "-" },
                             { "%1INF1 ?", "-" },
                             { "%1INF2 ?", "-" } });
        projector.runUntil(10000);
        const int second = projector.sent.indexOf("%1POWR ?", 1);
        QVERIFY2(second > 0, projector.sent.join(',').constData());
        // The first answer given up at 5 s was the name's; the power goes next.
        QCOMPARE(projector.sent.at(second - 1), QByteArray("%1NAME ?"));
        QCOMPARE(projector.times.at(second),
                 projector.times.at(second - 1) + PJLink::ReplyTimeoutMs);
    }

    // An input list longer than a packet may be (45 inputs, 142 bytes) is
    // either read or given up after three tries: never asked again and again.
    void longInputList()
    {
        PjlinkModel::Options listing = options(2, true);
        listing.longInputList = true;
        Rig rig(listing, QByteArray());
        rig.runUntil(120000);
        const QStringList received = rig.received();
        const int asked = received.count(QStringLiteral("%2INST ?"))
            + received.count(QStringLiteral("%1INST ?"));
        QVERIFY2(asked >= 1 && asked <= PJLinkRefresh::MaxTries, qPrintable(received.join(',')));
        const PJLinkState &state = rig.client.state();
        QVERIFY((state.inputs && state.inputs->size() == 45) || state.unreadable.contains("INST"));
        QVERIFY(rig.notices.count(QStringLiteral("unreadable INST ?")) <= 1);
        // The rest of the page came meanwhile.
        QCOMPARE(state.name, QStringLiteral("Room 101 Projector"));
        QCOMPARE(state.filterHours, std::optional<int>(320));
    }

    // Text from a projector is plain, bounded and free of control and
    // direction characters, wherever it is shown.
    void plainText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("markup stays as it is")
            << QByteArray("<h1><font color=red>Big</font></h1><img src=\"/etc/x.png\">")
            << QStringLiteral("<h1><font color=red>Big</font></h1><img src=\"/etc/x.png\">");
        QTest::newRow("controls removed") << QByteArray("A\x01\tB\x1b[2J\x7f\xc2\x85"
                                                        "C")
                                          << QStringLiteral("AB[2JC");
        QTest::newRow("direction overrides removed")
            << QByteArray("exe.\xe2\x80\xaetxt\xe2\x81\xa6x\xe2\x81\xa9\xe2\x80\x8f")
            << QStringLiteral("exe.txtx");
        QTest::newRow("line separator removed") << QByteArray("a\xe2\x80\xa8"
                                                              "b")
                                                << QStringLiteral("ab");
        QTest::newRow("accents kept")
            << QByteArray("Salle \xc3\xa9t\xc3\xa9 \xf0\x9f\x8e\xa5")
            << QString::fromUtf8("Salle \xc3\xa9t\xc3\xa9 \xf0\x9f\x8e\xa5");
        QTest::newRow("64 characters kept") << QByteArray(64, 'n') << QString(64, QLatin1Char('n'));
        QTest::newRow("longer cut")
            << QByteArray(4000, 'n') << QString(64, QLatin1Char('n')) + QChar(0x2026);
        QTest::newRow("cut between characters, not inside one")
            << QByteArray(63, 'n') + QByteArray("\xf0\x9f\x8e\xa5\xf0\x9f\x8e\xa5")
            << QString(63, QLatin1Char('n')) + QString::fromUtf8("\xf0\x9f\x8e\xa5")
                + QChar(0x2026);
    }

    void plainText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(ProjectorText::plain(bytes), text);
        // A tooltip shows it as it stands, a line break after it kept.
        QTextDocument toolTip;
        toolTip.setHtml(ProjectorText::toolTip(text + QLatin1String("\nHealth: ok")));
        QCOMPARE(toolTip.toPlainText(), text + QLatin1String("\nHealth: ok"));
        // The state keeps the names and the inputs' names so.
        PJLinkState state;
        state.apply(command("NAME ?"), PJLink::parseReply("%1NAME=" + bytes));
        state.apply(command("2:INNM ?31"), PJLink::parseReply("%2INNM=" + bytes));
        QCOMPARE(state.name, text);
        QCOMPARE(state.inputNames.value("31"), text);
    }

    // The link the window and vantrelctl use, over TCP to the simulator:
    // the greeting and login are its own; a login refused is not tried again.
    void linkLogin_data()
    {
        QTest::addColumn<QStringList>("simulator"); // empty: a TCP server that is no projector
        QTest::addColumn<QString>("password");
        QTest::addColumn<PortStatus::Problem>("opening"); // None: it opens
        QTest::addColumn<PortStatus::Problem>("answering"); // None: the command is answered
        QTest::addColumn<QString>("reason"); // of the refusal
        QTest::addColumn<int>("tries"); // connections before the refusal
        using P = PortStatus::Problem;
        const QStringList locked { "--lamp", "on", "--password-file", "PASSWORD" };
        const QStringList newer = locked + QStringList { "--login", "sha256" };
        QTest::newRow("not a projector")
            << QStringList() << QString() << P::NotPJLink << P::None << QString() << 0;
        QTest::newRow("no login") << QStringList { "--lamp", "on" } << QString() << P::None
                                  << P::None << QString() << 0;
        QTest::newRow("login") << locked << "s3cret" << P::None << P::None << QString() << 0;
        QTest::newRow("slow greeting") << (locked + QStringList { "--greeting-delay-ms", "300" })
                                       << "s3cret" << P::None << P::None << QString() << 0;
        // Asked for the newer login first, it never sees the MD5 one it closes on.
        QTest::newRow("newer login only, closing on MD5")
            << (newer + QStringList { "--close-on-refusal" }) << "s3cret" << P::None << P::None
            << QString() << 0;
        // An older projector refuses the newer login, then the password.
        QTest::newRow("wrong password")
            << locked << "S3cret" << P::None << P::PasswordRejected
            << "password rejected (MD5 and SHA-256 logins refused)" << 2;
        // Refused in the newer login: never MD5 with the same password.
        QTest::newRow("wrong password, newer login")
            << newer << "S3cret" << P::None << P::PasswordRejected
            << "password rejected (SHA-256 login refused)" << 1;
        QTest::newRow("no password")
            << locked << QString() << P::PasswordMissing << P::None << "needs a password" << 1;
    }

    void linkLogin()
    {
        QFETCH(QStringList, simulator);
        QFETCH(QString, password);
        QFETCH(PortStatus::Problem, opening);
        QFETCH(PortStatus::Problem, answering);
        QFETCH(QString, reason);
        QFETCH(int, tries);
        QTemporaryDir dir;
        QFile secret(dir.filePath(QStringLiteral("password")));
        QVERIFY(secret.open(QIODevice::WriteOnly));
        secret.write("s3cret\n");
        secret.close();
        simulator.replaceInStrings(QStringLiteral("PASSWORD"), secret.fileName());

        SimProcess sim;
        QTcpServer notProjector;
        QString address;
        if (simulator.isEmpty()) {
            QVERIFY(notProjector.listen(QHostAddress::LocalHost));
            connect(&notProjector, &QTcpServer::newConnection, &notProjector,
                    [&] { notProjector.nextPendingConnection()->write("SSH-2.0-OpenSSH\r\n"); });
            address = QStringLiteral("127.0.0.1:%1").arg(notProjector.serverPort());
        } else {
            QVERIFY(sim.startSimulator(PROJECTOR_SIM_PATH,
                                       QStringList { "--family", "pjlink" } + simulator));
            address = sim.tcpAddress();
        }
        const auto connections = [&sim] {
            int count = 0;
            for (const QByteArray &line : sim.lines())
                count += line.startsWith("-- connection ") && line.endsWith(" opened");
            return count;
        };

        ProjectorLink link;
        QSignalSpy lost(&link, &ProjectorLink::lost);
        link.setPassword(password);
        link.connectTo(address, PJLink::ModelIndex);
        QCOMPARE(link.waitForOpened(10000), opening == PortStatus::Problem::None);
        QCOMPARE(link.problem(), opening);
        if (opening == PortStatus::Problem::None) {
            link.write("%1POWR ?\r");
            QByteArray answer;
            QTRY_VERIFY(!link.isOpen() || (answer += link.readAll()).endsWith('\r'));
            QCOMPARE(link.isOpen(), answering == PortStatus::Problem::None);
            if (link.isOpen())
                QCOMPARE(answer, QByteArray("%1POWR=1\r"));
            else
                QCOMPARE(lost.value(0).value(0).value<PortStatus::Problem>(), answering);
        }
        const PortStatus::Problem refused = link.problem();
        if (refused != PortStatus::Problem::PasswordRejected
            && refused != PortStatus::Problem::PasswordMissing)
            return;

        QCOMPARE(PortStatus::reason(refused, link.problemDetail()), reason);

        // Refused: a new link does not offer the same password to that
        // address again, even after the user chose again; a refused password
        // is remembered for every program, and only the greeting is read.
        // Without a password nothing is tried until the user chose again.
        const bool missing = refused == PortStatus::Problem::PasswordMissing;
        QTRY_COMPARE(connections(), tries);
        const QByteArrayList received = sim.received();
        for (bool chosenAgain : { false, true }) {
            if (chosenAgain)
                ProjectorLink::forgetRejectedLogins();
            ProjectorLink again;
            again.setPassword(password);
            again.connectTo(address, PJLink::ModelIndex);
            QVERIFY(!again.waitForOpened(10000) || missing);
            if (!missing) {
                QCOMPARE(again.problem(), refused);
                QCOMPARE(PortStatus::reason(again.problem(), again.problemDetail()),
                         QStringLiteral("password rejected (refused earlier, not tried again)"));
            }
            QTRY_COMPARE(connections(), tries + (missing ? int(chosenAgain) : 1 + chosenAgain));
        }
        QCOMPARE(sim.received(), received);
        QCOMPARE(lost.size(), refused == answering ? 1 : 0);
        if (missing)
            return;
        // Refused, then gone: unreachable, not refused.
        sim.stop();
        ProjectorLink gone;
        gone.setPassword(password);
        gone.connectTo(address, PJLink::ModelIndex);
        QVERIFY(!gone.waitForOpened(10000));
        QCOMPARE(gone.problem(), PortStatus::Problem::Refused);
    }

    // The newer login first; MD5, on a new connection, only where the
    // projector refuses it. The login a projector took is remembered for it,
    // and it is never offered the other one.
    void linkNewerLogin_data()
    {
        QTest::addColumn<QStringList>("simulator");
        QTest::addColumn<QByteArrayList>("first"); // what the projector received, first link
        QTest::addColumn<QByteArrayList>("second"); // and then from a new link
        QTest::addColumn<int>("refused"); // logins the projector refused
        QTest::newRow("either login")
            << QStringList { "--login", "both" } << QByteArrayList { "PJLINK 2", "SHA%1POWR ?" }
            << QByteArrayList { "PJLINK 2", "SHA%1LAMP ?" } << 0;
        QTest::newRow("only the newer")
            << QStringList { "--login", "sha256" } << QByteArrayList { "PJLINK 2", "SHA%1POWR ?" }
            << QByteArrayList { "PJLINK 2", "SHA%1LAMP ?" } << 0;
        QTest::newRow("only MD5") << QStringList { "--login", "md5" }
                                  << QByteArrayList { "PJLINK 2", "MD5%1POWR ?" }
                                  << QByteArrayList { "MD5%1LAMP ?" } << 1;
        QTest::newRow("only MD5, closing on the newer")
            << QStringList { "--login", "md5", "--close-on-refusal" }
            << QByteArrayList { "PJLINK 2", "MD5%1POWR ?" } << QByteArrayList { "MD5%1LAMP ?" }
            << 1;
    }

    void linkNewerLogin()
    {
        QFETCH(QStringList, simulator);
        QFETCH(QByteArrayList, first);
        QFETCH(QByteArrayList, second);
        QFETCH(int, refused);
        QTemporaryDir dir;
        SimProcess sim;
        QVERIFY(startLocked(sim, dir, simulator));
        // The logins as their kind: the projector checks them itself.
        const auto received = [&sim] {
            QByteArrayList lines;
            for (QByteArray line : sim.received()) {
                if (line.size() > 96 && line.at(96) == '%')
                    line = "SHA" + line.mid(96);
                else if (line.size() > 32 && line.at(32) == '%')
                    line = "MD5" + line.mid(32);
                lines.append(line);
            }
            return lines;
        };
        const auto ask = [&](const QByteArray &command, const QByteArray &answer) {
            ProjectorLink link;
            link.setPassword(QStringLiteral("s3cret"));
            link.connectTo(sim.tcpAddress(), PJLink::ModelIndex);
            QVERIFY(link.waitForOpened(10000));
            link.write(command);
            QByteArray got;
            QTRY_COMPARE(got += link.readAll(), answer);
            QVERIFY(link.isOpen());
        };
        ask("%1POWR ?\r", "%1POWR=1\r");
        QCOMPARE(received(), first);
        QCOMPARE(sim.lines().count("-- login rejected"), refused);
        ask("%1LAMP ?\r", "%1LAMP=1250 1\r");
        QCOMPARE(received(), first + second);
        QCOMPARE(sim.lines().count("-- login rejected"), refused);
    }

    // A missing greeting is told as such: by the link's own deadline, and to
    // an owner that stops waiting first.
    void linkNoGreeting()
    {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        const QString address = QStringLiteral("127.0.0.1:%1").arg(silent.serverPort());
        ProjectorLink link;
        link.connectTo(address, PJLink::ModelIndex);
        QVERIFY(silent.waitForNewConnection(10000));
        QVERIFY(!link.waitForOpened(100));
        QCOMPARE(link.problem(), PortStatus::Problem::NoGreeting);
        QCOMPARE(PortStatus::reason(link.problem()), QStringLiteral("no greeting"));

        QSignalSpy failed(&link, &ProjectorLink::failed);
        link.connectTo(address, PJLink::ModelIndex);
        QVERIFY(failed.wait(2 * PJLinkTransport::TimeoutMs));
        QCOMPARE(failed.at(0).at(0).value<PortStatus::Problem>(), PortStatus::Problem::NoGreeting);
    }

    void defaultPort_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("port");
        QTest::newRow("IPv4") << "127.0.0.1" << 4352;
        QTest::newRow("IPv6") << "[::1]" << 4352;
        QTest::newRow("name") << "projector.invalid" << 4352;
        QTest::newRow("port given") << "127.0.0.1:4353" << 4353;
    }

    void defaultPort()
    {
        QFETCH(QString, address);
        QFETCH(int, port);
        const LinkAddress parsed = LinkAddress::parsePJLink(address);
        QVERIFY2(parsed.isValid(), qPrintable(parsed.error()));
        QCOMPARE(int(parsed.port()), port);
    }

    // A projector that drops every connection, on the command or right after
    // the login: a command goes out again at most once, a login closed on is
    // refused (for a while: it may have been busy), and the link ends instead
    // of storming it. A projector that took one login is never offered the
    // other, even when it closes on the one it took.
    void linkDropsEveryConnection_data()
    {
        QTest::addColumn<QByteArray>("greeting");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("took"); // PJLinkLogins::Kind, remembered before
        QTest::addColumn<int>("answers"); // by the first connection before it drops
        QTest::addColumn<PortStatus::Problem>("problem");
        QTest::addColumn<int>("connections");
        QTest::addColumn<QByteArray>("logins"); // what went out in front of the commands
        QTest::addColumn<int>("sent"); // times the last command arrived
        using P = PortStatus::Problem;
        using K = PJLinkLogins::Kind;
        const QByteArray locked = "PJLINK 1 498e4a67";
        const QByteArray md5 = PJLink::digest("498e4a67", "s3cret");
        QTest::newRow("on the first command")
            << QByteArray("PJLINK 0") << QString() << int(K::Unknown) << 0 << P::ConnectionLost << 1
            << QByteArray() << 1;
        QTest::newRow("after serving") << QByteArray("PJLINK 0") << QString() << int(K::Unknown)
                                       << 1 << P::ConnectionLost << 2 << QByteArray() << 2;
        // Closed on "PJLINK 2": MD5 on a new connection, closed on too.
        QTest::newRow("after the login") << locked << "s3cret" << int(K::Unknown) << 0
                                         << P::PasswordRejected << 2 << "PJLINK 2\r" + md5 << 1;
        QTest::newRow("after the login, MD5 taken before")
            << locked << "s3cret" << int(K::Md5) << 0 << P::PasswordRejected << 1 << md5 << 1;
        QTest::newRow("on the newer login, taken before")
            << locked << "s3cret" << int(K::Sha256) << 0 << P::PasswordRejected << 1
            << QByteArray("PJLINK 2\r") << 0;
    }

    void linkDropsEveryConnection()
    {
        QFETCH(QByteArray, greeting);
        QFETCH(QString, password);
        QFETCH(int, took);
        QFETCH(int, answers);
        QFETCH(PortStatus::Problem, problem);
        QFETCH(int, connections);
        QFETCH(QByteArray, logins);
        QFETCH(int, sent);
        DroppingProjector projector(greeting, answers);
        const QString key
            = PJLinkTransport::projectorKey(LinkAddress::parsePJLink(projector.address()));
        if (took != int(PJLinkLogins::Kind::Unknown))
            PJLinkLogins::rememberKind(key, password.toUtf8(), PJLinkLogins::Kind(took));
        ProjectorLink link;
        QSignalSpy lost(&link, &ProjectorLink::lost);
        link.setPassword(password);
        link.connectTo(projector.address(), PJLink::ModelIndex);
        const bool refused = problem == PortStatus::Problem::PasswordRejected;
        // Closed on the newer login, it never opens.
        QCOMPARE(link.waitForOpened(10000), sent > 0);
        for (int i = 0; i < answers; ++i) {
            link.write("%1INPT ?\r");
            QByteArray answer;
            QTRY_COMPARE(answer += link.readAll(), QByteArray("%1INPT=OK\r"));
        }
        if (sent > 0) {
            link.write("%1POWR ?\r");
            // A storm shows at once.
            QTRY_VERIFY_WITH_TIMEOUT(!lost.isEmpty() || projector.connections() > connections,
                                     10000);
            QCOMPARE(lost.size(), 1);
            QCOMPARE(lost.at(0).at(0).value<PortStatus::Problem>(), problem);
        } else {
            QCOMPARE(link.problem(), problem);
        }
        QCOMPARE(projector.connections(), connections);
        QCOMPARE(projector.received().count("%1POWR ?\r"), sent);
        QByteArray received = projector.received();
        received.replace("%1POWR ?\r", "").replace("%1INPT ?\r", "");
        QCOMPARE(received, logins);
        QVERIFY(!link.isOpen());
        // Which login was taken stays as it was.
        QCOMPARE(int(PJLinkLogins::recall(key, password.toUtf8()).kind), took);

        // A new link does not log in again for a while after a login closed
        // on (it reads the greeting only) and, without one, makes no more
        // than its own connection.
        ProjectorLink again;
        again.setPassword(password);
        again.connectTo(projector.address(), PJLink::ModelIndex);
        QCOMPARE(again.waitForOpened(10000), !refused);
        QTRY_COMPARE(projector.connections(), connections + 1);
        QCOMPARE(projector.received().count("%1POWR ?\r"), sent);
        if (refused) {
            QCOMPARE(again.problem(), problem);
            QCOMPARE(projector.received().size(), logins.size() + sent * 9);
        }
    }

    // A projector that closes the connection (idle, or half way through an
    // answer) is reached again with the next command, logging in anew, and
    // the link stays open throughout.
    void linkReconnects_data()
    {
        QTest::addColumn<QStringList>("simulator");
        QTest::addColumn<QByteArray>("firstAnswer");
        QTest::newRow("idle close")
            << QStringList { "--idle-close-ms", "100" } << QByteArray("%1POWR=1\r");
        QTest::newRow("cut in a reply")
            << QStringList { "--cut-reply", "POWR" } << QByteArray("%1PO");
    }

    void linkReconnects()
    {
        QFETCH(QStringList, simulator);
        QFETCH(QByteArray, firstAnswer);
        QTemporaryDir dir;
        SimProcess sim;
        QVERIFY(startLocked(sim, dir, simulator));
        ProjectorLink link;
        QSignalSpy lost(&link, &ProjectorLink::lost);
        link.setPassword(QStringLiteral("s3cret"));
        link.connectTo(sim.tcpAddress(), PJLink::ModelIndex);
        QVERIFY(link.waitForOpened(10000));
        link.write("%1POWR ?\r");
        QByteArray answer;
        QTRY_COMPARE(answer += link.readAll(), firstAnswer);
        // The first refused "PJLINK 2"; the second served.
        QTRY_VERIFY(sim.has("-- connection 2 closed"));
        QVERIFY(link.isOpen());
        link.write("%1LAMP ?\r");
        answer.clear();
        QTRY_COMPARE(answer += link.readAll(), QByteArray("%1LAMP=1250 1\r"));
        QVERIFY(link.isOpen());
        QCOMPARE(lost.size(), 0);
        // Each connection's first command carried its login, MD5 once the
        // projector refused the newer one.
        QByteArrayList received = sim.received();
        QCOMPARE(received.size(), 3);
        QCOMPARE(received.takeFirst(), QByteArray("PJLINK 2"));
        for (const QByteArray &line : received)
            QVERIFY2(line.size() == 32 + 8 && line.at(32) == '%', line.constData());

        // Gone for good: the next command finds nobody, and the link says so once.
        sim.stop();
        link.write("%1POWR ?\r");
        QTRY_COMPARE(lost.size(), 1);
        QCOMPARE(lost.at(0).at(0).value<PortStatus::Problem>(), PortStatus::Problem::Refused);
        QVERIFY(!link.isOpen());
    }
};

QTEST_GUILESS_MAIN(TestPJLink)
#include "tst_pjlink.moc"
