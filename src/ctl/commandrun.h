#pragma once

#include "invocation.h"
#include "portstatus.h"
#include "report.h"

#include <QObject>

#include <memory>

// One command on one projector, carried out on the event loop: start() sends
// what the command needs and returns at once; finished() follows, with the
// report written, once the command is done or given up. Many runs go side by
// side on one thread, each with its own link and its own --timeout.
class CommandRun : public QObject
{
    Q_OBJECT

public:
    // The run for the invocation's family: PJLink, or a serial family. Both
    // invocation and report must outlive the run.
    static std::unique_ptr<CommandRun> create(const Invocation &invocation, Report &report);

    // Starts the run and waits on a local event loop until it is finished:
    // the program's own single-projector case.
    static int runToEnd(const Invocation &invocation, Report &report);

    // Never emits finished() from within.
    virtual void start() = 0;
    bool isFinished() const { return done; }
    int exitCode() const { return code; }

signals:
    void finished(int exitCode);

protected:
    CommandRun(const Invocation &invocation, Report &report);
    // Ends the run once: report it finished with exitCode (the report already
    // finished by the caller) and emits finished() from the event loop.
    void end(int exitCode);
    // Why the projector could not be reached, as one word in the report's
    // "problem" (in_use, refused, timed_out, not_found, ...): what the
    // exporter tells Prometheus, apart from the translated text.
    void noteProblem(PortStatus::Problem problem, const QString &detail);

    const Invocation &invocation;
    Report &report;

private:
    bool done = false;
    int code = ExitCode::Done;
};
