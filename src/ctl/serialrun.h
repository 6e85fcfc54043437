#pragma once

#include "commandrun.h"
#include "projectorsession.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

// A command on a projector of the serial families (a serial port or a
// network serial server), one question at a time on the session engine's
// serial exchange: each answer moves the run on, and nothing waits.
class SerialRun : public CommandRun
{
    Q_OBJECT

public:
    SerialRun(const Invocation &invocation, Report &report);
    ~SerialRun() override;
    void start() override;

private:
    struct Query
    {
        QString name;
        QByteArray command;
        // What the reply says; empty leaves the name out.
        QString (*value)(int modelIndex, const QByteArray &command, const QString &reply);
        bool optional; // the projector may not have it: no answer is no failure
    };
    // What the run does with an accepted reply.
    using Then = std::function<void(const QString &reply)>;

    // What query asks the family's projector, in the order it is printed.
    static QList<Query> queriesOf(int modelIndex);

    void onOpened();
    void onAnswered(ProjectorSession::Answer answer, const QString &reply);
    void onHeard(const QStringList &replies, bool lost, bool cut);

    void carryOut(); // the command, once the line is open
    void list();
    void power(bool on);
    void status();
    void press();
    void pressVivitek();
    void set();
    void query();
    void askNextQuery();
    void queryAnswered(ProjectorSession::Answer answer, const QString &reply);
    void send();

    // Sends command; an answer that ends the run (none, a refusal, the line
    // lost) finishes the report, and then goes on with the reply.
    void ask(const QByteArray &command, Then then);
    void lost();
    // Lets the line go, keeping what it still owes, and ends the run.
    void finish(int exitCode);

    std::unique_ptr<ProjectorSession> session;
    QByteArray asked; // the command whose answer is awaited
    Then next;

    // query's progress
    QList<Query> queries;
    int queryAt = 0;
    QJsonObject values;
    int unanswered = 0;
    QByteArray silentAt; // the question left unanswered, after which none was asked
};
