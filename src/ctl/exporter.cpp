// httplib.h first: Qt's keyword macros must not reach it.
#include "boundedserver.h"

#include "exporter.h"

#include "commandrun.h"
#include "descriptors.h"
#include "fleet.h"
#include "projectorlist.h"
#include "report.h"
#include "storewatcher.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const char MetricsType[] = "text/plain; version=0.0.4; charset=utf-8";
const char TextType[] = "text/plain; charset=utf-8";

// How long a scrape waits for its probes at most: far beyond any probe,
// which is bounded by its own timeouts; only a fault runs into it.
constexpr std::chrono::seconds WaitLimit(120);
constexpr std::chrono::milliseconds WaitSlice(200);

// What a scrape of a projector is given when Prometheus does not say: its
// default scrape timeout.
constexpr int DefaultBudgetMs = 10000;

int signalPipe[2] = { -1, -1 };
volatile std::sig_atomic_t signalsSeen = 0;

extern "C" void onStopSignal(int signal)
{
    // The second ends the process at once, as the signal does by default.
    if (signalsSeen++ > 0) {
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

QString escaped(QString value)
{
    return value.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('"'), QLatin1String("\\\""))
        .replace(QLatin1Char('\n'), QLatin1String("\\n"));
}

// What Prometheus allows the scrape, less a margin for the answer to
// travel, as the blackbox exporter takes it; 0 when it says nothing.
int budgetMs(const httplib::Request &request)
{
    const std::string header = request.get_header_value("X-Prometheus-Scrape-Timeout-Seconds");
    const double seconds = std::strtod(header.c_str(), nullptr);
    if (!(seconds > 0) || seconds > 3600)
        return 0;
    // The answer must be on its way 0.5 s before Prometheus gives up.
    return int(std::max(0.25, seconds > 1 ? seconds - 0.5 : seconds / 2) * 1000);
}

std::string number(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

void family(std::ostringstream &out, const char *name, const char *type, const char *help)
{
    out << "# HELP " << name << ' ' << help << "\n# TYPE " << name << ' ' << type << '\n';
}

// The standard process metrics, from /proc as Prometheus's own client
// libraries read them.
void processMetrics(std::ostringstream &out)
{
    std::ifstream statFile("/proc/self/stat");
    std::string stat((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
    // The command name may hold spaces and parentheses: count from the last ')'.
    std::istringstream fields(stat.substr(std::min(stat.size(), stat.rfind(')') + 1)));
    std::vector<std::string> field;
    for (std::string word; fields >> word;)
        field.push_back(word);
    // field[0] is the third field of proc(5), the state.
    const auto at = [&field](std::size_t procField) {
        return procField - 3 < field.size() ? std::strtod(field[procField - 3].c_str(), nullptr)
                                            : 0.0;
    };
    const double ticks = double(::sysconf(_SC_CLK_TCK));
    const double page = double(::sysconf(_SC_PAGESIZE));
    double bootTime = 0;
    std::ifstream system("/proc/stat");
    for (std::string line; std::getline(system, line);) {
        if (line.rfind("btime ", 0) == 0)
            bootTime = std::strtod(line.c_str() + 6, nullptr);
    }
    const int openFds = Descriptors::openNow();
    rlimit limit {};
    ::getrlimit(RLIMIT_NOFILE, &limit);

    family(out, "process_cpu_seconds_total", "counter",
           "Total user and system CPU time spent in seconds.");
    out << "process_cpu_seconds_total " << number((at(14) + at(15)) / ticks) << '\n';
    family(out, "process_resident_memory_bytes", "gauge", "Resident memory size in bytes.");
    out << "process_resident_memory_bytes " << number(at(24) * page) << '\n';
    family(out, "process_virtual_memory_bytes", "gauge", "Virtual memory size in bytes.");
    out << "process_virtual_memory_bytes " << number(at(23)) << '\n';
    family(out, "process_start_time_seconds", "gauge",
           "Start time of the process since unix epoch in seconds.");
    out << "process_start_time_seconds " << number(bootTime + at(22) / ticks) << '\n';
    family(out, "process_open_fds", "gauge", "Number of open file descriptors.");
    out << "process_open_fds " << openFds << '\n';
    family(out, "process_max_fds", "gauge", "Maximum number of open file descriptors.");
    out << "process_max_fds " << number(double(limit.rlim_cur)) << '\n';
}

} // namespace

struct Exporter::Probe
{
    Invocation::Target target;
    // The run refers to the invocation and the report.
    std::shared_ptr<const Invocation> one;
    std::unique_ptr<Report> report;
    std::unique_ptr<CommandRun> run;
    int exit = ExitCode::Done;
    QElapsedTimer clock;
    double seconds = 0;
    qint64 finishedAtMs = 0;
    QList<std::function<void(const Result &)>> waiting;

    void ended(int exitCode)
    {
        exit = exitCode;
        seconds = double(clock.nsecsElapsed()) / 1e9;
        finishedAtMs = QDateTime::currentMSecsSinceEpoch();
    }
};

namespace {

// Places for HTTP and for probes within the limit on open files: the full
// numbers when it is ample, otherwise shares of what it leaves, so that
// neither can starve the other.
BoundedServer::Limits serverLimits()
{
    BoundedServer::Limits limits;
    Descriptors::makeRoomFor(ProjectorList::MaxEntries, limits.connections + limits.waiting);
    const int forHttp = Descriptors::available() / 2;
    if (forHttp < limits.connections + limits.waiting) {
        limits.connections = std::clamp(forHttp / 4, 1, limits.connections);
        limits.waiting = std::clamp(forHttp - limits.connections, 1, limits.waiting);
    }
    return limits;
}

} // namespace

Exporter::Exporter(const Invocation &invocation)
    : invocation(invocation)
    , server(std::make_unique<BoundedServer>(serverLimits()))
{
    server->Get("/probe", [this](const httplib::Request &request, httplib::Response &response) {
        Reply reply;
        const std::size_t targets = request.get_param_value_count("target");
        const std::size_t groups = request.get_param_value_count("group");
        const std::string debug = request.get_param_value("debug");
        if (targets + groups != 1)
            reply = { 400,
                      "give one target=NAME or one group=GROUP, a stored projector's name "
                      "or group\n" };
        else if (targets ? request.get_param_value("target").empty()
                         : request.get_param_value("group").empty())
            reply = { 400,
                      targets
                          ? "the target is empty: give target=NAME, a stored projector's name\n"
                          : "the group is empty: give group=GROUP, a stored projector's group\n" };
        else if (!debug.empty() && debug != "true" && debug != "false")
            reply = { 400, "debug takes true or false\n" };
        else
            reply = probeEndpoint(request.get_param_value("target"),
                                  groups ? request.get_param_value("group") : std::string(),
                                  budgetMs(request), debug == "true");
        response.status = reply.status;
        response.set_content(reply.body,
                             reply.status == 200 && debug != "true" ? MetricsType : TextType);
    });
    server->Get("/metrics", [this](const httplib::Request &, httplib::Response &response) {
        response.set_content(ownMetrics(), MetricsType);
    });
    server->Get("/", [](const httplib::Request &, httplib::Response &response) {
        response.set_content("vantrelctl exporter\n\n"
                             "/probe?target=NAME  the stored projector NAME, asked now\n"
                             "/probe?group=GROUP  every stored projector of the group\n"
                             "/metrics            the exporter's own metrics\n",
                             TextType);
    });
}

Exporter::~Exporter()
{
    closing = true;
    server->shutdown();
}

void Exporter::readStore()
{
    stored = ProjectorList::read();
    QSet<QString> names;
    QSet<QString> groups;
    for (const ProjectorList::Projector &projector : stored.entries()) {
        names.insert(projector.name);
        if (!projector.group.isEmpty())
            groups.insert(projector.group);
    }
    {
        std::lock_guard<std::mutex> lock(storedMutex);
        storedNames.swap(names);
        storedGroups.swap(groups);
    }
    selections.clear();
}

const Exporter::Selection &Exporter::selection(const QString &target, const QString &group)
{
    const QString key
        = group.isEmpty() ? QLatin1String("t:") + target : QLatin1String("g:") + group;
    auto found = selections.find(key);
    if (found != selections.end())
        return *found;
    const Invocation chosen({ QStringLiteral("vantrelctl"), QStringLiteral("--timeout"),
                              invocation.timeoutText,
                              group.isEmpty() ? QLatin1String("--projector=") + target
                                              : QLatin1String("--group=") + group,
                              QStringLiteral("metrics") });
    Selection made;
    if (chosen.outcome != Invocation::Outcome::Run || chosen.targets.isEmpty())
        made.error = chosen.message.isEmpty() ? QStringLiteral("cannot be probed") : chosen.message;
    else
        made.targets = chosen.targets;
    return *selections.insert(key, made);
}

int Exporter::run()
{
    // Room for a probe of every projector the list may hold, besides the
    // connections; probes beyond what the limit allows wait for a place.
    const int http = server->limits().connections + server->limits().waiting;
    const QString tooFew = Descriptors::tooFew(http);
    if (!tooFew.isEmpty()) {
        std::fprintf(stderr, "vantrelctl: %s\n", qPrintable(tooFew));
        return ExitCode::Unavailable;
    }
    maxRunning = Descriptors::concurrentRuns(ProjectorList::MaxEntries, http);
    readStore();
    storeWatcher = new StoreWatcher(this);
    connect(storeWatcher, &StoreWatcher::changed, this, &Exporter::readStore);
    const QString host = invocation.listenAddress;
    const QString shown = QHostAddress(host).protocol() == QAbstractSocket::IPv6Protocol
        ? QLatin1Char('[') + host + QLatin1Char(']')
        : host;
    const std::string problem = server->bind(host.toStdString(), invocation.listenPort);
    if (!problem.empty()) {
        std::fprintf(stderr, "vantrelctl: cannot listen on %s:%d: %s\n", qPrintable(shown),
                     invocation.listenPort, problem.c_str());
        return ExitCode::Unavailable;
    }

    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("vantrelctl: pipe");
        return ExitCode::Unavailable;
    }
    struct sigaction action
    {
    };
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    signalNotifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(signalNotifier, &QSocketNotifier::activated, this, &Exporter::stop);

    server->start();
    std::printf("vantrelctl: serving http://%s:%d/ (/probe?target=NAME, /probe?group=GROUP, "
                "/metrics)\n",
                qPrintable(shown), server->boundPort());
    std::fflush(stdout);
    const int code = QCoreApplication::exec();
    std::printf("vantrelctl: stopped\n");
    std::fflush(stdout);
    return code;
}

// SIGTERM: no new connections and no new probes. A scrape whose projectors
// are all under way is answered as usual, by its scrape timeout at the
// latest; one that waits for a probe not yet begun, and any request that
// comes meanwhile, gets 503. Once every scrape is answered the process ends,
// whatever probes are still under way.
void Exporter::stop()
{
    signalNotifier->setEnabled(false);
    stopping = true;
    server->stopAccepting();
    QSet<QString> notBegun;
    for (const QString &name : queued) {
        notBegun.insert(name);
        probes.erase(name);
    }
    queued.clear();
    const auto scrapes = inFlight;
    for (const std::shared_ptr<Gathered> &gathered : scrapes) {
        bool waitsForPlace = false;
        for (const Invocation::Target &target : std::as_const(gathered->targets))
            waitsForPlace = waitsForPlace
                || (notBegun.contains(target.name) && !gathered->results.contains(target.name));
        if (waitsForPlace) {
            gathered->answered = true;
            gathered->reply->set_value({ 503, "the exporter is stopping\n" });
            inFlight.erase(gathered);
        }
    }
    // However long a scrape without a timeout of its own has waited already,
    // the process ends within this.
    QTimer::singleShot(DefaultBudgetMs, this, [this] {
        const auto late = inFlight;
        for (const std::shared_ptr<Gathered> &gathered : late)
            answer(gathered);
    });
    closeWhenAnswered();
}

void Exporter::closeWhenAnswered()
{
    if (!stopping || !inFlight.empty() || closing)
        return;
    // The workers write the last answers; requests still arriving get 503.
    closing = true;
    server->shutdown();
    QCoreApplication::quit();
}

Exporter::Reply Exporter::probeEndpoint(const std::string &target, const std::string &group,
                                        int budgetMs, bool debug)
{
    if (stopping)
        return { 503, "the exporter is stopping\n" };
    if (!isStored(QString::fromStdString(target), QString::fromStdString(group)))
        return notStored(QString::fromStdString(target), QString::fromStdString(group));
    const auto reply = std::make_shared<std::promise<Reply>>();
    std::future<Reply> answer = reply->get_future();
    ++waiting;
    QMetaObject::invokeMethod(
        this,
        [this, reply, budgetMs, debug, target = QString::fromStdString(target),
         group = QString::fromStdString(group), byGroup = target.empty() && !group.empty()] {
            scrape(byGroup ? QString() : target, byGroup ? group : QString(), budgetMs, debug,
                   reply);
        },
        Qt::QueuedConnection);
    Reply result { 503, "no answer in time\n" };
    const auto limit = std::chrono::steady_clock::now() + WaitLimit;
    for (;;) {
        if (answer.wait_for(WaitSlice) == std::future_status::ready) {
            result = answer.get();
            break;
        }
        if (closing) {
            result = { 503, "the exporter is stopping\n" };
            break;
        }
        if (std::chrono::steady_clock::now() > limit)
            break;
    }
    --waiting;
    return result;
}

bool Exporter::isStored(const QString &target, const QString &group) const
{
    std::lock_guard<std::mutex> lock(storedMutex);
    return group.isEmpty() ? storedNames.contains(target) : storedGroups.contains(group);
}

Exporter::Reply Exporter::notStored(const QString &target, const QString &group)
{
    const QString why = group.isEmpty()
        ? QStringLiteral("there is no stored projector \"%1\"\n").arg(target)
        : QStringLiteral("no stored projector is in the group \"%1\"\n").arg(group);
    return { 404, why.toStdString() };
}

void Exporter::scrape(const QString &target, const QString &group, int budgetMs, bool debug,
                      const PendingReply &reply)
{
    if (stopping) {
        reply->set_value({ 503, "the exporter is stopping\n" });
        return;
    }
    // Only what is stored: an address given as a target is never asked.
    // Asked again here, as the store may have changed since.
    if (!isStored(target, group)) {
        reply->set_value(notStored(target, group));
        return;
    }
    const Selection &chosen = selection(target, group);
    if (!chosen.error.isEmpty()) {
        reply->set_value({ 500, (chosen.error + QLatin1Char('\n')).toStdString() });
        return;
    }

    const auto gathered = std::make_shared<Gathered>();
    gathered->reply = reply;
    gathered->targets = chosen.targets;
    gathered->debug = debug;
    gathered->clock.start();
    inFlight.insert(gathered);
    for (const Invocation::Target &one : chosen.targets) {
        join(one, [this, gathered](const Result &result) {
            gathered->results.insert(result.projector.name, result);
            if (gathered->results.size() == gathered->targets.size())
                answer(gathered);
        });
    }
    // Prometheus gives up on a scrape after its timeout: what has not
    // answered by then is unreachable for this scrape, as the blackbox
    // exporter has it, while its probe goes on for the next.
    QTimer::singleShot(budgetMs > 0 ? budgetMs : DefaultBudgetMs, this, [this, gathered, budgetMs] {
        if (budgetMs > 0 || stopping)
            answer(gathered);
    });
}

void Exporter::answer(const std::shared_ptr<Gathered> &held)
{
    Gathered &gathered = *held;
    inFlight.erase(held);
    if (gathered.answered)
        return;
    gathered.answered = true;
    QList<Invocation::Target> targets = gathered.targets;
    std::sort(
        targets.begin(), targets.end(),
        [](const Invocation::Target &a, const Invocation::Target &b) { return a.name < b.name; });
    QList<Metrics::Projector> projectors;
    QString durations = QStringLiteral(
        "# HELP vantrel_probe_duration_seconds How long asking the projector took.\n"
        "# TYPE vantrel_probe_duration_seconds gauge\n");
    int late = 0;
    QStringList log;
    for (const Invocation::Target &target : targets) {
        Result result;
        const auto found = gathered.results.constFind(target.name);
        if (found != gathered.results.constEnd()) {
            result = *found;
        } else {
            ++late;
            const int family = target.arguments.indexOf(QLatin1String("--family")) + 1;
            result.projector
                = { target.name, target.arguments.value(family), target.group,
                    QJsonObject { { QStringLiteral("problem"), QStringLiteral("scrape_timeout") } },
                    0 };
            result.seconds = double(gathered.clock.nsecsElapsed()) / 1e9;
            result.log << QStringLiteral("probe of \"%1\": still under way when the scrape's "
                                         "time was up after %2 s")
                              .arg(target.name, QString::number(result.seconds, 'f', 3));
        }
        log += result.log;
        const Metrics::Projector &p = result.projector;
        projectors.append(p);
        durations += QStringLiteral("vantrel_probe_duration_seconds{name=\"%1\",family=\"%2\","
                                    "group=\"%3\"} %4\n")
                         .arg(escaped(p.name), escaped(p.family), escaped(p.group),
                              QString::number(result.seconds, 'f', 6));
    }
    if (late > 0) {
        std::lock_guard<std::mutex> lock(statsMutex);
        lateAnswers += std::uint64_t(late);
    }
    const QString metrics = Metrics::exposition(projectors) + durations;
    if (gathered.debug)
        gathered.reply->set_value({ 200,
                                    (log.join(QLatin1Char('\n'))
                                     + QLatin1String("\n\nMetrics that would have been "
                                                     "returned:\n")
                                     + metrics)
                                        .toStdString() });
    else
        gathered.reply->set_value({ 200, metrics.toStdString() });
    closeWhenAnswered();
}

void Exporter::join(const Invocation::Target &target,
                    const std::function<void(const Result &)> &done)
{
    std::unique_ptr<Probe> &probe = probes[target.name];
    if (!probe) {
        probe = std::make_unique<Probe>();
        probe->target = target;
        probe->clock.start();
        if (running < maxRunning)
            begin(*probe);
        else
            queued.push_back(target.name);
    }
    probe->waiting.append(done);
}

void Exporter::begin(Probe &probe)
{
    ++running;
    probe.one = probe.target.invocation
        ? probe.target.invocation
        : std::make_shared<const Invocation>(probe.target.arguments);
    probe.report = std::make_unique<Report>(probe.one->json, Report::Collected);
    if (probe.one->outcome != Invocation::Outcome::Run) {
        probe.ended(probe.report->finish(ExitCode::Usage, probe.one->message));
        QTimer::singleShot(0, this, [this, name = probe.target.name] { finish(name); });
        return;
    }
    probe.run = CommandRun::create(*probe.one, *probe.report);
    connect(probe.run.get(), &CommandRun::finished, this,
            [this, &probe, name = probe.target.name](int exitCode) {
                probe.ended(exitCode);
                // Not from within the run's own signal: finishing destroys it.
                QTimer::singleShot(0, this, [this, name] { finish(name); });
            });
    probe.run->start();
}

void Exporter::finish(const QString &name)
{
    const auto found = probes.find(name);
    if (found == probes.end())
        return;
    const std::unique_ptr<Probe> probe = std::move(found->second);
    probes.erase(found);
    --running;
    // Its place goes to the probe that has waited longest.
    while (running < maxRunning && !queued.empty()) {
        const auto next = probes.find(queued.front());
        queued.pop_front();
        if (next != probes.end())
            begin(*next->second);
    }

    const QJsonObject result = probe->report->result();
    Result answer;
    answer.seconds = probe->seconds;
    answer.projector
        = { name, result.value(QStringLiteral("family")).toString(), probe->target.group, result,
            Fleet::answered(result) ? probe->finishedAtMs : 0 };
    answer.loginRejected = probe->exit == ExitCode::NoPermission;
    // The probe's log, as debug=true shows it; the result holds no password.
    answer.log << QStringLiteral("probe of \"%1\" (family %2, group \"%3\") at %4")
                      .arg(name, answer.projector.family, probe->target.group,
                           probe->one ? probe->one->port : QString());
    for (const QString &line : probe->report->printed())
        answer.log << QLatin1String("  output: ") + line;
    for (const QString &warning : probe->report->warnings())
        answer.log << QLatin1String("  warning: ") + warning;
    answer.log << QStringLiteral("  ended with exit code %1 after %2 s: %3")
                      .arg(QString::number(probe->exit), QString::number(probe->seconds, 'f', 3),
                           answer.projector.answeredAtMs > 0 ? QStringLiteral("reachable")
                                                             : QLatin1String("not reachable, ")
                                   + result.value(QStringLiteral("error")).toString());
    answer.log << QLatin1String("  result: ")
            + QString::fromUtf8(QJsonDocument(result).toJson(QJsonDocument::Compact));
    {
        std::lock_guard<std::mutex> lock(statsMutex);
        ++probesByResult[answer.loginRejected                    ? "login_rejected"
                             : answer.projector.answeredAtMs > 0 ? "reachable"
                                                                 : "unreachable"];
        probeSeconds += answer.seconds;
        ++probeCount;
    }
    for (const auto &done : probe->waiting)
        done(answer);
}

std::string Exporter::ownMetrics() const
{
    std::ostringstream out;
    {
        std::lock_guard<std::mutex> lock(statsMutex);
        family(out, "vantrel_exporter_probes_total", "counter",
               "Probes of projectors since the start, by what came of them.");
        for (const char *result : { "reachable", "unreachable", "login_rejected" }) {
            const auto found = probesByResult.find(result);
            out << "vantrel_exporter_probes_total{result=\"" << result << "\"} "
                << (found == probesByResult.end() ? 0 : found->second) << '\n';
        }
        family(out, "vantrel_exporter_probe_duration_seconds", "summary",
               "How long the probes of projectors took.");
        out << "vantrel_exporter_probe_duration_seconds_sum " << number(probeSeconds) << '\n'
            << "vantrel_exporter_probe_duration_seconds_count " << probeCount << '\n';
    }
    {
        std::lock_guard<std::mutex> lock(statsMutex);
        family(out, "vantrel_exporter_late_answers_total", "counter",
               "Projectors answered as unreachable because their probe outlasted the scrape's "
               "timeout.");
        out << "vantrel_exporter_late_answers_total " << lateAnswers << '\n';
    }
    family(out, "vantrel_exporter_probes_running", "gauge", "Probes of projectors under way.");
    out << "vantrel_exporter_probes_running " << running << '\n';
    family(out, "vantrel_exporter_scrapes_waiting", "gauge",
           "Scrapes of /probe waiting for their projectors.");
    out << "vantrel_exporter_scrapes_waiting " << waiting << '\n';
    family(out, "vantrel_exporter_open_connections", "gauge", "HTTP connections open now.");
    out << "vantrel_exporter_open_connections " << server->openConnections() << '\n';
    family(out, "vantrel_exporter_dropped_connections_total", "counter",
           "HTTP connections closed before their request came whole: out of time, or pushed "
           "out by newer ones when too many waited.");
    out << "vantrel_exporter_dropped_connections_total " << server->droppedConnections() << '\n';
    family(out, "vantrel_build_info", "gauge", "The exporter's version, as a label; always 1.");
    out << "vantrel_build_info{version=\"" << QCoreApplication::applicationVersion().toStdString()
        << "\"} 1\n";
    processMetrics(out);
    return out.str();
}
