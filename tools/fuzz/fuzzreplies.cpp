// Feeds arbitrary projector output through reply framing, the reply handlers
// of every family and the traffic log formatting.
//
// Input layout:
//   byte 0   family: 0 Acer, 1 Vivitek, 2 InFocus, 3 PJLink (the rest of
//            the input also goes, as it is, through the link's greeting and
//            login to a PJLink client that has sent its queries; bit 5 of
//            byte 1 picks the SHA-256 login), anything else a stored model
//            the program does not know
//   byte 1   bit 0 "Debug", bit 1 "ASCII", bit 2 run a timer tick after
//            every chunk, bit 3 start the Vivitek state query; high nibble
//            all set: the first chunk, without terminators, is fed over and
//            over until the partial reply limit is overrun (line noise)
//   then     chunks: a header byte (low nibble: length - 1, high nibble: the
//            command the reply is taken to answer) and up to 16 bytes

#include "vantrelprobe.h"

#include "acer.h"
#include "framing.h"
#include "pjlink.h"
#include "pjlinkclient.h"
#include "pjlinklogin.h"
#include "portenumeration.h"
#include "trafficlog.h"
#include "vivitek.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

Vantrel *window = nullptr;

constexpr std::uint8_t RepeatFirstChunk = 0xf0;

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// Index 0 keeps whatever the window sent last.
const char *const answeredCommands[16] = {
    nullptr,    "V99G0007", "V99G0004", "V99G0008",   "V99G0319", "V99G0321",
    "V99G0308", "V99G0108", "V99G0220", "V99G0309",   "V99G0101", "V99G0102",
    "V99G0105", "V99G0106", "V99S0001", "* 0 Lamp ?",
};

int familyOf(std::uint8_t selector)
{
    static const int families[] = { 0, 1, 2, 3, -1, 255 };
    return families[selector % std::size(families)];
}

void quiet(QtMsgType, const QMessageLogContext &, const QString &) { }

void checkTrafficLog(const QByteArray &bytes)
{
    FUZZ_CHECK(TrafficLog::bytesText(bytes, false).size() == 3 * bytes.size());
    FUZZ_CHECK(TrafficLog::bytesText(bytes, true).size() == bytes.size());
    const QString received = TrafficLog::receivedLine(bytes, false);
    FUZZ_CHECK(received.startsWith(QLatin1String("> ")) && received.endsWith(QLatin1Char('\n')));
    const QString sent = TrafficLog::sentLine(bytes, true);
    FUZZ_CHECK(sent.endsWith(QLatin1String("0d\n")));
}

void checkReply(const QString &reply, int family)
{
    for (QChar c : reply)
        FUZZ_CHECK(c.unicode() <= 0xff);
    FUZZ_CHECK(reply.size() <= Framing::MaxPartialReply);
    switch (family) {
    case 0:
    case 1:
        FUZZ_CHECK(!reply.contains(QLatin1Char('\r')));
        break;
    case 2:
        FUZZ_CHECK(reply.endsWith(QLatin1Char(')')));
        FUZZ_CHECK(reply.count(QLatin1Char(')')) == 1);
        break;
    default:
        FUZZ_CHECK(!"a family without a terminator completed a reply");
    }

    const Acer::Reply acer = Acer::interpretReply(reply);
    if (acer.action == Acer::Reply::Log)
        FUZZ_CHECK(acer.logText.endsWith(QLatin1Char('\n')));
    else
        FUZZ_CHECK(acer.logText.isEmpty());

    const Vivitek::Reply vivitek = Vivitek::parseReply(reply);
    FUZZ_CHECK(vivitek.empty == reply.isEmpty());
    FUZZ_CHECK(vivitek.success == reply.startsWith(QLatin1Char('P')));
    (void)Vivitek::meaningOf(reply);
    FUZZ_CHECK(TrafficLog::replyLine(reply).size() == reply.size() + 4);
}

// Whatever a PJLink projector sends, in pieces of any size, through the
// greeting and login the link does and on to the client: what goes back
// stays one packet at a time behind at most one login, and the state read
// stays in range.
void checkPJLink(const QByteArray &bytes, int piece, bool sha256)
{
    PJLinkLogin login("secret", sha256 ? PJLinkLogin::Method::Sha256 : PJLinkLogin::Method::Md5);
    PJLinkClient client;
    qint64 now = 0;
    bool opened = false;
    int logins = 0;
    for (int at = 0; at < bytes.size(); at += piece) {
        now += 700;
        const QByteArray data = login.receive(bytes.mid(at, piece));
        const QByteArray opening = login.takeOutput();
        FUZZ_CHECK(opening.isEmpty() || opening == "PJLINK 2\r");
        FUZZ_CHECK(opening.isEmpty() || sha256);
        if (login.state() != PJLinkLogin::State::Open) {
            FUZZ_CHECK(data.isEmpty());
            if (login.state() != PJLinkLogin::State::Greeting
                && login.state() != PJLinkLogin::State::Challenge)
                break; // the link ends here
            continue;
        }
        if (!opened) {
            opened = true;
            client.opened(now);
            client.poll(now);
            client.send(PJLink::selectInput("31"));
        }
        client.receive(data, now);
        client.advance(now);
        const QByteArray command = client.takeOutput(now);
        const QByteArray out = login.wrap(command);
        const int loginSize = int(out.size() - command.size());
        FUZZ_CHECK(loginSize == 0 || loginSize == 32 || loginSize == 96);
        logins += loginSize > 0;
        FUZZ_CHECK(logins <= 1);
        FUZZ_CHECK(out.size() <= 96 + PJLink::MaxPacket);
        FUZZ_CHECK(out.isEmpty() || (out.endsWith('\r') && out.count('\r') == 1));
        if (at % 3 == 0)
            client.poll(now);
    }
    const PJLinkState &state = client.state();
    FUZZ_CHECK(!state.power || (*state.power >= 0 && *state.power <= 3));
    FUZZ_CHECK(!state.lamps || state.lamps->size() <= PJLink::MaxLamps);
    if (state.health) {
        for (int level : *state.health)
            FUZZ_CHECK(level >= 0 && level <= 2);
    }
    FUZZ_CHECK(state.input.isEmpty() || !PJLink::inputCaption(state.input).isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The settings store must never be the user's.
    char store[] = "/tmp/vantrel-fuzz-XXXXXX";
    if (!mkdtemp(store))
        std::abort();
    qputenv("XDG_CONFIG_HOME", store);
    qputenv("XDG_RUNTIME_DIR", store);
    qInstallMessageHandler(quiet);
    // No port is listed, so the window comes up with its port closed and
    // nothing is ever written to a real device.
    PortEnumeration::setLister([] { return QStringList(); });

    static int argc = 1;
    static char name[] = "vantrel-fuzz";
    static char *argv[] = { name, nullptr };
    new QApplication(argc, argv);
    window = new Vantrel;
    FUZZ_CHECK(!VantrelProbe::portOpen(*window));
    QDir(QString::fromLocal8Bit(store)).removeRecursively();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    Vantrel &w = *window;
    const int family = familyOf(data[0]);
    const std::uint8_t flags = data[1];
    if (family == PJLink::ModelIndex)
        checkPJLink(QByteArray(reinterpret_cast<const char *>(data + 2), int(size - 2)),
                    1 + (flags & 0x1f), flags & 0x20);
    VantrelProbe::reset(w, family, flags & 1, flags & 2);
    if (flags & 8)
        VantrelProbe::queryVvtSettings(w);

    std::size_t at = 2;
    while (at < size) {
        const std::uint8_t header = data[at++];
        const std::size_t length = std::min<std::size_t>((header & 0x0f) + 1, size - at);
        if (length == 0)
            break;
        if (const char *command = answeredCommands[header >> 4])
            VantrelProbe::setLastCommand(w, QString::fromLatin1(command));

        const QByteArray chunk(reinterpret_cast<const char *>(data + at), int(length));
        at += length;
        QByteArray stream = chunk;
        const bool first = at == 3 + length;
        // The formatting is byte by byte; one chunk per input covers it.
        if (first)
            checkTrafficLog(chunk);
        if (first && (flags & RepeatFirstChunk) == RepeatFirstChunk) {
            QByteArray noise = chunk;
            noise.replace('\r', '\0').replace(')', '(');
            stream = noise.repeated(Framing::MaxPartialReply / noise.size() + 2) + chunk;
        }
        for (char byte : stream) {
            const int pendingBefore = VantrelProbe::pendingQueryCount(w);
            QString reply;
            const bool complete = VantrelProbe::feed(w, byte, &reply);
            FUZZ_CHECK(VantrelProbe::replyBuffer(w).size() <= Framing::MaxPartialReply);
            if (!complete)
                continue;
            checkReply(reply, family);
            // The state query releases exactly one command per success reply.
            const int pendingAfter = VantrelProbe::pendingQueryCount(w);
            const bool releases
                = family == 1 && reply.startsWith(QLatin1Char('P')) && pendingBefore > 0;
            FUZZ_CHECK(pendingAfter == pendingBefore - (releases ? 1 : 0));
        }
        if (flags & 4)
            VantrelProbe::onTimer(w);
    }
    FUZZ_CHECK(!VantrelProbe::portOpen(w));
    QCoreApplication::processEvents();
    return 0;
}
