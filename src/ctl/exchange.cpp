#include "exchange.h"

#include "family.h"
#include "framing.h"
#include "portstatus.h"
#include "vivitek.h"

#include <utility>

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
    if (port.speed() == LinkTransport::Speed::Refused
        || port.speed() == LinkTransport::Speed::RefusedQuietly)
        speedWarning = QStringLiteral("%1: the line refused %2 baud")
                           .arg(portName, QString::number(Family::baudRate(model)));
    return QString();
}

Exchange::Answer Exchange::ask(const QByteArray &command)
{
    discardUnasked();
    const QDeadlineTimer deadline(timeoutMs);
    Answer answer;
    Step step = write(command, deadline);
    if (step == Step::Done) {
        lastAskedAt = clock.elapsed();
        if (model == Vivitek::ModelIndex)
            matcher.sent(QString::fromLatin1(command), lastAskedAt);
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
    if (!port.isOpen() || matcher.waiting(clock.elapsed()) == 0)
        return;
    // The newest command is the last to be given up.
    const QDeadlineTimer deadline(qMax<qint64>(0, lastAskedAt + giveUpMs - clock.elapsed()));
    QString reply;
    bool stale = false;
    while (matcher.waiting(clock.elapsed()) > 0
           && nextReply(deadline, &reply, &stale) == Step::Done)
        answersQuestion(reply, stale);
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
