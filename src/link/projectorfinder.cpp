#include "projectorfinder.h"

#include "family.h"
#include "framing.h"
#include "linkaddress.h"
#include "portstatus.h"
#include "power.h"
#include "projectorlink.h"

#include <QFileInfo>
#include <QSerialPort>
#include <QSet>
#include <QTimer>
#include <QVector>

#include <algorithm>

#include <utility>

struct ProjectorFinder::Probe
{
    struct Frame
    {
        QString partial;
        bool lineEnded = false;
    };

    ProjectorLink link;
    // Each stage's speed is set by connecting anew through an RFC 2217
    // server; a serial port is set directly, raw TCP has none to set.
    LinkAddress::Kind kind = LinkAddress::Kind::Serial;
    QTimer deadline; // for the answers, or for connecting while the link opens
    int step = 0; // index into stages
    // One per family of the stage: each frames the same bytes by its rules.
    QVector<Frame> frames;
    bool done = false;
};

ProjectorFinder::ProjectorFinder(QObject *parent)
    : QObject(parent)
{
    QList<int> serial;
    for (int model = 0; model < Family::Count; ++model)
        serial.append(model);
    setFamilies(serial);
}

ProjectorFinder::~ProjectorFinder()
{
    cancel();
}

void ProjectorFinder::setWaitMs(int ms)
{
    waitMs = qMax(1, ms);
}

// Families of one speed are asked together: a projector answers its own
// poll and refuses or ignores the others', so one wait serves them all.
void ProjectorFinder::setFamilies(const QList<int> &models)
{
    stages.clear();
    for (int model : models) {
        // A family with a network protocol of its own has no serial poll.
        if (!Family::isKnown(model) || Family::isNetwork(model))
            continue;
        auto stage = std::find_if(stages.begin(), stages.end(), [model](const QList<int> &s) {
            return Family::baudRate(s.first()) == Family::baudRate(model);
        });
        if (stage == stages.end())
            stages.append(QList<int> { model });
        else if (!stage->contains(model))
            stage->append(model);
    }
}

int ProjectorFinder::doneCount() const
{
    int count = 0;
    for (const Result &result : outcomes)
        count += result.outcome != Result::Pending;
    return count;
}

void ProjectorFinder::start(const QStringList &portNames)
{
    cancel();
    outcomes.clear();
    reported = 0;
    // A port given by a link and by its own name would otherwise be opened
    // twice and look held by another program: by this search.
    QSet<QString> devices;
    for (const QString &name : portNames) {
        if (name.isEmpty())
            continue;
        const QString location = PortStatus::systemLocation(name);
        const QString canonical = QFileInfo(location).canonicalFilePath();
        const QString device = canonical.isEmpty() ? location : canonical;
        if (devices.contains(device))
            continue;
        devices.insert(device);
        Result result;
        result.port = name;
        outcomes.append(result);
        probes.push_back(std::make_unique<Probe>());
    }
    running = true;
    // Results come from the event loop, never from inside start(), so a
    // caller may connect to the signals after starting.
    const quint64 search = generation;
    QMetaObject::invokeMethod(
        this,
        [this, search] {
            if (search != generation)
                return;
            if (outcomes.isEmpty()) {
                running = false;
                emit finished();
                return;
            }
            for (int index = 0; index < outcomes.size() && search == generation; ++index)
                begin(index);
        },
        Qt::QueuedConnection);
}

void ProjectorFinder::cancel()
{
    ++generation;
    running = false;
    for (const auto &probe : probes) {
        probe->deadline.stop();
        probe->link.close();
    }
    probes.clear();
}

void ProjectorFinder::begin(int index)
{
    if (stages.isEmpty()) {
        end(index, Result::NoAnswer);
        return;
    }
    Probe &probe = *probes[std::size_t(index)];
    const QString &name = outcomes.at(index).port;
    probe.kind = LinkAddress::parse(name).kind();
    probe.link.setReadBufferSize(Framing::PortReadBuffer);
    // The link gives up no sooner than the search does.
    probe.link.setOpenTimeout(qMax(waitMs, ConnectWaitMs));
    probe.deadline.setSingleShot(true);
    connect(&probe.link, &ProjectorLink::opened, this, [this, index] { send(index); });
    const auto unavailable = [this, index](PortStatus::Problem problem, const QString &detail) {
        if (!probes[std::size_t(index)]->done)
            end(index, Result::Unavailable, -1, PortStatus::reason(problem, detail));
    };
    // The link reports a broken line once, closed: nothing here can spin.
    connect(&probe.link, &ProjectorLink::failed, this, unavailable);
    connect(&probe.link, &ProjectorLink::lost, this, unavailable);
    connect(&probe.link, &QIODevice::readyRead, this, [this, index] { read(index); });
    connect(&probe.deadline, &QTimer::timeout, this, [this, index] { timeUp(index); });
    ask(index);
}

void ProjectorFinder::ask(int index)
{
    Probe &probe = *probes[std::size_t(index)];
    const int model = stages.at(probe.step).first();
    if (probe.step == 0 || probe.kind == LinkAddress::Kind::Rfc2217) {
        // A server may take its time; one that never answers is given up.
        probe.deadline.start(qMax(waitMs, ConnectWaitMs));
        probe.link.connectTo(outcomes.at(index).port, model);
        return;
    }
    // A refused speed is tried anyway, as the window does: the answer tells.
    if (QSerialPort *serial = probe.link.serialDevice())
        serial->setBaudRate(Family::baudRate(model));
    send(index);
}

void ProjectorFinder::send(int index)
{
    Probe &probe = *probes[std::size_t(index)];
    if (probe.done)
        return;
    const QList<int> &stage = stages.at(probe.step);
    // What came before belongs to the families asked before.
    if (QSerialPort *serial = probe.link.serialDevice())
        serial->clear(QSerialPort::Input);
    probe.link.readAll();
    probe.frames.fill(Probe::Frame(), stage.size());
    QByteArray polls;
    for (int model : stage)
        polls += Power::pollCommand(model) + '\r';
    if (probe.link.write(polls) < 0) {
        end(index, Result::Unavailable, -1, PortStatus::reason(PortStatus::Problem::Lost));
        return;
    }
    probe.deadline.start(waitMs);
}

void ProjectorFinder::read(int index)
{
    Probe &probe = *probes[std::size_t(index)];
    if (probe.done)
        return;
    const QByteArray bytes = probe.link.readAll();
    const QList<int> &stage = stages.at(probe.step);
    for (const char byte : bytes) {
        for (int k = 0; k < stage.size(); ++k) {
            Probe::Frame &frame = probe.frames[k];
            const int model = stage.at(k);
            if (!Framing::feedByte(frame.partial, frame.lineEnded, byte, model))
                continue;
            // Late answers to the stage before, noise, refusals and answers
            // to another family's poll are passed over: the poll's own
            // answer may still follow them.
            if (Power::answersPoll(model, std::exchange(frame.partial, QString()))) {
                end(index, Result::Found, model);
                return;
            }
        }
    }
}

void ProjectorFinder::timeUp(int index)
{
    Probe &probe = *probes[std::size_t(index)];
    if (probe.done)
        return;
    if (probe.link.isOpening()) {
        probe.link.close();
        end(index, Result::Unavailable, -1, PortStatus::reason(PortStatus::Problem::TimedOut));
    } else if (++probe.step < stages.size()) {
        ask(index);
    } else {
        end(index, Result::NoAnswer);
    }
}

void ProjectorFinder::end(int index, Result::Outcome outcome, int model, const QString &reason)
{
    Probe &probe = *probes[std::size_t(index)];
    probe.done = true;
    probe.deadline.stop();
    Result &result = outcomes[index];
    result.outcome = outcome;
    result.model = model;
    result.reason = reason;
    // This may run inside the link's own signals; it is closed once they
    // have returned.
    const quint64 search = generation;
    QMetaObject::invokeMethod(
        this,
        [this, search, index] {
            if (search != generation)
                return;
            probes[std::size_t(index)]->link.close();
            ++reported;
            emit portDone(index);
            if (search != generation || reported < outcomes.size())
                return;
            running = false;
            emit finished();
        },
        Qt::QueuedConnection);
}
