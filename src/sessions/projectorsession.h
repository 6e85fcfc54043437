#pragma once

#include "pjlink.h"
#include "pjlinkclient.h"
#include "portstatus.h"
#include "projectorlink.h"
#include "projectorlist.h"
#include "projectorstate.h"
#include "vivitekmatcher.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <optional>
#include <utility>

// One projector on the event loop: its link, opened again at each poll while
// it is down (never faster), the framing of its replies, the polls, one
// command on the line at a time with the rest in a bounded queue, and what
// the answers say, read by the protocol library's rules. Nothing here
// blocks or sleeps, so hundreds run side by side on one thread.
class ProjectorSession : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultPollMs = 10000;
    static constexpr int DefaultDetailMs = 60000;
    // Commands of the user's that may wait behind the one on the line.
    static constexpr int MaxQueued = 16;
    // How often an answer under way is checked against its deadline.
    static constexpr int AdvanceStepMs = 250;

    explicit ProjectorSession(const ProjectorList::Projector &projector, QObject *parent = nullptr);
    ~ProjectorSession() override;

    const ProjectorList::Projector &projector() const { return stored; }
    const ProjectorState &state() const { return current; }
    // Polls in a row that got no answer, the link being down included.
    int missedPolls() const { return missed; }
    bool isRunning() const { return running; }

    // Takes effect from the next poll on.
    void setPollInterval(int ms);
    // Lamp hours and the like for the serial families.
    void setDetailInterval(int ms);
    // How long a serial projector may take to answer.
    void setReplyTimeout(int ms) { replyTimeoutMs = qMax(1, ms); }

    // Opens the link and polls at once, then at every interval.
    void start();
    // Closes the link; the state stays as last known.
    void stop();
    void pollNow();

    // False when the family has no such command, the queue is full or (a
    // serial line) the line is not open.
    bool power(bool on);
    bool selectInput(const QByteArray &input);
    bool mute(PJLink::MuteTarget target, bool on);

    // Whether everything the session asks when it starts has been answered
    // or given up, or it cannot be reached: what an inventory waits for.
    bool settled() const;

    // ---- One command at a time on a serial line (vantrelctl) ----
    // Instead of start(): the session opens its link once, never polls and
    // never opens it again. Its owner asks one command at a time; each ends
    // in exactly one exchangeAnswered() or exchangeHeard(), from the event
    // loop, within the timeout. Replies are framed as the polls' are.
    //
    // Nothing that began to arrive before a command went out answers it. A
    // Vivitek projector answers every command in order, so a command given
    // up still owes its answer: that answer is matched to it and dropped,
    // never taken for a later command's. The commands still owed when the
    // line is let go are kept in a small record for the line in the runtime
    // directory, and the next session on that line matches their answers to
    // them first.
    enum class Answer { Replied, NoAnswer, Lost };
    Q_ENUM(Answer)
    // What listen() keeps of a line that never stops answering, in bytes.
    static constexpr int MaxHeard = 64 * 1024;

    // Opens the link with the family's line settings: exchangeOpened() or
    // exchangeFailed() follows within timeoutMs, which also bounds each
    // command.
    void openForExchange(int timeoutMs);
    // Whether the port opened but refused the family's speed.
    bool speedRefused() const;
    // Why the line went, once it was lost: "device lost", "connection lost".
    QString lossReason() const;
    PortStatus::Problem linkProblem() const { return link.problem(); }
    QString linkProblemDetail() const { return link.problemDetail(); }
    // Sends command; false (and no signal) while another is under way.
    bool ask(const QByteArray &command);
    // Sends text and gathers every reply that comes within the timeout.
    bool listen(const QByteArray &text);
    // Keeps the record of the answers still owed and closes the line.
    void settle();
    // Where that record is kept for a port; empty when there is no runtime
    // directory.
    static QString owedRecordPath(const QString &portName, int modelIndex);
    // Why the record found at that path was ignored (not a regular file,
    // say); empty when it was read or there was none.
    QString owedRecordProblem() const { return recordProblem; }

signals:
    void exchangeOpened();
    void exchangeFailed(const QString &reason);
    void exchangeAnswered(ProjectorSession::Answer answer, const QString &reply);
    // cut: more than MaxHeard came, and the rest was not read.
    void exchangeHeard(const QStringList &replies, bool lost, bool cut);
    // ---- end of the serial exchange ----

signals:
    void stateChanged();
    // A command of the user's was answered (or not): for the log of the view.
    void commandFinished(const QString &command, bool accepted, const QString &detail);

    // ---- PJLink on demand: one run of the command line ----------------------
    // A session that never polls: openPJLink() opens the link once, greeting
    // and login within the time given; pjlinkOpened() or pjlinkDown() follows
    // (pjlinkDown() also when an open link goes). Each askPJLink() gets exactly
    // one pjlinkAnswered() under its number: its own reply, matched by the
    // command's name (a late answer to an earlier command or a notice the
    // projector sends unasked answers nothing), or no answer within that
    // time, or the link gone. Asks go out one at a time, in order; nothing is
    // held back, asked again or asked on the session's own account.
public:
    struct PJLinkAnswer
    {
        enum class Outcome { Replied, NoAnswer, Lost };
        Outcome outcome = Outcome::NoAnswer;
        PJLink::Command command;
        PJLink::Reply reply; // Replied: a refusal has reply.error
    };

    void openPJLink(int timeoutMs);
    // The ask's number, or -1 when the command cannot be framed, the link is
    // not open or the session is not one opened with openPJLink().
    int askPJLink(const PJLink::Command &command);
    // Text as it is, a carriage return added. From then on what comes back
    // is handed out by pjlinkReceived() as it is, not read as answers.
    bool sendPJLinkText(const QByteArray &text);

signals:
    void pjlinkOpened();
    void pjlinkDown(PortStatus::Problem problem, const QString &detail);
    void pjlinkAnswered(int ask, const ProjectorSession::PJLinkAnswer &answer);
    // A line longer than PJLink::MaxLine came, and was dropped.
    void pjlinkLineDropped();
    void pjlinkReceived(const QByteArray &bytes);

private:
    void answerPJLink(PJLinkAnswer::Outcome outcome, const PJLinkClient::Notice &notice);
    void flushAsked();

    bool onDemand = false;
    bool passThrough = false; // sendPJLinkText() was used
    QTimer openTimer;
    // The asks owed an answer, by number, in the order they go out.
    QList<std::pair<int, PJLink::Command>> asks;
    int lastAsk = 0;
    // ---- end of PJLink on demand ---------------------------------------------

private:
    // Ask and Listen: the serial exchange's.
    enum class Purpose { Poll, LampHours, Firmware, Power, Ask, Listen };
    struct Pending
    {
        QByteArray command;
        Purpose purpose;
    };

    bool isPJLink() const;
    qint64 now() const { return clock.elapsed(); }
    void connectLink();
    void onOpened();
    void onDown(PortStatus::Problem problem, const QString &detail);
    void onReadyRead();
    void onPollTimer();
    void poll();
    void answered();
    void missedPoll();
    void setProblem(const QString &problem);
    void changed();

    // The serial families
    void queue(const QByteArray &command, Purpose purpose);
    void sendNext();
    void handleReply(const QString &reply, bool stale);
    bool vivitekAnswers(bool asking, bool stale);
    void onReplyTimeout();

    // The serial exchange
    void sendExchange(int round);
    void exchangeReply(const QString &reply, bool stale);
    void endExchange(Answer answer, const QString &reply);
    void takeOwedRecord();
    void keepOwedRecord();

    // PJLink
    void flushPJLink();
    void handlePJLink(const QList<PJLinkClient::Notice> &notices);
    void advancePJLink();
    void scheduleAdvance();

    ProjectorList::Projector stored;
    ProjectorState current;
    ProjectorLink link;
    QElapsedTimer clock;
    QTimer pollTimer;
    QTimer replyTimer;
    QTimer advanceTimer;
    int pollMs = DefaultPollMs;
    int detailMs = DefaultDetailMs;
    int replyTimeoutMs = 2000;
    qint64 lastDetail = -1;
    qint64 startedAt = 0;
    bool running = false;
    bool connecting = false; // within connectTo(), which may open the link at once
    bool changePending = false;
    int missed = 0;
    bool pollAnswered = false; // since start
    bool detailsAsked = false;

    QList<Pending> waiting;
    std::optional<Pending> onLine;
    QString partial;
    bool lineEnded = false;
    bool partialIsStale = false; // the reply being framed began before the command
    VivitekMatcher matcher { VivitekMatcher::GiveUpMs };

    // The serial exchange
    bool exchangeOnly = false;
    bool exchangeLineOpened = false;
    bool exchangeSent = false; // the command on the line has gone out
    qint64 giveUpMs = VivitekMatcher::GiveUpMs; // the open is bounded by PJLink's openTimer too
    QStringList heard;
    int heardBytes = 0;
    bool heardCut = false;
    int exchangeRound = 0; // a delayed send of an exchange given up is dropped
    QString recordPath; // of the answers owed on this line
    QString recordProblem;

    std::unique_ptr<PJLinkClient> pjlink;
    bool extrasAsked = false;
};
