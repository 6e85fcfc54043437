#pragma once

#include "invocation.h"
#include "metrics.h"
#include "projectorlist.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

class BoundedServer;
class QSocketNotifier;
class StoreWatcher;

// vantrelctl exporter: the metrics of stored projectors for Prometheus, each
// asked there and then when it is scraped, as the blackbox exporter asks
// its targets. HTTP is served by worker threads; every probe is decided and
// run on this object's (the main) thread's event loop, as a fleet run's
// projectors are, so projectors are asked side by side and a projector
// never twice at once.
class Exporter : public QObject
{
    Q_OBJECT

public:
    explicit Exporter(const Invocation &invocation);
    ~Exporter() override;

    int run(); // the exit code

    struct Reply
    {
        int status = 200;
        std::string body;
    };
    using PendingReply = std::shared_ptr<std::promise<Reply>>;

private:
    struct Result
    {
        Metrics::Projector projector;
        double seconds = 0;
        bool loginRejected = false;
        QStringList log; // what the probe did, for debug=true
    };
    struct Probe;
    // A scrape's projectors, as their probes answer.
    struct Gathered
    {
        PendingReply reply;
        QList<Invocation::Target> targets;
        QHash<QString, Result> results; // by name
        QElapsedTimer clock;
        bool debug = false;
        bool answered = false;
    };
    // A selection as the store held it when it was last read.
    struct Selection
    {
        QString error; // when it cannot be probed
        QList<Invocation::Target> targets;
    };

    // On the main thread. budgetMs > 0: answer by then, whoever answered.
    void scrape(const QString &target, const QString &group, int budgetMs, bool debug,
                const PendingReply &reply);
    void answer(const std::shared_ptr<Gathered> &gathered);
    void readStore();
    bool isStored(const QString &target, const QString &group) const; // any thread
    static Reply notStored(const QString &target, const QString &group);
    const Selection &selection(const QString &target, const QString &group);
    void closeWhenAnswered();
    void join(const Invocation::Target &target, const std::function<void(const Result &)> &done);
    void begin(Probe &probe);
    void finish(const QString &name);
    void stop();

    // On the HTTP threads.
    Reply probeEndpoint(const std::string &target, const std::string &group, int budgetMs,
                        bool debug);
    std::string ownMetrics() const;

    const Invocation &invocation;
    std::unique_ptr<BoundedServer> server;
    QSocketNotifier *signalNotifier = nullptr;
    StoreWatcher *storeWatcher = nullptr;
    // The store, read when it changes rather than for every request.
    ProjectorList stored;
    // Read by the HTTP threads too, so that a 404 needs no main thread.
    mutable std::mutex storedMutex;
    QSet<QString> storedNames;
    QSet<QString> storedGroups;
    QHash<QString, Selection> selections; // by "t:NAME" or "g:GROUP"
    std::set<std::shared_ptr<Gathered>> inFlight; // scrapes not answered yet
    std::map<QString, std::unique_ptr<Probe>> probes; // those under way or waiting, by name
    std::deque<QString> queued; // waiting for a place, the oldest first
    int maxRunning = 1; // at once, within the limit on open files

    std::atomic<bool> stopping { false }; // SIGTERM came: no new probes
    std::atomic<bool> closing { false }; // every scrape answered: the server goes
    std::atomic<int> waiting { 0 }; // scrapes of /probe waiting for their answer
    std::atomic<int> running { 0 }; // probes under way
    mutable std::mutex statsMutex;
    std::map<std::string, std::uint64_t> probesByResult;
    double probeSeconds = 0;
    std::uint64_t probeCount = 0;
    std::uint64_t lateAnswers = 0;
};
