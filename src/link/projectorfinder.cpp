#include "projectorfinder.h"

#include "family.h"
#include "framing.h"
#include "linkaddress.h"
#include "portloss.h"
#include "portstatus.h"
#include "power.h"
#include "serialline.h"

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

    QSerialPort port;
    QTimer deadline;
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
            stages.append({ model });
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
        probe->port.close();
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
    if (LinkAddress::parse(name).isNetwork()) {
        end(index, Result::Unavailable, -1,
            tr("a network address; only serial ports are searched"));
        return;
    }
    const SerialLine::Opened opened = SerialLine::open(probe.port, name, stages.first().first());
    if (!opened.isOpen()) {
        end(index, Result::Unavailable, -1,
            PortStatus::reason(opened.problem(name), opened.errorText));
        return;
    }
    probe.port.setReadBufferSize(Framing::PortReadBuffer);
    probe.deadline.setSingleShot(true);
    connect(&probe.port, &QSerialPort::readyRead, this, [this, index] { read(index); });
    connect(&probe.port, &QSerialPort::errorOccurred, this,
            [this, index](QSerialPort::SerialPortError error) {
                if (PortLoss::meansDeviceGone(error) || error == QSerialPort::WriteError)
                    lose(index);
            });
    connect(&probe.deadline, &QTimer::timeout, this, [this, index] { timeUp(index); });
    ask(index);
}

void ProjectorFinder::ask(int index)
{
    Probe &probe = *probes[std::size_t(index)];
    const QList<int> &stage = stages.at(probe.step);
    // The port opened at the first stage's speed. A refused speed is tried
    // anyway, as the window does: the answer tells.
    if (probe.step > 0)
        probe.port.setBaudRate(Family::baudRate(stage.first()));
    // What came before belongs to the families asked before.
    probe.port.clear(QSerialPort::Input);
    probe.frames.fill(Probe::Frame(), stage.size());
    QByteArray polls;
    for (int model : stage)
        polls += Power::pollCommand(model) + '\r';
    if (probe.port.write(polls) < 0) {
        lose(index);
        return;
    }
    probe.deadline.start(waitMs);
}

void ProjectorFinder::read(int index)
{
    Probe &probe = *probes[std::size_t(index)];
    if (probe.done)
        return;
    const QByteArray bytes = probe.port.readAll();
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
    if (++probe.step < stages.size())
        ask(index);
    else
        end(index, Result::NoAnswer);
}

void ProjectorFinder::lose(int index)
{
    if (!probes[std::size_t(index)]->done)
        end(index, Result::Unavailable, -1, PortStatus::reason(PortStatus::Problem::Lost));
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
    // This may run inside the port's own signals; closing it there would
    // pull its notifier away from under it, and a gone device keeps
    // signalling until it is closed, which the next turn of the loop does.
    const quint64 search = generation;
    QMetaObject::invokeMethod(
        this,
        [this, search, index] {
            if (search != generation)
                return;
            probes[std::size_t(index)]->port.close();
            ++reported;
            emit portDone(index);
            if (search != generation || reported < outcomes.size())
                return;
            running = false;
            emit finished();
        },
        Qt::QueuedConnection);
}
