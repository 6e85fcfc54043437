#include "exchange.h"

#include "family.h"
#include "framing.h"
#include "portstatus.h"
#include "serialline.h"
#include "vivitek.h"

#include <utility>

Exchange::Exchange(int modelIndex, int timeoutMs)
    : model(modelIndex)
    , timeoutMs(timeoutMs)
    , matcher(timeoutMs)
{
    clock.start();
}

QString Exchange::open(const QString &portName)
{
    const SerialLine::Opened opened = SerialLine::open(port, portName, model);
    if (!opened.isOpen())
        return PortStatus::reason(opened.problem(portName), opened.errorText);
    if (opened.outcome != SerialLine::Opened::Yes)
        speedWarning = QStringLiteral("%1: the line refused %2 baud")
                           .arg(portName)
                           .arg(Family::baudRate(model));
    return QString();
}

Exchange::Answer Exchange::ask(const QByteArray &command)
{
    discardUnasked();
    const QDeadlineTimer deadline(timeoutMs);
    Answer answer;
    Step step = write(command, deadline);
    if (step != Step::Done) {
        answer.outcome = failure(step);
        return answer;
    }
    const bool vivitek = model == Vivitek::ModelIndex;
    if (vivitek)
        matcher.sent(QString::fromLatin1(command), clock.elapsed());
    QString reply;
    while ((step = nextReply(deadline, &reply)) == Step::Done) {
        // An empty line answers nothing; for Vivitek, a late answer to an
        // earlier command answers that one.
        if (reply.isEmpty()
            || (vivitek && matcher.answer(clock.elapsed()) != QLatin1String(command)))
            continue;
        answer.outcome = Answer::Replied;
        answer.reply = reply;
        return answer;
    }
    answer.outcome = failure(step);
    return answer;
}

QStringList Exchange::listen(const QByteArray &text, bool *lost)
{
    discardUnasked();
    const QDeadlineTimer deadline(timeoutMs);
    QStringList replies;
    Step step = write(text, deadline);
    QString reply;
    while (step == Step::Done && (step = nextReply(deadline, &reply)) == Step::Done)
        replies.append(reply);
    *lost = step == Step::Lost;
    return replies;
}

Exchange::Answer::Outcome Exchange::failure(Step step)
{
    return step == Step::Lost ? Answer::Lost : Answer::NoAnswer;
}

Exchange::Step Exchange::write(const QByteArray &command, const QDeadlineTimer &deadline)
{
    port.clearError();
    if (port.write(command + '\r') < 0)
        return Step::Lost;
    while (port.bytesToWrite() > 0) {
        if (!port.waitForBytesWritten(int(deadline.remainingTime())))
            return port.error() == QSerialPort::TimeoutError ? Step::TimeUp : Step::Lost;
    }
    return Step::Done;
}

Exchange::Step Exchange::nextReply(const QDeadlineTimer &deadline, QString *reply)
{
    forever {
        char byte;
        while (port.getChar(&byte)) {
            if (Framing::feedByte(partial, lineEnded, byte, model)) {
                *reply = std::exchange(partial, QString());
                return Step::Done;
            }
        }
        if (deadline.hasExpired())
            return Step::TimeUp;
        port.clearError();
        // Qt 5 reports a vanished device (ReadError, ResourceError) at once
        // and again on every try: any failure but the time running out ends
        // the wait.
        if (!port.waitForReadyRead(int(deadline.remainingTime()))
            && port.error() != QSerialPort::TimeoutError)
            return Step::Lost;
    }
}

// Whatever came while nothing was asked belongs to no command that follows.
void Exchange::discardUnasked()
{
    port.clearError();
    port.waitForReadyRead(0);
    port.readAll();
    partial.clear();
    lineEnded = false;
}
