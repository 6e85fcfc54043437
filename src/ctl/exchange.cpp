#include "exchange.h"

#include "family.h"
#include "framing.h"
#include "linkaddress.h"
#include "portstatus.h"
#include "vivitek.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <utility>

namespace {

// More than MaxWaiting commands' worth: the rest of a record is not read.
constexpr qint64 OwedRecordBytes = 4096;

} // namespace

Exchange::Exchange(int modelIndex, int timeoutMs)
    : model(modelIndex)
    , timeoutMs(timeoutMs)
    // A command is given up when the window would give it up, but never
    // before the user's own timeout.
    , giveUpMs(qMax(VivitekMatcher::GiveUpMs, timeoutMs))
    , matcher(giveUpMs)
{
    clock.start();
}

QString Exchange::open(const QString &portName)
{
    port.connectTo(portName, model);
    if (!port.isOpen() && !port.waitForOpened(timeoutMs))
        return PortStatus::reason(port.problem(), port.problemDetail());
    if (model == Vivitek::ModelIndex) {
        recordPath = owedRecordPath(portName, model);
        takeOwedRecord();
    }
    if (port.speed() == LinkTransport::Speed::Refused
        || port.speed() == LinkTransport::Speed::RefusedQuietly)
        speedWarning = QStringLiteral("%1: the line refused %2 baud")
                           .arg(portName, QString::number(Family::baudRate(model)));
    return QString();
}

QString Exchange::lossReason() const
{
    const PortStatus::Problem problem = port.problem();
    return PortStatus::reason(problem == PortStatus::Problem::None ? PortStatus::Problem::Lost
                                                                   : problem,
                              port.problemDetail());
}

Exchange::Answer Exchange::ask(const QByteArray &command)
{
    discardUnasked();
    const QDeadlineTimer deadline(timeoutMs);
    Answer answer;
    Step step = write(command, deadline);
    if (step == Step::Done) {
        if (model == Vivitek::ModelIndex)
            matcher.sent(QString::fromLatin1(command), clock.elapsed());
        asking = true;
        QString reply;
        bool stale = false;
        while ((step = nextReply(deadline, &reply, &stale)) == Step::Done) {
            if (answersQuestion(reply, stale)) {
                asking = false;
                answer.outcome = Answer::Replied;
                answer.reply = reply;
                return answer;
            }
        }
        asking = false;
    }
    answer.outcome = failure(step);
    return answer;
}

Exchange::Heard Exchange::listen(const QByteArray &text)
{
    discardUnasked();
    const QDeadlineTimer deadline(timeoutMs);
    Heard heard;
    Step step = write(text, deadline);
    QString reply;
    bool stale = false;
    int kept = 0;
    while (step == Step::Done && (step = nextReply(deadline, &reply, &stale)) == Step::Done) {
        if (stale)
            continue;
        kept += reply.size() + 1; // and its line end
        if (kept > MaxHeard) {
            heard.cut = true;
            break;
        }
        heard.replies.append(reply);
    }
    heard.lost = step == Step::Lost;
    return heard;
}

void Exchange::settle()
{
    if (model != Vivitek::ModelIndex)
        return;
    if (port.isOpen())
        discardUnasked();
    keepOwedRecord();
}

QString Exchange::owedRecordPath(const QString &portName, int modelIndex)
{
    // Without a session (cron, a plain ssh login) there is no runtime
    // directory, and Qt would warn on every run: the cache directory serves.
    const bool runtime = !qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR");
    const QString directory = runtime
        ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
        : QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
            + QStringLiteral("/vantrel");
    if (directory.isEmpty() || !QDir().mkpath(directory))
        return QString();
    // One record per device, however its name was written.
    QString key = portName;
    if (!LinkAddress::parse(portName).isNetwork()) {
        const QString path
            = portName.startsWith(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
        const QString canonical = QFileInfo(path).canonicalFilePath();
        const QString device = canonical.isEmpty() ? path : canonical;
        // A device made anew under the same name (an adapter plugged in
        // again, another pseudo-terminal) owes nothing of the old one's.
        key = device + QLatin1Char(' ')
            + QString::number(QFileInfo(device).metadataChangeTime().toMSecsSinceEpoch());
    } else {
        key = key.toLower();
    }
    const QByteArray hash
        = QCryptographicHash::hash(key.toUtf8() + '\n' + QByteArray::number(modelIndex),
                                   QCryptographicHash::Sha1)
              .toHex()
              .left(20);
    return directory + QStringLiteral("/vantrelctl-owed-") + QString::fromLatin1(hash);
}

// Each line: the wall-clock time (ms since the epoch) at which the command is
// given up for good, a blank, the command.
void Exchange::takeOwedRecord()
{
    if (recordPath.isEmpty())
        return;
    QFile file(recordPath);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray text = file.read(OwedRecordBytes);
    file.close();
    QFile::remove(recordPath); // this run answers for them from here on
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (const QByteArray &line : text.split('\n')) {
        const int blank = line.indexOf(' ');
        bool ok = false;
        const qint64 expires = line.left(blank).toLongLong(&ok);
        const QByteArray command = line.mid(blank + 1);
        // A clock set back must not keep a command owed for long: no run
        // waits longer than the longest --timeout, an hour.
        if (!ok || blank < 1 || command.isEmpty() || expires <= now
            || expires - now > qint64(3600) * 1000)
            continue;
        // Owed at most as long as this run gives a command, so the record's
        // order stays the matcher's.
        const qint64 left = qMin<qint64>(expires - now, giveUpMs);
        matcher.sent(QString::fromLatin1(command), clock.elapsed() + left - giveUpMs);
    }
}

void Exchange::keepOwedRecord()
{
    if (recordPath.isEmpty())
        return;
    const qint64 now = clock.elapsed();
    const qint64 wallNow = QDateTime::currentMSecsSinceEpoch();
    QByteArray text;
    for (const auto &owed : matcher.waitingCommands(now))
        text += QByteArray::number(wallNow + owed.second + giveUpMs - now) + ' '
            + owed.first.toLatin1() + '\n';
    if (text.isEmpty()) {
        QFile::remove(recordPath);
        return;
    }
    QSaveFile file(recordPath);
    if (file.open(QIODevice::WriteOnly))
        file.write(text.left(OwedRecordBytes));
    file.commit();
}

Exchange::Answer::Outcome Exchange::failure(Step step)
{
    return step == Step::Lost ? Answer::Lost : Answer::NoAnswer;
}

Exchange::Step Exchange::write(const QByteArray &command, const QDeadlineTimer &deadline)
{
    if (port.write(command + '\r') < 0)
        return Step::Lost;
    while (port.bytesToWrite() > 0) {
        if (!port.waitForBytesWritten(int(deadline.remainingTime())))
            return port.isOpen() ? Step::TimeUp : Step::Lost;
    }
    return Step::Done;
}

// Blocks until more input came or the deadline passed; an expired deadline
// still takes in what the device holds right now.
Exchange::Step Exchange::waitForInput(const QDeadlineTimer &deadline)
{
    if (port.waitForReadyRead(int(qMax<qint64>(0, deadline.remainingTime()))))
        return Step::Done;
    // The link closes itself when the line breaks: a closed link is lost.
    return port.isOpen() ? Step::TimeUp : Step::Lost;
}

Exchange::Step Exchange::nextReply(const QDeadlineTimer &deadline, QString *reply, bool *stale)
{
    forever {
        char byte;
        while (port.getChar(&byte)) {
            if (Framing::feedByte(partial, lineEnded, byte, model)) {
                *reply = std::exchange(partial, QString());
                *stale = std::exchange(partialIsStale, false);
                return Step::Done;
            }
        }
        if (deadline.hasExpired())
            return Step::TimeUp;
        if (waitForInput(deadline) == Step::Lost)
            return Step::Lost;
    }
}

// Whether a complete reply answers the command being asked. A Vivitek reply
// belongs to the oldest command still owed one, as in the window; one that
// began before the command can only be the answer of an earlier one.
bool Exchange::answersQuestion(const QString &reply, bool stale)
{
    if (reply.isEmpty())
        return false;
    if (model != Vivitek::ModelIndex)
        return asking && !stale;
    const qint64 now = clock.elapsed();
    const int givenUp = matcher.waiting(now) - (asking ? 1 : 0);
    if (stale && givenUp <= 0)
        return false;
    matcher.answer(now);
    return asking && !stale && givenUp == 0;
}

// Whatever came while nothing was asked answers no command that follows; a
// reply it completes may still be a late answer owed to one given up.
void Exchange::discardUnasked()
{
    waitForInput(QDeadlineTimer(0)); // a lost line shows at the write that follows
    QString reply;
    bool stale = false;
    while (nextReply(QDeadlineTimer(0), &reply, &stale) == Step::Done)
        answersQuestion(reply, stale);
    partialIsStale = !partial.isEmpty();
}
