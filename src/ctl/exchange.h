#pragma once

#include "projectorlink.h"
#include "vivitekmatcher.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

// The line to the projector (a serial port or a network serial server), one
// command at a time: send it, wait up
// to the timeout for the reply that answers it, then the next. Every wait
// blocks on the port with the time that is left, so nothing spins and
// nothing waits longer than the timeout.
//
// Nothing that began to arrive before a command went out answers it. A
// Vivitek projector answers every command in order, so a command given up
// still owes its answer: that answer is matched to it as in the window and
// dropped, never taken for a later command's. The run does not wait for it:
// the commands still owed are kept in a small record for the line, in the
// runtime directory, and the next run on that line matches their answers
// to them first.
class Exchange
{
public:
    struct Answer
    {
        enum Outcome { Replied, NoAnswer, Lost };
        Outcome outcome = NoAnswer;
        QString reply;
    };

    struct Heard
    {
        QStringList replies;
        bool lost = false;
        bool cut = false; // more than MaxHeard came: the rest was not read
    };

    // What listen keeps of a line that never stops answering, in bytes.
    static constexpr int MaxHeard = 64 * 1024;

    Exchange(int modelIndex, int timeoutMs);

    // Opens the port with the family's line settings, waiting at most the
    // timeout. Empty when it is open, otherwise why not, in the window's
    // plain words.
    QString open(const QString &portName);
    // Why the line went, once it was lost: "device lost", "connection lost".
    QString lossReason() const;
    // Set when the port opened but refused the family's speed.
    QString warning() const { return speedWarning; }

    Answer ask(const QByteArray &command);
    // Sends text and gathers every reply that comes within the timeout.
    Heard listen(const QByteArray &text);
    // Takes what the line holds now and keeps a record of the answers still
    // owed to commands given up, for the next run on the line. Never waits.
    void settle();
    // Where that record is kept for a port; empty when there is no runtime
    // directory.
    static QString owedRecordPath(const QString &portName, int modelIndex);

private:
    enum class Step { Done, TimeUp, Lost };

    Step write(const QByteArray &command, const QDeadlineTimer &deadline);
    Step waitForInput(const QDeadlineTimer &deadline);
    Step nextReply(const QDeadlineTimer &deadline, QString *reply, bool *stale);
    bool answersQuestion(const QString &reply, bool stale);
    static Answer::Outcome failure(Step step);
    void discardUnasked();
    void takeOwedRecord();
    void keepOwedRecord();

    ProjectorLink port;
    const int model;
    const int timeoutMs;
    QString speedWarning;
    // The framing of the line, kept from one command to the next: a LF may
    // come after the next command went out and still end the last reply.
    QString partial; // a reply still being framed
    bool lineEnded = false;
    bool partialIsStale = false; // the reply being framed began before the command
    bool asking = false; // a command waits for its answer
    const int giveUpMs;
    VivitekMatcher matcher;
    QElapsedTimer clock; // the matcher's, in milliseconds
    QString recordPath; // of the answers owed on this line
};
