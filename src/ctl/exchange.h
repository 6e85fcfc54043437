#pragma once

#include "vivitekmatcher.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QString>
#include <QStringList>

// The serial line to the projector, one command at a time: send it, wait up
// to the timeout for the reply that answers it, then the next. Every wait
// blocks on the port with the time that is left, so nothing spins and
// nothing waits longer than the timeout.
class Exchange
{
public:
    struct Answer
    {
        enum Outcome { Replied, NoAnswer, Lost };
        Outcome outcome = NoAnswer;
        QString reply;
    };

    Exchange(int modelIndex, int timeoutMs);

    // Opens the port with the family's line settings. Empty when it is open,
    // otherwise why not, in the window's plain words.
    QString open(const QString &portName);
    // Set when the port opened but refused the family's speed.
    QString warning() const { return speedWarning; }

    Answer ask(const QByteArray &command);
    // Sends text and gathers every reply that comes within the timeout.
    QStringList listen(const QByteArray &text, bool *lost);

private:
    enum class Step { Done, TimeUp, Lost };

    Step write(const QByteArray &command, const QDeadlineTimer &deadline);
    Step nextReply(const QDeadlineTimer &deadline, QString *reply);
    static Answer::Outcome failure(Step step);
    void discardUnasked();

    QSerialPort port;
    const int model;
    const int timeoutMs;
    QString speedWarning;
    QString partial; // a reply still being framed
    bool lineEnded = false;
    VivitekMatcher matcher;
    QElapsedTimer clock; // the matcher's, in milliseconds
};
