#pragma once

#include "exchange.h"
#include "invocation.h"
#include "report.h"

#include <QByteArray>
#include <QList>
#include <QString>

// One run of the program: opens the port, carries out the command the
// invocation holds and reports what came of it.
class Session
{
public:
    Session(const Invocation &invocation, Report &report);

    int run(); // the exit code

private:
    struct Query
    {
        QString name;
        QByteArray command;
        // What the reply says; empty leaves the name out.
        QString (*value)(int modelIndex, const QByteArray &command, const QString &reply);
        bool optional; // the projector may not have it: no answer is no failure
    };

    // What query asks the family's projector, in the order it is printed.
    static QList<Query> queriesOf(int modelIndex);

    int carryOut(); // the command, once the port is open
    int list();
    int power(bool on);
    int status();
    int press();
    int pressVivitek();
    int set();
    int query();
    int send();

    // Sends command and waits for its answer. Returns the exit code when
    // the answer ends the run (unanswered, refused, the port lost), with
    // the report finished; otherwise -1 and the reply.
    int ask(const QByteArray &command, QString *reply);
    int lost();

    const Invocation &invocation;
    Report &report;
    Exchange exchange;
};
