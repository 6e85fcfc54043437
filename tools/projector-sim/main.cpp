// A stand-in projector on a pseudo-terminal, for demos and end-to-end tests.

#include "pjlinkhost.h"
#include "projectormodel.h"
#include "simulatorhost.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int signalPipe[2] = { -1, -1 };

void onSignal(int signal)
{
    const int saved = errno;
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

bool installSignalHandlers()
{
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action;
    std::memset(&action, 0, sizeof(action));
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : { SIGTERM, SIGINT, SIGHUP }) {
        if (sigaction(signal, &action, nullptr) != 0)
            return false;
    }
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

const char helpText[] = R"help(Simulates an Acer, Vivitek or InFocus projector on the serial line,
or a PJLink projector on 127.0.0.1.

Opens a pseudo-terminal, prints "PTY <slave path>" as its first line and then
one line per command received (RX) and reply sent (TX); control bytes are shown
as \r, \n, \t or \xHH. Commands end with a carriage return. Acer and Vivitek
replies end with a carriage return (CR LF with --line-end crlf), InFocus
replies with ")".

Power goes off -> warming up -> on -> cooling down -> off. The lamp counts as
lit while warming up and on, so the lamp queries answer "on" from the moment
power-on is accepted and "off" from the moment power-off is accepted. Power-on
is refused while cooling down, power-off while warming up; asking for the state
the projector is already in (or heading for) is accepted. Lamp hours grow by
one for every hour the lamp is lit.

Acer:
  "* 0 Lamp ?"   -> "Lamp 1" while lit, else "Lamp 0"
  "* 0 Lamp"     -> lamp hours in decimal
  "OKOKOKOKOK"   -> power on: "*000", or "*001" if refused
  "* 0 IR 002"   -> power off: "*000", or "*001" if refused
  "* 0 IR 036"   -> "Res " + 5 bytes (1024 x 768 @ 60 Hz) while on
  "* 0 IR nnn"   -> "*000" for a known key while on; "*001" while not on,
                    for unknown keys and for anything else
Vivitek ("F" answers anything that fails):
  V99S0001 / V99S0002  power on / off -> "P"
  V99G0007   -> "P1" while lit, else "P0"
  V99G0004   -> "P" + lamp hours      V99G0008 -> "P" + firmware version
  V99Gnnnn   -> "P" + the remembered value of 0101 0102 0105 0106 0108 0220
                0301 0302 0308 0309 0319 0321 (0102, 0105, 0220 read only)
  V99Snnnnv  -> "P" + the value kept, if v is in range; only while on
                (0101 0..100, 0106 0..2, 0108 0..7, 0301 1..2, 0302 0..1,
                0308 0..3, 0309 -40..40, 0319 0..2, 0321 0..2)
  V99S0201..V99S0210 -> "P" while on; V99G0220 then reports nn - 1
InFocus (replies are "(range,value)"; anything else gets "(ERR)"):
  (PWR1) / (PWR0) / (PWR?) -> "(0-1,p)", p = 1 while lit after the command
  (CST)  -> "(0-3,s)", s = 0 off, 1 on, 2 warming up, 3 cooling down
  (LMP?) -> "(0-65535,h)", h = lamp hours

Faults: --silent still acts on commands but never answers; dropped replies are
chosen by a generator seeded with --seed; noise bytes are random bytes at an
even pace; --hangup-after-ms closes the line that long after start and exits.
Lines of at most 256 bytes are taken; a longer one is discarded.

Reply delays: --delay-ms holds every reply back that long after its command
arrived. --delay COMMAND=MS does so instead for the commands whose text,
without the carriage return, is exactly COMMAND (e.g. --delay "* 0 Lamp ?=250");
it may be given many times, the last "=" splits COMMAND from MS, and the last
one given for a COMMAND counts. Like a real projector the simulator answers one
command at a time: a reply never leaves before the reply to the command before
it, so a slow reply holds back the replies behind it.

Line ends: --line-end crlf ends Acer and Vivitek replies with CR LF. InFocus
replies have no line end but their ")", so crlf is refused for InFocus.

Chatter: --chatter TEXT sends TEXT and the reply line end (CR, or CR LF) over
and over, unasked, keeping the line busy at --chatter-bytes-per-second (960 by
default: all a 9600 baud line carries, at 10 bits a byte). InFocus chatter is
TEXT alone, so end it with ")". Each line leaves whole when its last byte would
have crossed the line; while chatter runs, replies take their turn the same
way: a reply due waits for the chatter line under way to end (never longer),
goes before the next one and takes its own time at that rate. The log counts
chatter in lines like CHATTER 320 x "TEXT": one a second, and one before any
other entry.

PJLink (--family pjlink) listens on 127.0.0.1 only: TCP on --port (a free
port by default) and UDP on --udp-port (the TCP port's number by default, if
free), and prints "LISTEN 127.0.0.1 <tcp port> <udp port>" as its first line.
Each connection is greeted "PJLINK 0", or with --password-file "PJLINK 1"
and a token; the first command must then carry the MD5 login, or it is
answered "PJLINK ERRA" and the connection closed. --login sha256 takes only
the newer login (asked for with "PJLINK 2", answered "PJLINK 2" and a random
value), --login both either; with md5, the default, "PJLINK 2" is answered
"PJLINK ERRA". --close-on-refusal closes the connection on a refused login
(or "PJLINK 2" to an MD5 projector) instead. --pjlink-class 2 adds SNUM
SVER INNM IRES RRES FILT RLMP RFIL FREZ SVOL MVOL, the inputs of %2INST and
the search: a datagram "%2SRCH" is answered "%2ACKN=<MAC>". POWR, INPT,
AVMT, FREZ and the volume steps get ERR3 unless the projector is on (so
during warm-up and cool-down); unknown and malformed commands ERR1 (such as
"%1POWR" without its parameter), bad values ERR2.
--lamps N (0: LAMP answers ERR1), --erst DIGITS (six of 0, 1, 2), and
--idle-close-ms closes a connection that long after its last traffic.
Faults: --lower-case answers, --class-text answers CLSS "Class 1",
--greeting-delay-ms, --cut-reply NAME drops the connection half way through
the first answer to that command. As some projectors do: --long-input-list
offers all 45 inputs of class 1 (an INST answer of 142 bytes, over the
packet limit), --no-class2-inputs refuses %2INST, --class2-input-only refuses
%1INPT ? on class 2, --no-filter answers FILT with ERR1 (--filter-hours sets
its hours). --pjlink-name TEXT is
the name NAME answers, markup and all. A class 1 answer to %1INPT ? never names
a class 2 input such as 3A: it is ERR2 then.)help";

struct Parsed
{
    ProjectorModel::Options options;
    QString link;
    bool pjlink = false;
    PjlinkModel::Options pjlinkOptions;
    quint16 tcpPort = 0;
    quint16 udpPort = 0;
};

bool parseNumber(const QCommandLineParser &parser, const QString &name, qint64 minimum,
                 qint64 maximum, qint64 *value)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const qint64 number = parser.value(name).toLongLong(&ok);
    if (!ok || number < minimum || number > maximum) {
        std::fprintf(stderr, "projector-sim: --%s wants a whole number from %lld to %lld\n",
                     qPrintable(name), static_cast<long long>(minimum),
                     static_cast<long long>(maximum));
        return false;
    }
    *value = number;
    return true;
}

bool parsePjlink(const QCommandLineParser &parser, const ProjectorModel::Options &serial,
                 Parsed *parsed)
{
    PjlinkModel::Options &options = parsed->pjlinkOptions;
    options.lampOn = serial.lampOn;
    options.lampHours = serial.lampHours;
    options.warmupMs = serial.warmupMs;
    options.cooldownMs = serial.cooldownMs;
    options.delayMs = serial.delayMs;
    options.seed = serial.seed;
    const qint64 day = 24 * 3600 * 1000;
    qint64 tcpPort = 0, udpPort = 0, pjClass = 1, lamps = 1;
    if (!parseNumber(parser, "port", 0, 65535, &tcpPort)
        || !parseNumber(parser, "udp-port", 0, 65535, &udpPort)
        || !parseNumber(parser, "pjlink-class", 1, 2, &pjClass)
        || !parseNumber(parser, "lamps", 0, 8, &lamps)
        || !parseNumber(parser, "idle-close-ms", 0, day, &options.idleCloseMs)
        || !parseNumber(parser, "greeting-delay-ms", 0, day, &options.greetingDelayMs))
        return false;
    parsed->tcpPort = quint16(tcpPort);
    parsed->udpPort = quint16(udpPort);
    options.pjClass = int(pjClass);
    options.lamps = int(lamps);
    options.lowerCase = parser.isSet("lower-case");
    options.classText = parser.isSet("class-text");
    options.cutReplyTo = parser.value("cut-reply").toLatin1();
    options.longInputList = parser.isSet("long-input-list");
    options.classTwoListRefused = parser.isSet("no-class2-inputs");
    options.classTwoInputOnly = parser.isSet("class2-input-only");
    options.filter = !parser.isSet("no-filter");
    qint64 filterHours = options.filterHours;
    if (!parseNumber(parser, "filter-hours", 0, 99999, &filterHours))
        return false;
    options.filterHours = int(filterHours);
    if (parser.isSet("pjlink-name"))
        options.name = parser.value("pjlink-name").toUtf8();
    if (parser.isSet("erst")) {
        options.errorStatus = parser.value("erst").toLatin1();
        bool valid = options.errorStatus.size() == 6;
        for (char c : options.errorStatus)
            valid = valid && c >= '0' && c <= '2';
        if (!valid) {
            std::fprintf(stderr, "projector-sim: --erst wants six digits, each 0, 1 or 2\n");
            return false;
        }
    }
    options.closeOnRefusal = parser.isSet("close-on-refusal");
    const QString login = parser.value("login");
    if (login == QLatin1String("sha256")) {
        options.login = PjlinkModel::Login::Sha256;
    } else if (login == QLatin1String("both")) {
        options.login = PjlinkModel::Login::Both;
    } else if (!login.isEmpty() && login != QLatin1String("md5")) {
        std::fprintf(stderr, "projector-sim: --login wants md5, sha256 or both\n");
        return false;
    }
    if (parser.isSet("password-file")) {
        QFile file(parser.value("password-file"));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "projector-sim: cannot read the password file\n");
            return false;
        }
        options.password = file.readLine().trimmed();
        if (options.password.isEmpty() || options.password.size() > 32) {
            std::fprintf(stderr, "projector-sim: the password wants 1 to 32 characters\n");
            return false;
        }
    }
    return true;
}

bool parseArguments(const QCoreApplication &app, Parsed *parsed)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(helpText));
    parser.addHelpOption();
    parser.addOptions({
        { "family", "Projector family: acer, vivitek or infocus (default acer).", "family",
          "acer" },
        { "lamp", "Initial lamp state: on or off (default off).", "state", "off" },
        { "lamp-hours", "Lamp hours at start (default 1250).", "hours" },
        { "warmup-ms", "Warm-up time (default 3000).", "ms" },
        { "cooldown-ms", "Cool-down time (default 3000).", "ms" },
        { "link", "Also reach the slave through a symbolic link at this path.", "path" },
        { "silent", "Never send a reply." },
        { "delay-ms", "Send each reply this long after its command.", "ms" },
        { "drop-percent", "Leave out this share of the replies.", "percent" },
        { "seed", "Seed for dropped replies and noise (default 1).", "number" },
        { "noise-per-second", "Send this many random bytes a second.", "rate" },
        { "hangup-after-ms", "Close the line and exit this long after start.", "ms" },
        { "delay", "Send the reply to COMMAND MS after it; repeatable.", "command=ms" },
        { "line-end", "Acer and Vivitek reply line end: cr or crlf (default cr).", "end", "cr" },
        { "chatter", "Send this text, line after line, unasked.", "text" },
        { "chatter-bytes-per-second", "Pace of the chatter (default 960).", "rate" },
        { "port", "PJLink: TCP port on 127.0.0.1 (default: a free one).", "port" },
        { "udp-port", "PJLink: UDP port for the search.", "port" },
        { "pjlink-class", "PJLink: class 1 or 2 (default 1).", "class" },
        { "password-file", "PJLink: ask for the password in this file's first line.", "file" },
        { "login", "PJLink: the logins taken: md5, sha256 or both (default md5).", "method" },
        { "close-on-refusal", "PJLink: close on a refused login instead of \"PJLINK ERRA\"." },
        { "lamps", "PJLink: number of lamps, 0 to 8 (default 1).", "count" },
        { "erst", "PJLink: the error status, six digits 0 to 2.", "digits" },
        { "idle-close-ms", "PJLink: close a connection idle this long.", "ms" },
        { "lower-case", "PJLink: answer in lower case." },
        { "class-text", "PJLink: answer CLSS with \"Class N\"." },
        { "greeting-delay-ms", "PJLink: greet this late.", "ms" },
        { "cut-reply", "PJLink: drop the connection in the first answer to NAME.", "name" },
        { "long-input-list", "PJLink: offer 45 inputs, an INST answer of 142 bytes." },
        { "no-class2-inputs", "PJLink: class 2, but refuse %2INST with ERR1." },
        { "class2-input-only", "PJLink: class 2, but refuse %1INPT ? with ERR1." },
        { "no-filter", "PJLink: no filter, FILT answers ERR1." },
        { "filter-hours", "PJLink: the filter's hours (default 320).", "hours" },
        { "pjlink-name", "PJLink: the name NAME answers (UTF-8, as given).", "text" },
    });
    parser.process(app);

    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "projector-sim: unexpected argument %s\n",
                     qPrintable(parser.positionalArguments().first()));
        return false;
    }

    ProjectorModel::Options &options = parsed->options;
    const QString family = parser.value("family");
    if (family == QLatin1String("pjlink")) {
        parsed->pjlink = true;
    } else if (family == QLatin1String("acer")) {
        options.family = ProjectorModel::Family::Acer;
    } else if (family == QLatin1String("vivitek")) {
        options.family = ProjectorModel::Family::Vivitek;
    } else if (family == QLatin1String("infocus")) {
        options.family = ProjectorModel::Family::InFocus;
    } else {
        std::fprintf(stderr, "projector-sim: --family wants acer, vivitek, infocus or pjlink\n");
        return false;
    }
    const QString lamp = parser.value("lamp");
    if (lamp != QLatin1String("on") && lamp != QLatin1String("off")) {
        std::fprintf(stderr, "projector-sim: --lamp wants on or off\n");
        return false;
    }
    options.lampOn = lamp == QLatin1String("on");
    options.silent = parser.isSet("silent");
    parsed->link = parser.value("link");

    const qint64 day = 24 * 3600 * 1000;
    qint64 lampHours = options.lampHours;
    qint64 dropPercent = options.dropPercent;
    qint64 seed = options.seed;
    if (!parseNumber(parser, "lamp-hours", 0, 60000, &lampHours)
        || !parseNumber(parser, "warmup-ms", 0, day, &options.warmupMs)
        || !parseNumber(parser, "cooldown-ms", 0, day, &options.cooldownMs)
        || !parseNumber(parser, "delay-ms", 0, day, &options.delayMs)
        || !parseNumber(parser, "drop-percent", 0, 100, &dropPercent)
        || !parseNumber(parser, "seed", 0, 0xffffffffLL, &seed)
        || !parseNumber(parser, "hangup-after-ms", 0, day, &options.hangupAfterMs))
        return false;
    options.lampHours = int(lampHours);
    options.dropPercent = int(dropPercent);
    options.seed = quint32(seed);

    if (parser.isSet("noise-per-second")) {
        bool ok = false;
        const double rate = parser.value("noise-per-second").toDouble(&ok);
        const bool inRange = rate == 0 || (rate >= 0.01 && rate <= 1000);
        if (!ok || !inRange) {
            std::fprintf(stderr, "projector-sim: --noise-per-second wants 0 or 0.01 to 1000\n");
            return false;
        }
        options.noisePerSecond = rate;
    }

    const QString lineEnd = parser.value("line-end");
    if (lineEnd == QLatin1String("crlf")) {
        if (options.family == ProjectorModel::Family::InFocus) {
            std::fprintf(stderr,
                         "projector-sim: --line-end crlf is for acer and vivitek only: "
                         "InFocus replies end with \")\"\n");
            return false;
        }
        options.lineEnd = ProjectorModel::LineEnd::CrLf;
    } else if (lineEnd != QLatin1String("cr")) {
        std::fprintf(stderr, "projector-sim: --line-end wants cr or crlf\n");
        return false;
    }

    for (const QString &delay : parser.values("delay")) {
        const int split = delay.lastIndexOf(QLatin1Char('='));
        bool ok = split > 0;
        const qint64 ms = ok ? delay.mid(split + 1).toLongLong(&ok) : 0;
        if (!ok || ms < 0 || ms > day) {
            std::fprintf(stderr,
                         "projector-sim: --delay wants COMMAND=MS, with MS a whole number "
                         "from 0 to %lld\n",
                         static_cast<long long>(day));
            return false;
        }
        options.commandDelayMs.insert(delay.left(split).toLocal8Bit(), ms);
    }

    qint64 chatterRate = options.chatterBytesPerSecond;
    if (!parseNumber(parser, "chatter-bytes-per-second", 1, 1000000, &chatterRate))
        return false;
    options.chatterBytesPerSecond = int(chatterRate);
    if (parsed->pjlink && !parsePjlink(parser, options, parsed))
        return false;
    if (parser.isSet("chatter")) {
        options.chatter = parser.value("chatter").toLocal8Bit();
        if (options.chatter.isEmpty()) {
            std::fprintf(stderr, "projector-sim: --chatter wants a text that is not empty\n");
            return false;
        }
    }
    return true;
}

// A link is replaced only if it is a link: never a file somebody keeps there.
bool makeLink(const QString &link, const QString &target)
{
    const QByteArray path = QFile::encodeName(link);
    struct stat info;
    if (lstat(path.constData(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) {
            std::fprintf(stderr, "projector-sim: %s exists and is not a symbolic link\n",
                         path.constData());
            return false;
        }
        ::unlink(path.constData());
    }
    if (symlink(QFile::encodeName(target).constData(), path.constData()) != 0) {
        std::fprintf(stderr, "projector-sim: cannot link %s: %s\n", path.constData(),
                     std::strerror(errno));
        return false;
    }
    return true;
}

void removeLink(const QString &link, const QString &target)
{
    // Another simulator may have taken the name over meanwhile.
    if (QFile::symLinkTarget(link) == target)
        ::unlink(QFile::encodeName(link).constData());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("projector-sim"));

    Parsed parsed;
    if (!parseArguments(app, &parsed))
        return 2;

    if (!installSignalHandlers()) {
        std::perror("projector-sim: signal handlers");
        return 1;
    }
    // Never outlive the test or demo that started us.
    const pid_t parent = getppid();
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        return 0;

    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&]() {
        char drained[16];
        while (::read(signalPipe[0], drained, sizeof(drained)) > 0) { }
        app.quit();
    });

    if (parsed.pjlink) {
        PjlinkHost host(parsed.pjlinkOptions);
        QString error;
        if (!host.listen(parsed.tcpPort, parsed.udpPort, &error)) {
            std::fprintf(stderr, "projector-sim: cannot listen: %s\n", qPrintable(error));
            return 1;
        }
        std::printf("LISTEN 127.0.0.1 %u %u\n", unsigned(host.tcpPort()), unsigned(host.udpPort()));
        std::fflush(stdout);
        return app.exec();
    }

    SimulatorHost host(parsed.options);
    QString error;
    if (!host.open(&error)) {
        std::fprintf(stderr, "projector-sim: cannot open a pseudo-terminal: %s\n",
                     qPrintable(error));
        return 1;
    }
    if (!parsed.link.isEmpty() && !makeLink(parsed.link, host.slavePath()))
        return 1;

    std::printf("PTY %s\n", QFile::encodeName(host.slavePath()).constData());
    std::fflush(stdout);

    QObject::connect(&host, &SimulatorHost::hungUp, &app, &QCoreApplication::quit);
    host.start();
    const int status = app.exec();

    if (!parsed.link.isEmpty())
        removeLink(parsed.link, host.slavePath());
    return status;
}
