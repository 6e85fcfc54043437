#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// Looks for a projector on a set of serial ports (or network serial servers,
// tcp:// and rfc2217://): each port gets each family's status poll at that
// family's speed, one speed after the other, until one family answers as it
// does. Only the poll is sent, never a command that changes anything. All ports are probed at once,
// without blocking: the window and the command-line program run it in their event loop.
class ProjectorFinder : public QObject
{
    Q_OBJECT

public:
    struct Result
    {
        enum Outcome { Pending, Found, NoAnswer, Unavailable };
        QString port;
        Outcome outcome = Pending;
        int model = -1; // the family that answered, when Found
        QString reason; // why the port could not be probed, when Unavailable
    };

    // How long the families of one speed have to answer on a port.
    static constexpr int DefaultWaitMs = 1000;
    // How long a network serial server has to take the connection and, for
    // RFC 2217, confirm the line settings.
    static constexpr int ConnectWaitMs = 3500;

    explicit ProjectorFinder(QObject *parent = nullptr);
    ~ProjectorFinder() override;

    void setWaitMs(int ms);
    // The families to try, in order; every serial one unless set.
    void setFamilies(const QList<int> &models);

    // Starts a search of the ports, once each: names that lead to the same
    // device count once. A search still running is cancelled first.
    void start(const QStringList &portNames);
    // Stops at once and closes every port; finished() does not follow.
    void cancel();
    bool isRunning() const { return running; }

    // One per port probed, in the order given.
    const QList<Result> &results() const { return outcomes; }
    int doneCount() const;

signals:
    // results().at(index) is final.
    void portDone(int index);
    void finished();

private:
    struct Probe;

    void begin(int index);
    void ask(int index);
    void send(int index);
    void read(int index);
    void timeUp(int index);
    void end(int index, Result::Outcome outcome, int model = -1, const QString &reason = {});

    std::vector<std::unique_ptr<Probe>> probes;
    QList<Result> outcomes;
    QList<QList<int>> stages; // the families to try, grouped by line speed
    int waitMs = DefaultWaitMs;
    bool running = false;
    int reported = 0; // ports whose portDone went out
    // Counts searches, so what a cancelled one left queued does nothing.
    quint64 generation = 0;
};
