#pragma once

#include "commandrun.h"
#include "pjlink.h"
#include "pjlinkstate.h"
#include "portstatus.h"
#include "projectorsession.h"

#include <QJsonObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

// A command on a PJLink projector, on the engine's session opened for one
// run: the connection with its greeting and login, then one question after
// the other, each waiting up to --timeout for the answer that names it. Each
// answer moves the run on; nothing here waits.
class PJLinkRun : public CommandRun
{
    Q_OBJECT

public:
    PJLinkRun(const Invocation &invocation, Report &report);
    ~PJLinkRun() override;
    void start() override;

    // What send keeps of the replies, as for the serial families.
    static constexpr int MaxHeard = 64 * 1024;

private:
    using Answer = ProjectorSession::PJLinkAnswer;
    // The answer, and the command it answers: on class 2 maybe the class 1
    // form asked after a refusal.
    using Then = std::function<void(const Answer &, const PJLink::Command &)>;
    struct Query;

    void begin();
    void opened();
    void down(PortStatus::Problem problem, const QString &detail);
    void answered(int ask, const Answer &answer);
    void ask(const PJLink::Command &command, Then then);
    // On class 2, the class 2 form of a query; when the projector refuses
    // it, the class 1 form, which serves where the other is missing.
    void askEitherClass(const PJLink::Command &command, Then then);
    void finish(int exitCode, const QString &error = QString());

    void lost(PortStatus::Problem problem, const QString &detail);
    // For a command that changes something: done, refused, or why not answered.
    void change(const PJLink::Command &command);
    void noAnswer(const PJLink::Command &command);
    // The class, the inputs and (class 2) their names, into state; what was
    // not answered is added to unanswered, what was refused to refusals.
    void readInputs(std::function<void()> then);
    void readInputNames(int index, std::function<void()> then);
    // Names what did not come, and finishes a run that otherwise did.
    void finishMissing();

    void list();
    void listInputs();
    void status();
    void setInput();
    void selectNamedInput();

    void query();
    void queryItem(int index);
    void queryNames(int index);
    void queryPrint();

    void send();
    void heard(const QByteArray &bytes);
    void sendFinished(std::optional<std::pair<PortStatus::Problem, QString>> lostWhy);

    bool linkOpen = false;
    // The ask under way and what its answer moves on to.
    int waitingAsk = -1;
    Then next;
    PJLinkState state;
    QStringList unanswered; // the commands, as shown
    QStringList refusals; // "\"%2INST ?\": the projector does not know this command"
    std::unique_ptr<Query> reading;

    // send
    QTimer sendTimer;
    QStringList replies;
    QByteArray partial;
    qint64 kept = 0;
    bool cut = false;

    // Last, so that it goes first: nothing it still holds reaches a run half gone.
    std::unique_ptr<ProjectorSession> session;
};
