#pragma once

#include "acer.h"
#include "pjlink.h"
#include "vivitek.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

// What the command line asks for, checked as far as it can be without the
// projector, so that a usage error is found before the port is opened.
class Invocation
{
public:
    // ConfigError: the settings file does not parse; nothing is run.
    enum class Outcome { Run, Help, Version, UsageError, ConfigError };
    enum class Command {
        On,
        Off,
        Status,
        Press,
        Set,
        List,
        Query,
        Send,
        Projector,
        Search,
        Metrics,
        Detect,
        Exporter
    };
    // What "projector" does to the stored list.
    enum class Edit { List, Add, Remove };

    explicit Invocation(const QStringList &arguments);

    Outcome outcome = Outcome::UsageError;
    QString message; // the help or version text, or what is wrong
    // For standard error before the run: what the settings file made
    // vantrelctl leave out.
    QStringList warnings;
    bool json = false;

    Command command = Command::Status;
    QString commandName;
    QString port; // empty only for list, which needs none
    int model = -1;
    int timeoutMs = 2000;
    QString timeoutText = QStringLiteral("2"); // in seconds, as given
    bool timeoutGiven = false;

    // What detect takes: every --port, and whether the system's ports are
    // probed too. model is -1 there unless --family narrows the search.
    QStringList ports;
    bool scan = true;

    // What press, set and send take, once resolved.
    const Acer::ButtonCommand *acerButton = nullptr;
    const Vivitek::ButtonCommand *vivitekButton = nullptr;
    Vivitek::List list = Vivitek::List::VideoSource;
    int entry = 0;
    QByteArray text;

    // PJLink: what press and set input take.
    const PJLink::ButtonCommand *pjlinkButton = nullptr;
    QString inputName;
    // Where search sends to; empty: the broadcast address.
    QString searchTo;

    // The stored projectors a command runs on, each with the arguments that
    // run it on that one alone; empty for the one projector of --port or the
    // store's current one. A stored entry that cannot be used is that
    // projector's own error: it runs nothing, and the others run.
    struct Target
    {
        QString name;
        QString group;
        QString family; // its key; empty when the stored number names none
        QStringList arguments;
        QString error; // empty: usable
        // What arguments make of it, read with the same stored list; null
        // for an unusable entry.
        std::shared_ptr<const Invocation> invocation;
    };
    QList<Target> targets;

    // Where exporter serves: a numeric address and a port (0: any free one).
    static constexpr int ExporterPort = 14352;
    QString listenAddress = QStringLiteral("127.0.0.1");
    int listenPort = ExporterPort;
    // inventory: runs as query does, on every target, and prints the
    // inventory of them all.
    bool inventory = false;

    // What projector add and remove take.
    Edit edit = Edit::List;
    QString name;
    QString group;
    QString password;

private:
    bool parse(const QStringList &arguments);
    bool takeTimeout(const QString &seconds);
    bool takeLine(const QString &portOption, const QString &familyOption);
    bool takeFamily(const QString &familyOption);
    bool takeCommand(const QStringList &words);
    bool takePress(const QString &name);
    bool takeSet(const QString &listName, const QString &entryName);
    bool takeSend(const QString &text);
    bool takeSearch(const QStringList &words, const QString &to, bool timeoutGiven);
    bool takePassword(const QString &passwordFile, bool passwordFileGiven, bool portGiven);
    bool takeSelection(const QStringList &names, const QStringList &groups, bool all,
                       const QStringList &forwarded, const QStringList &words,
                       const QString &passwordFile);
    bool takeExporter(const QStringList &words, const QString &listen, bool listenGiven);
    bool takeMetricsOfOne(const QStringList &forwarded, bool portGiven);
    bool takeProjectorEdit(const QStringList &words, const QString &portOption,
                           const QString &familyOption, const QString &groupOption,
                           const QString &passwordFile, bool passwordFileGiven);
    bool usage(const QString &problem);
    // False, with the store's problem, when its file does not parse.
    bool storeUnreadable(const QString &formatProblem);
    // Why a stored entry cannot be used; empty when it can.
    static QString entryProblem(int storedModel, const QString &storedPort);
};
