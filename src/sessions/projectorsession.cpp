#include "projectorsession.h"

#include "acer.h"
#include "family.h"
#include "framing.h"
#include "linkaddress.h"
#include "pjlinkview.h"
#include "power.h"
#include "replies.h"
#include "vivitek.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <limits>
#include <utility>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Acer's lamp hours query: what the control page's "Lamp time" sends.
QByteArray acerLampHours()
{
    return Acer::buttonCommand(Acer::Button::QueryLampTime).command;
}

// A whole number of hours, blanks around it aside; -1 for anything else.
int hoursIn(const QString &reply)
{
    bool ok = false;
    const int hours = Framing::trimmed(reply).toInt(&ok);
    return ok && hours >= 0 ? hours : -1;
}

// More than VivitekMatcher::MaxWaiting commands' worth: the rest of a record
// is not read.
constexpr qint64 OwedRecordBytes = 4096;

// The record, read only when it is a regular file: opening a FIFO put in its
// place would wait for a writer for ever, and a link would lead the record
// elsewhere. False when there is none or it is refused, and then problem
// says why, unless there simply was none.
bool readOwedRecord(const QString &path, QByteArray *text, QString *problem)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT)
            *problem = errno == ELOOP ? QStringLiteral("a symbolic link")
                                      : QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        *problem = QStringLiteral("not a regular file");
        return false;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *problem = file.errorString();
        return false;
    }
#else
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return false;
    if (info.isSymLink() || !info.isFile()) {
        *problem = QStringLiteral("not a regular file");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *problem = file.errorString();
        return false;
    }
#endif
    *text = file.read(OwedRecordBytes);
    return true;
}

// Whatever stands at path that is not a regular file is left alone.
bool isRegularOrAbsent(const QString &path)
{
    const QFileInfo info(path);
    return info.isSymLink() ? false : !info.exists() || info.isFile();
}

} // namespace

ProjectorSession::ProjectorSession(const ProjectorList::Projector &projector, QObject *parent)
    : QObject(parent)
    , stored(projector)
{
    clock.start();
    link.setReadBufferSize(Framing::PortReadBuffer);
    connect(&link, &ProjectorLink::opened, this, &ProjectorSession::onOpened);
    connect(&link, &ProjectorLink::failed, this, &ProjectorSession::onDown);
    connect(&link, &ProjectorLink::lost, this, &ProjectorSession::onDown);
    connect(&link, &QIODevice::readyRead, this, &ProjectorSession::onReadyRead);
    pollTimer.setInterval(pollMs);
    connect(&pollTimer, &QTimer::timeout, this, &ProjectorSession::onPollTimer);
    replyTimer.setSingleShot(true);
    connect(&replyTimer, &QTimer::timeout, this, &ProjectorSession::onReplyTimeout);
    advanceTimer.setSingleShot(true);
    connect(&advanceTimer, &QTimer::timeout, this, &ProjectorSession::advancePJLink);
    openTimer.setSingleShot(true);
    openTimer.setTimerType(Qt::PreciseTimer);
    connect(&openTimer, &QTimer::timeout, &link, &ProjectorLink::giveUpOpening);
    if (isPJLink())
        pjlink = std::make_unique<PJLinkClient>();
}

ProjectorSession::~ProjectorSession()
{
    stop();
}

bool ProjectorSession::isPJLink() const
{
    return stored.model == PJLink::ModelIndex;
}

void ProjectorSession::setPollInterval(int ms)
{
    pollMs = qMax(1, ms);
    pollTimer.setInterval(pollMs);
}

void ProjectorSession::setDetailInterval(int ms)
{
    detailMs = qMax(1, ms);
}

void ProjectorSession::start()
{
    if (running)
        return;
    running = true;
    startedAt = now();
    pollTimer.start();
    onPollTimer();
}

void ProjectorSession::stop()
{
    if (!running)
        return;
    running = false;
    pollTimer.stop();
    replyTimer.stop();
    advanceTimer.stop();
    openTimer.stop();
    asks.clear();
    waiting.clear();
    onLine.reset();
    matcher.clear();
    if (pjlink)
        pjlink->disconnected();
    link.close();
}

void ProjectorSession::pollNow()
{
    if (running)
        onPollTimer();
}

void ProjectorSession::connectLink()
{
    link.setPassword(isPJLink() ? stored.password : QString());
    connecting = true;
    link.connectTo(stored.port, stored.model);
    connecting = false;
}

void ProjectorSession::onOpened()
{
    partial.clear();
    lineEnded = false;
    if (exchangeOnly) {
        openTimer.stop();
        exchangeLineOpened = true;
        if (stored.model == Vivitek::ModelIndex) {
            recordPath = owedRecordPath(stored.port, stored.model);
            takeOwedRecord();
        }
        // What the line already holds is taken in before the owner can ask.
        QTimer::singleShot(0, this, &ProjectorSession::exchangeOpened);
        return;
    }
    // Open, but only an answer shows that the projector is there.
    if (!current.problem.isEmpty()) {
        current.problem.clear();
        changed();
    }
    // The client asks the power and then everything it reads back to back.
    if (isPJLink())
        pjlink->opened(now());
    if (onDemand) {
        openTimer.stop();
        emit pjlinkOpened();
        return;
    }
    // Opened later than the poll that opened it: that poll is due now.
    if (!connecting)
        poll();
}

void ProjectorSession::onDown(PortStatus::Problem problem, const QString &detail)
{
    if (exchangeOnly) {
        openTimer.stop();
        if (!exchangeLineOpened) {
            const QString reason = PortStatus::reason(problem, detail);
            QTimer::singleShot(0, this, [this, reason] { emit exchangeFailed(reason); });
        } else if (onLine) {
            endExchange(Answer::Lost, QString());
        }
        // The matcher keeps what the projector still owes, for the record.
        return;
    }
    replyTimer.stop();
    // Nothing is under way on a line that is gone.
    advanceTimer.stop();
    openTimer.stop();
    // Asked on demand: what is owed goes with the link, never out again.
    const auto lost = std::exchange(asks, {});
    for (const auto &[ask, command] : lost)
        emit pjlinkAnswered(ask, { PJLinkAnswer::Outcome::Lost, command, PJLink::Reply() });
    // Nothing waits for a line that may come back much later: a power
    // command then would be a surprise.
    for (const Pending &pending : waiting) {
        if (pending.purpose == Purpose::Power)
            emit commandFinished(QString::fromLatin1(pending.command), false,
                                 PortStatus::reason(problem, detail));
    }
    waiting.clear();
    onLine.reset();
    matcher.clear();
    if (pjlink)
        handlePJLink(pjlink->disconnected());
    // Refused, then gone: unreachable, as any projector that is gone.
    current.passwordRejected = problem == PortStatus::Problem::PasswordRejected
        || problem == PortStatus::Problem::PasswordMissing;
    setProblem(PortStatus::reason(problem, detail));
    if (onDemand)
        emit pjlinkDown(problem, detail);
}

void ProjectorSession::setProblem(const QString &problem)
{
    const bool was = current.reachable;
    current.reachable = false;
    if (current.problem == problem && !was)
        return;
    current.problem = problem;
    changed();
}

void ProjectorSession::changed()
{
    emit stateChanged();
}

void ProjectorSession::onPollTimer()
{
    if (!running)
        return;
    if (!link.isOpen()) {
        if (!link.isOpening()) {
            // Every poll while it is down is one without an answer.
            if (pollAnswered || missed > 0 || !current.problem.isEmpty())
                missedPoll();
            connectLink();
        }
        // A serial port opens at once and is polled now; a network link
        // when it has opened.
        if (!link.isOpen())
            return;
    }
    poll();
}

void ProjectorSession::poll()
{
    const bool first = lastDetail < 0;
    const bool detailsDue = first || now() - lastDetail >= detailMs;
    if (detailsDue)
        lastDetail = now();
    if (isPJLink()) {
        pjlink->poll(now());
        // Health and lamps at their own pace, beside the client's refresh;
        // not again while the last ones still wait.
        if (detailsDue && !first && pjlink->queued() < 4) {
            pjlink->send(PJLink::query(1, "ERST"));
            pjlink->send(PJLink::query(1, "LAMP"));
        }
        flushPJLink();
        return;
    }
    // A poll still unanswered counts once, when it is given up.
    bool pollWaiting = onLine && onLine->purpose == Purpose::Poll;
    for (const Pending &pending : waiting)
        pollWaiting = pollWaiting || pending.purpose == Purpose::Poll;
    if (!pollWaiting)
        queue(Power::pollCommand(stored.model), Purpose::Poll);
    if (detailsDue) {
        if (stored.model == Acer::ModelIndex)
            queue(acerLampHours(), Purpose::LampHours);
        if (stored.model == Vivitek::ModelIndex) {
            queue(Vivitek::LampHours, Purpose::LampHours);
            if (current.softwareVersion.isEmpty())
                queue(Vivitek::Firmware, Purpose::Firmware);
        }
    }
    detailsAsked = true;
    sendNext();
}

void ProjectorSession::answered()
{
    const bool regained = !current.reachable || !current.problem.isEmpty();
    current.lastAnswer = QDateTime::currentDateTimeUtc();
    current.reachable = true;
    current.problem.clear();
    missed = 0;
    pollAnswered = true;
    if (regained)
        changed();
}

void ProjectorSession::missedPoll()
{
    ++missed;
    if (current.reachable) {
        current.reachable = false;
        changed();
    } else if (missed == 1 || missed == 3) {
        // The notices count missed polls.
        changed();
    }
}

bool ProjectorSession::power(bool on)
{
    if (!running)
        return false;
    if (isPJLink()) {
        if (pjlink->queued() >= MaxQueued || !pjlink->send(PJLink::power(on)))
            return false;
        flushPJLink();
        return true;
    }
    const QByteArray command
        = on ? Power::onCommand(stored.model) : Power::offCommand(stored.model);
    if (command.isEmpty() || waiting.size() >= MaxQueued || !link.isOpen())
        return false;
    queue(command, Purpose::Power);
    queue(Power::pollCommand(stored.model), Purpose::Poll);
    sendNext();
    return true;
}

bool ProjectorSession::selectInput(const QByteArray &input)
{
    if (!running || !isPJLink() || pjlink->queued() >= MaxQueued
        || !pjlink->send(PJLink::selectInput(input)))
        return false;
    flushPJLink();
    return true;
}

bool ProjectorSession::mute(PJLink::MuteTarget target, bool on)
{
    if (!running || !isPJLink() || pjlink->queued() >= MaxQueued
        || !pjlink->send(PJLink::mute(target, on)))
        return false;
    flushPJLink();
    return true;
}

bool ProjectorSession::settled() const
{
    if (!running || current.passwordRejected)
        return true;
    // It cannot be reached, or it has not answered in time (a network link
    // may take longer than that to give up opening).
    if (!current.problem.isEmpty() || (missed > 0 && !pollAnswered)
        || (!pollAnswered && now() - startedAt >= replyTimeoutMs))
        return true;
    if (!pollAnswered)
        return false;
    if (!isPJLink())
        return detailsAsked && waiting.isEmpty() && !onLine;
    return pjlink->everOpened() && !pjlink->waiting() && pjlink->queued() == 0
        && pjlink->refreshing() == 0 && current.pjClass && (*current.pjClass < 2 || extrasAsked);
}

// The serial families

void ProjectorSession::queue(const QByteArray &command, Purpose purpose)
{
    if (waiting.size() >= MaxQueued)
        return;
    waiting.append({ command, purpose });
}

void ProjectorSession::sendNext()
{
    if (onLine || waiting.isEmpty() || !link.isOpen())
        return;
    onLine = waiting.takeFirst();
    // A reply under way began before the command: it cannot answer it.
    partialIsStale = !partial.isEmpty();
    if (stored.model == Vivitek::ModelIndex)
        matcher.sent(QString::fromLatin1(onLine->command), now());
    link.write(onLine->command + '\r');
    replyTimer.start(replyTimeoutMs);
}

void ProjectorSession::onReadyRead()
{
    if (onDemand) {
        // One run reads everything, as it comes: the read buffer bounds it.
        const QByteArray bytes = link.readAll();
        if (bytes.isEmpty())
            return;
        if (passThrough) {
            answered();
            emit pjlinkReceived(bytes);
            return;
        }
        if (bytes.contains('\r'))
            answered();
        handlePJLink(pjlink->receive(bytes, now()));
        flushPJLink();
        return;
    }
    if (exchangeOnly) {
        // Everything, in order: an exchange keeps only what a command needs.
        while (link.isOpen() && link.bytesAvailable() > 0) {
            const QByteArray bytes = link.read(Framing::MaxUnreadInput);
            for (const char byte : bytes) {
                if (!link.isOpen())
                    break;
                if (Framing::feedByte(partial, lineEnded, byte, stored.model))
                    exchangeReply(std::exchange(partial, QString()),
                                  std::exchange(partialIsStale, false));
            }
        }
        return;
    }
    const qint64 available = link.bytesAvailable();
    if (available > Framing::MaxUnreadInput) {
        // A flood: what it leaves is still read, the rest dropped, with
        // the reply it cut.
        link.dropOldest(available - Framing::MaxUnreadInput);
        partial.clear();
        lineEnded = false;
        partialIsStale = false;
        if (pjlink)
            pjlink->inputDropped();
    }
    const QByteArray bytes = link.read(Framing::MaxUnreadInput);
    if (isPJLink()) {
        if (bytes.contains('\r'))
            answered();
        // The client hands out its next query itself once this answer is
        // in; a poll here would put the power before it again each time.
        handlePJLink(pjlink->receive(bytes, now()));
        flushPJLink();
        return;
    }
    for (const char byte : bytes) {
        if (Framing::feedByte(partial, lineEnded, byte, stored.model))
            handleReply(std::exchange(partial, QString()), std::exchange(partialIsStale, false));
    }
}

// Whether a Vivitek reply answers the command on the line (asking). Each
// reply belongs to the oldest command still owed one, so a late one answers
// a command given up already; one that began before the command can only be
// an earlier one's. The polls and the serial exchange read them so alike.
bool ProjectorSession::vivitekAnswers(bool asking, bool stale)
{
    const int givenUp = matcher.waiting(now()) - (asking ? 1 : 0);
    if (stale && givenUp <= 0)
        return false;
    matcher.answer(now());
    return asking && !stale && givenUp == 0;
}

void ProjectorSession::handleReply(const QString &reply, bool stale)
{
    const int model = stored.model;
    // Any reply is a sign of life; an empty line answers nothing.
    answered();
    if (reply.isEmpty())
        return;
    if (model == Vivitek::ModelIndex) {
        if (!vivitekAnswers(onLine.has_value(), stale))
            return;
    } else {
        if (!onLine || stale)
            return;
        bool fits = Replies::refused(model, reply);
        switch (onLine->purpose) {
        case Purpose::Poll:
            fits = fits || Power::answersPoll(model, reply);
            break;
        case Purpose::LampHours:
            fits = fits || hoursIn(reply) >= 0;
            break;
        case Purpose::Power:
            fits = fits
                || (model == Acer::ModelIndex ? reply == QLatin1String("*000")
                                              : reply.startsWith(QLatin1Char('(')));
            break;
        case Purpose::Firmware:
        case Purpose::Ask: // the serial exchange's: never in this queue
        case Purpose::Listen:
            break;
        }
        // A late answer to an earlier command: this one's is still to come.
        if (!fits)
            return;
    }

    const Pending done = *onLine;
    onLine.reset();
    replyTimer.stop();
    const bool refused = Replies::refused(model, reply);
    bool news = false;
    switch (done.purpose) {
    case Purpose::Poll: {
        int power = current.power;
        if (model == Acer::ModelIndex) {
            const Acer::Reply::Action action = Acer::interpretReply(reply).action;
            if (action == Acer::Reply::LampOn || action == Acer::Reply::LampOff)
                power = action == Acer::Reply::LampOn ? 1 : 0;
        } else if (model == Vivitek::ModelIndex && !refused) {
            power = Vivitek::lampOn(reply) ? 1 : 0;
        }
        news = power != current.power;
        current.power = power;
        break;
    }
    case Purpose::LampHours: {
        const int hours
            = model == Vivitek::ModelIndex ? Vivitek::parseReply(reply).value : hoursIn(reply);
        if (refused || hours < 0)
            break;
        const QList<PJLink::Lamp> lamps { { hours, current.power == 1 } };
        news
            = !current.lamps || current.lamps->size() != 1 || current.lamps->first().hours != hours;
        current.lamps = lamps;
        break;
    }
    case Purpose::Firmware:
        if (!refused) {
            news = current.softwareVersion != reply.mid(1);
            current.softwareVersion = reply.mid(1);
        }
        break;
    case Purpose::Power:
        emit commandFinished(QString::fromLatin1(done.command), !refused,
                             refused ? tr("refused") : QString());
        break;
    case Purpose::Ask:
    case Purpose::Listen:
        break;
    }
    if (news)
        changed();
    sendNext();
}

void ProjectorSession::onReplyTimeout()
{
    if (!onLine)
        return;
    if (exchangeOnly)
        return endExchange(Answer::NoAnswer, QString());
    const Pending given = *onLine;
    onLine.reset();
    if (given.purpose == Purpose::Power)
        emit commandFinished(QString::fromLatin1(given.command), false, tr("no answer"));
    if (given.purpose == Purpose::Poll)
        missedPoll();
    sendNext();
}

// The serial exchange

void ProjectorSession::openForExchange(int timeoutMs)
{
    exchangeOnly = true;
    exchangeLineOpened = false;
    // "Within the timeout" is a promise to the user: not 5 % early.
    replyTimer.setTimerType(Qt::PreciseTimer);
    openTimer.setTimerType(Qt::PreciseTimer);
    replyTimeoutMs = qMax(1, timeoutMs);
    // A command is given up when the window would give it up, but never
    // before the user's own timeout.
    giveUpMs = qMax<qint64>(VivitekMatcher::GiveUpMs, replyTimeoutMs);
    matcher = VivitekMatcher(giveUpMs);
    openTimer.start(replyTimeoutMs);
    link.connectTo(stored.port, stored.model);
}

bool ProjectorSession::speedRefused() const
{
    return link.speed() == LinkTransport::Speed::Refused
        || link.speed() == LinkTransport::Speed::RefusedQuietly;
}

QString ProjectorSession::lossReason() const
{
    const PortStatus::Problem problem = link.problem();
    return PortStatus::reason(problem == PortStatus::Problem::None ? PortStatus::Problem::Lost
                                                                   : problem,
                              link.problemDetail());
}

bool ProjectorSession::ask(const QByteArray &command)
{
    if (!exchangeOnly || onLine)
        return false;
    onLine = Pending { command, Purpose::Ask };
    exchangeSent = false;
    replyTimer.start(replyTimeoutMs);
    // Two turns of the event loop: the first polls the line, so whatever it
    // held before this call has been taken in, as unasked, by the second.
    const int round = ++exchangeRound;
    QTimer::singleShot(0, this, [this, round] {
        QTimer::singleShot(0, this, [this, round] { sendExchange(round); });
    });
    return true;
}

bool ProjectorSession::listen(const QByteArray &text)
{
    if (!ask(text))
        return false;
    onLine->purpose = Purpose::Listen;
    heard.clear();
    heardBytes = 0;
    heardCut = false;
    return true;
}

void ProjectorSession::sendExchange(int round)
{
    if (round != exchangeRound || !onLine)
        return;
    // A reply under way began before the command: it cannot answer it.
    partialIsStale = !partial.isEmpty();
    // A line lost between two commands takes no more.
    if (!link.isOpen() || link.write(onLine->command + '\r') < 0)
        return endExchange(Answer::Lost, QString());
    exchangeSent = true;
    if (onLine->purpose == Purpose::Ask && stored.model == Vivitek::ModelIndex)
        matcher.sent(QString::fromLatin1(onLine->command), now());
}

void ProjectorSession::exchangeReply(const QString &reply, bool stale)
{
    // Until the command has gone out, whatever comes answers none of it.
    const bool listening = onLine && exchangeSent && onLine->purpose == Purpose::Listen;
    if (listening) {
        if (stale)
            return;
        heardBytes += reply.size() + 1; // and its line end
        if (heardBytes > MaxHeard) {
            heardCut = true;
            return endExchange(Answer::Replied, QString());
        }
        heard.append(reply);
        return;
    }
    if (reply.isEmpty())
        return;
    const bool asking = onLine && exchangeSent && onLine->purpose == Purpose::Ask;
    const bool answers
        = stored.model == Vivitek::ModelIndex ? vivitekAnswers(asking, stale) : asking && !stale;
    if (answers)
        endExchange(Answer::Replied, reply);
}

void ProjectorSession::endExchange(Answer answer, const QString &reply)
{
    if (!onLine)
        return;
    const Purpose purpose = onLine->purpose;
    onLine.reset();
    replyTimer.stop();
    ++exchangeRound;
    if (purpose == Purpose::Listen)
        emit exchangeHeard(std::exchange(heard, QStringList()), answer == Answer::Lost,
                           std::exchange(heardCut, false));
    else
        emit exchangeAnswered(answer, reply);
}

void ProjectorSession::settle()
{
    if (!exchangeOnly)
        return;
    openTimer.stop();
    replyTimer.stop();
    onLine.reset();
    ++exchangeRound;
    if (exchangeLineOpened && stored.model == Vivitek::ModelIndex)
        keepOwedRecord();
    link.close();
}

QString ProjectorSession::owedRecordPath(const QString &portName, int modelIndex)
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
void ProjectorSession::takeOwedRecord()
{
    if (recordPath.isEmpty())
        return;
    QByteArray text;
    if (!readOwedRecord(recordPath, &text, &recordProblem)) {
        if (!recordProblem.isEmpty())
            recordProblem = QStringLiteral("%1: %2; the answers owed from earlier runs are not "
                                           "kept")
                                .arg(recordPath, recordProblem);
        return;
    }
    QFile::remove(recordPath); // this session answers for them from here on
    const qint64 wallNow = QDateTime::currentMSecsSinceEpoch();
    for (const QByteArray &line : text.split('\n')) {
        const int blank = line.indexOf(' ');
        bool ok = false;
        const qint64 expires = line.left(blank).toLongLong(&ok);
        const QByteArray command = line.mid(blank + 1);
        // A clock set back must not keep a command owed for long: no run
        // waits longer than the longest --timeout, an hour.
        if (!ok || blank < 1 || command.isEmpty() || expires <= wallNow
            || expires - wallNow > qint64(3600) * 1000)
            continue;
        // Owed at most as long as this session gives a command, so the
        // record's order stays the matcher's.
        const qint64 left = qMin<qint64>(expires - wallNow, giveUpMs);
        matcher.sent(QString::fromLatin1(command), now() + left - giveUpMs);
    }
}

void ProjectorSession::keepOwedRecord()
{
    if (recordPath.isEmpty() || !isRegularOrAbsent(recordPath))
        return;
    const qint64 at = now();
    const qint64 wallNow = QDateTime::currentMSecsSinceEpoch();
    QByteArray text;
    for (const auto &owed : matcher.waitingCommands(at))
        text += QByteArray::number(wallNow + owed.second + giveUpMs - at) + ' '
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

// PJLink

void ProjectorSession::flushPJLink()
{
    if (onDemand) {
        flushAsked();
        return;
    }
    if (link.isOpen()) {
        const QByteArray bytes = pjlink->takeOutput(now());
        if (!bytes.isEmpty())
            link.write(bytes);
    }
    // Only an answer under way has a deadline to watch; a held command is
    // looked at with the next poll.
    if (pjlink->waiting()) {
        if (!advanceTimer.isActive())
            advanceTimer.start(AdvanceStepMs);
    } else {
        advanceTimer.stop();
    }
}

void ProjectorSession::advancePJLink()
{
    if (!pjlink)
        return;
    handlePJLink(pjlink->advance(now()));
    flushPJLink();
}

void ProjectorSession::handlePJLink(const QList<PJLinkClient::Notice> &notices)
{
    using Kind = PJLinkClient::Notice::Kind;
    bool news = false;
    for (const PJLinkClient::Notice &notice : notices) {
        const PJLink::Command &command = notice.command;
        const bool users = command.origin == PJLink::Command::Origin::User && !command.isQuery();
        switch (notice.kind) {
        case Kind::StateChanged:
            news = true;
            break;
        case Kind::Done:
            if (users) {
                emit commandFinished(PJLinkView::commandCaption(command, pjlink->state()), true,
                                     QString());
                // What the command changed is read now, not at the next poll.
                pjlink->poll(now());
            }
            break;
        case Kind::Refused:
        case Kind::NotSent:
            if (users)
                emit commandFinished(PJLinkView::commandCaption(command, pjlink->state()), false,
                                     notice.text);
            break;
        case Kind::Replied:
            answerPJLink(PJLinkAnswer::Outcome::Replied, notice);
            break;
        case Kind::NoAnswer:
            if (onDemand && command.origin == PJLink::Command::Origin::User)
                answerPJLink(PJLinkAnswer::Outcome::NoAnswer, notice);
            if (users)
                emit commandFinished(PJLinkView::commandCaption(command, pjlink->state()), false,
                                     notice.text);
            if (command.name == "POWR" && command.origin == PJLink::Command::Origin::Poll)
                missedPoll();
            break;
        case Kind::LineDropped:
            if (onDemand)
                emit pjlinkLineDropped();
            break;
        case Kind::Held:
        case Kind::Unreadable:
        case Kind::Stray:
            break;
        }
    }
    if (!news)
        return;
    current.takePJLink(pjlink->state());
    // What the refresh does not read: for the inventory.
    if (!onDemand && !extrasAsked && current.pjClass && *current.pjClass >= 2) {
        extrasAsked = true;
        for (const char *name : { "SNUM", "SVER", "RLMP", "RFIL" })
            pjlink->send(PJLink::query(2, name));
    }
    changed();
}

// PJLink on demand

void ProjectorSession::openPJLink(int timeoutMs)
{
    if (!isPJLink() || running)
        return;
    onDemand = true;
    running = true;
    startedAt = now();
    replyTimeoutMs = qMax(1, timeoutMs);
    pjlink = std::make_unique<PJLinkClient>(replyTimeoutMs);
    pjlink->askOnly();
    // A run waits on exactly these deadlines, and ends with them.
    advanceTimer.setTimerType(Qt::PreciseTimer);
    openTimer.start(replyTimeoutMs);
    connectLink();
}

int ProjectorSession::askPJLink(const PJLink::Command &command)
{
    if (!onDemand || passThrough || !link.isOpen() || !pjlink->send(command))
        return -1;
    const int ask = ++lastAsk;
    asks.append({ ask, command });
    flushPJLink();
    return ask;
}

bool ProjectorSession::sendPJLinkText(const QByteArray &text)
{
    if (!onDemand || !link.isOpen())
        return false;
    passThrough = true;
    link.write(text + '\r');
    return true;
}

void ProjectorSession::answerPJLink(PJLinkAnswer::Outcome outcome,
                                    const PJLinkClient::Notice &notice)
{
    // The client answers the asks in the order they went out.
    if (asks.isEmpty())
        return;
    const int ask = asks.takeFirst().first;
    emit pjlinkAnswered(ask, { outcome, notice.command, notice.reply });
}

void ProjectorSession::flushAsked()
{
    if (link.isOpen()) {
        const QByteArray bytes = pjlink->takeOutput(now());
        if (!bytes.isEmpty())
            link.write(bytes);
    }
    // Woken exactly when the answer under way is due; an early wake-up of
    // the timer only sets it again.
    const qint64 due = pjlink->nextDueMs();
    if (due < 0)
        advanceTimer.stop();
    else
        advanceTimer.start(
            int(std::clamp<qint64>(due - now(), 0, std::numeric_limits<int>::max())));
}
