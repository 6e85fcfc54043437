#include "invocation.h"

#include "catalogue.h"
#include "family.h"
#include "linkaddress.h"
#include "storedsettings.h"

#include "projectorlist.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>

#include <cmath>

namespace {

// The stored list as the selection of a command's projectors read it, while
// that selection checks the command for each of them: read once for all,
// not once for each (with many projectors, the one way to run in time).
const ProjectorList *selectionList = nullptr;

class SharedList
{
public:
    explicit SharedList(const ProjectorList &list)
        : previous(selectionList)
    {
        selectionList = &list;
    }
    ~SharedList() { selectionList = previous; }
    SharedList(const SharedList &) = delete;
    SharedList &operator=(const SharedList &) = delete;

private:
    const ProjectorList *previous;
};

// The stored entry a projector's own run is made for, while the selection
// makes it: its password is that entry's, whatever else shares its address
// and whatever the environment says.
const ProjectorList::Projector *selectionEntry = nullptr;

class EntryRun
{
public:
    explicit EntryRun(const ProjectorList::Projector &entry)
        : previous(selectionEntry)
    {
        selectionEntry = &entry;
    }
    ~EntryRun() { selectionEntry = previous; }
    EntryRun(const EntryRun &) = delete;
    EntryRun &operator=(const EntryRun &) = delete;

private:
    const ProjectorList::Projector *previous;
};

const struct
{
    const char *name;
    Invocation::Command command;
    int arguments;
} Commands[] = {
    { "on", Invocation::Command::On, 0 },         { "off", Invocation::Command::Off, 0 },
    { "status", Invocation::Command::Status, 0 }, { "press", Invocation::Command::Press, 1 },
    { "set", Invocation::Command::Set, 2 },       { "list", Invocation::Command::List, 0 },
    { "query", Invocation::Command::Query, 0 },   { "send", Invocation::Command::Send, 1 },
    { "search", Invocation::Command::Search, 0 }, { "detect", Invocation::Command::Detect, 0 },
};

const char Description[] = "Controls an Acer, Vivitek or InFocus projector on an RS-232 line, "
                           "or a PJLink projector on the network, through the port (or address) "
                           "and family chosen in Vantrel unless --port and --family are given.";

const char Epilogue[] = R"(
Commands:
  on, off          Switch the projector on or off.
  status           Print "lamp on" or "lamp off" (InFocus: the projector's reply).
  press NAME       Press a button of the family's control page.
  set LIST ENTRY   Choose an entry of a Vivitek list, e.g. set source hdmi-2.
  list             Print the names press and set take for the family.
  query            Print the projector's state as name=value lines.
  send TEXT        Send TEXT and a carriage return; print every reply.
  metrics          Print what query finds in the Prometheus text format.
  exporter [--listen ADDRESS:PORT]
                   Serve the stored projectors' metrics over HTTP until
                   stopped: /probe?target=NAME asks that projector there and
                   then, /probe?group=G each of the group, /metrics the
                   exporter's own. Listens on 127.0.0.1:14352 unless --listen
                   gives a numeric address and port, e.g. 0.0.0.0:14352.
  inventory        Print every stored projector (or those of --all, --group,
                   --projector) as CSV: name, group, family, address, make,
                   model, serial, software, lamp and filter hours and parts,
                   state, last answer; --json as an array.
  search [--to ADDRESS]
                   PJLink: ask by UDP which projectors are there (the broadcast
                   address unless --to names one, with an optional :port) and
                   print each answer's address and MAC.

PJLink (--family pjlink): --port takes HOST, HOST:PORT or [IPv6]:PORT (4352
by default); set input NAME chooses an input; the password comes from
--password-file FILE, else VANTREL_PJLINK_PASSWORD, else Vantrel's settings;
stored projectors (--projector, --group, --all, exporter) use their own.
  detect           Probe every serial port the system lists, and each --port,
                   for a projector of each family (only --family's if given)
                   and print which family answered on each port.

Projectors, stored by name (the window's list):
  projector list
  projector add NAME --family F --port P [--group G] [--password-file FILE]
  projector remove NAME

Several stored projectors at once, side by side, each within --timeout:
  --projector NAME (repeatable), --group G (repeatable), --all
  Prints a line "NAME: ..." for each, sorted by name; --json an array.
  Exits 0 when all succeeded, else with the first of 69, 2, 77, 1 that
  occurred. metrics exits 0 once it printed: vantrel_reachable tells.

Exit status:
  0   done, and the projector answered
  1   the projector refused the command, or gave no lamp state
  2   no answer within the timeout; detect: no projector answered
  64  usage error: unknown command, family, name or entry
  69  the port is unavailable: not present, in use, permission denied, lost;
      a network serial server refused, not found, timed out, lost, or refused
      the line settings
  73  the settings could not be saved
  78  the settings file does not parse (its file and line are named), or
      with --all, --group or --projector, a stored projector cannot be used
  77  PJLink: the password was rejected, or the projector needs one
)";

QString joined(const QStringList &names)
{
    return names.join(QLatin1String(", "));
}

// The first line of the file, without its line end; otherwise why not.
QString readPassword(const QString &path, QString *password)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read the password file %1: %2").arg(path, file.errorString());
    *password = QString::fromUtf8(file.readLine(4096));
    password->remove(QLatin1Char('\n'));
    password->remove(QLatin1Char('\r'));
    return QString();
}

} // namespace

Invocation::Invocation(const QStringList &arguments)
{
    if (parse(arguments))
        outcome = Outcome::Run;
}

bool Invocation::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QLatin1String(Description));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QStringLiteral(
            "Serial port: a name such as ttyUSB0, or an absolute path; or a network "
            "serial server: tcp://HOST:PORT (raw) or rfc2217://HOST:PORT (telnet). detect takes it "
            "many times."),
        QStringLiteral("port"));
    const QCommandLineOption familyOption(QStringLiteral("family"),
                                          QStringLiteral("Projector family: acer, vivitek or "
                                                         "infocus."),
                                          QStringLiteral("family"));
    const QCommandLineOption timeoutOption(
        QStringLiteral("timeout"),
        QStringLiteral("Seconds to wait for each answer (default 2; 0.5 and the like too)."),
        QStringLiteral("seconds"), QStringLiteral("2"));
    const QCommandLineOption jsonOption(QStringLiteral("json"),
                                        QStringLiteral("Print one JSON object instead of text."));
    const QCommandLineOption groupOption(
        QStringLiteral("group"),
        QStringLiteral("Run on every stored projector of the group (repeatable); projector "
                       "add: the projector's group, e.g. a building or a floor."),
        QStringLiteral("group"));
    const QCommandLineOption projectorOption(
        QStringLiteral("projector"),
        QStringLiteral("Run on the stored projector of that name (repeatable)."),
        QStringLiteral("name"));
    const QCommandLineOption allOption(QStringLiteral("all"),
                                       QStringLiteral("Run on every stored projector."));
    const QCommandLineOption passwordFileOption(
        QStringLiteral("password-file"),
        QStringLiteral("PJLink: read the password from the first line of FILE (else from "
                       "VANTREL_PJLINK_PASSWORD); for a run on one --port."),
        QStringLiteral("file"));
    const QCommandLineOption toOption(QStringLiteral("to"),
                                      QStringLiteral("search: the address to ask instead of all."),
                                      QStringLiteral("address"));
    const QCommandLineOption noScanOption(
        QStringLiteral("no-scan"),
        QStringLiteral("detect: probe only the ports given with --port, none of the others."));
    const QCommandLineOption listenOption(
        QStringLiteral("listen"),
        QStringLiteral("exporter: the numeric address and port to serve on (default "
                       "127.0.0.1:%1).")
            .arg(ExporterPort),
        QStringLiteral("address:port"));
    parser.addOptions({ portOption, familyOption, timeoutOption, jsonOption, groupOption,
                        passwordFileOption, toOption, projectorOption, allOption, noScanOption,
                        listenOption });
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("on, off, status, press NAME, set LIST ENTRY, "
                                                "list, query, send TEXT, detect or exporter."),
                                 QStringLiteral("<command> [arguments]"));

    const bool parsed = parser.parse(arguments);
    json = parser.isSet(jsonOption);
    // --help-all would add Qt's own options; there are none worth knowing here.
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        outcome = Outcome::Help;
        message = parser.helpText() + QLatin1String(Epilogue);
        return false;
    }
    if (parser.isSet(version)) {
        outcome = Outcome::Version;
        message = QCoreApplication::applicationName() + QLatin1Char(' ')
            + QCoreApplication::applicationVersion() + QLatin1Char('\n');
        return false;
    }
    if (!parsed)
        return usage(parser.errorText());
    // An unset shell variable gives an empty value: no choice, and not a
    // choice of the stored port or family either.
    if (parser.isSet(portOption) && parser.value(portOption).isEmpty())
        return usage(QStringLiteral("--port is empty; give a serial port"));
    if (parser.isSet(familyOption) && parser.value(familyOption).isEmpty())
        return usage(
            QStringLiteral("--family is empty; give one of %1").arg(joined(Family::keys())));
    // Not the whole network, which is what leaving --to out means.
    if (parser.isSet(toOption) && parser.value(toOption).isEmpty())
        return usage(QStringLiteral("--to is empty; give an address, or leave --to out to "
                                    "search the whole network"));
    const QStringList words = parser.positionalArguments();
    timeoutGiven = parser.isSet(timeoutOption);
    scan = !parser.isSet(noScanOption);
    if (!scan && words.value(0) != QLatin1String("detect"))
        return usage(QStringLiteral("--no-scan is for detect only"));
    // The list is edited by name and by what is given, never from the store's
    // current choice, so it works whatever that holds.
    const bool selecting = parser.isSet(projectorOption) || parser.isSet(allOption)
        || (parser.isSet(groupOption) && words.value(0) != QLatin1String("projector"));
    if (words.value(0) == QLatin1String("exporter") || parser.isSet(listenOption)) {
        if (words.value(0) != QLatin1String("exporter"))
            return usage(QStringLiteral("--listen is for exporter"));
        // It probes stored projectors by name, as each scrape asks.
        if (selecting || parser.isSet(portOption) || parser.isSet(familyOption)
            || parser.isSet(toOption) || parser.isSet(passwordFileOption) || json)
            return usage(QStringLiteral("exporter takes only --listen and --timeout; each "
                                        "scrape names the stored projector or group"));
        return takeTimeout(parser.value(timeoutOption))
            && takeExporter(words, parser.value(listenOption), parser.isSet(listenOption));
    }
    if (words.value(0) == QLatin1String("projector")) {
        if (parser.isSet(projectorOption) || parser.isSet(allOption))
            return usage(QStringLiteral("--projector and --all choose where a command runs; "
                                        "projector takes names of its own"));
        return takeTimeout(parser.value(timeoutOption))
            && takeProjectorEdit(words, parser.value(portOption), parser.value(familyOption),
                                 parser.value(groupOption), parser.value(passwordFileOption),
                                 parser.isSet(passwordFileOption));
    }
    if (words.value(0) == QLatin1String("search") && selecting)
        return usage(QStringLiteral("search finds projectors of its own; it takes no "
                                    "--projector, --group or --all"));
    if (words.value(0) == QLatin1String("search"))
        return takeTimeout(parser.value(timeoutOption))
            && takeSearch(words, parser.value(toOption), parser.isSet(timeoutOption));
    // detect looks for the port and family, so the stored ones play no part.
    if (words.value(0) == QLatin1String("detect")) {
        if (selecting)
            return usage(QStringLiteral("detect looks for projectors of its own; it takes no "
                                        "--projector, --group or --all"));
        ports = parser.values(portOption);
        if (!scan && ports.isEmpty())
            return usage(QStringLiteral("--no-scan leaves nothing to probe without --port"));
        if (parser.isSet(passwordFileOption))
            return usage(QStringLiteral("detect takes no password"));
        if (!takeTimeout(parser.value(timeoutOption)) || !takeFamily(parser.value(familyOption)))
            return false;
        if (Family::isNetwork(model))
            return usage(QStringLiteral("detect looks on serial lines; search finds %1 projectors")
                             .arg(Family::displayName(model)));
        return takeCommand(words);
    }
    // metrics asks what query asks, and reads its JSON.
    const bool metrics = words.value(0) == QLatin1String("metrics");
    if (metrics && words.size() != 1)
        return usage(QStringLiteral("metrics takes no arguments; choose projectors with --all, "
                                    "--group or --projector"));
    if (metrics && !selecting) {
        QStringList forwarded = { arguments.value(0), QStringLiteral("--timeout"),
                                  parser.value(timeoutOption), QStringLiteral("--json") };
        if (parser.isSet(passwordFileOption))
            forwarded << QStringLiteral("--password-file") << parser.value(passwordFileOption);
        return takeTimeout(parser.value(timeoutOption))
            && takeLine(parser.value(portOption), parser.value(familyOption))
            && takeMetricsOfOne(forwarded, parser.isSet(portOption));
    }
    // inventory: the stored projectors chosen, all of them unless some are.
    const bool inventoryWanted = words.value(0) == QLatin1String("inventory");
    if (inventoryWanted && words.size() != 1)
        return usage(QStringLiteral("inventory takes no arguments; choose projectors with --all, "
                                    "--group or --projector"));
    if (selecting || inventoryWanted) {
        if (parser.isSet(portOption) || parser.isSet(familyOption) || parser.isSet(toOption))
            return usage(QStringLiteral("--projector, --group and --all take the port and "
                                        "family from the stored list, not from --port and "
                                        "--family"));
        // What each projector's own run is given: all but the choice of
        // projectors, its port and family added, the words kept as words.
        QStringList forwarded
            = { arguments.value(0), QStringLiteral("--timeout"), parser.value(timeoutOption) };
        if (json || metrics)
            forwarded << QStringLiteral("--json");
        if (!takeTimeout(parser.value(timeoutOption))
            || !takeSelection(
                parser.values(projectorOption), parser.values(groupOption),
                parser.isSet(allOption) || !selecting, forwarded,
                metrics || inventoryWanted ? QStringList { QStringLiteral("query") } : words,
                parser.isSet(passwordFileOption) ? parser.value(passwordFileOption) : QString()))
            return false;
        if (inventoryWanted) {
            inventory = true;
            commandName = QStringLiteral("inventory");
        }
        if (metrics) {
            command = Command::Metrics;
            commandName = QStringLiteral("metrics");
        }
        return true;
    }
    if (parser.isSet(toOption))
        return usage(QStringLiteral("--to is for search"));
    if (!takeTimeout(parser.value(timeoutOption))
        || !takeLine(parser.value(portOption), parser.value(familyOption))
        || !takeCommand(parser.positionalArguments()))
        return false;
    if (model != PJLink::ModelIndex) {
        if (parser.isSet(passwordFileOption))
            return usage(
                QStringLiteral("%1 projectors take no password").arg(Family::displayName(model)));
        return true;
    }
    return takePassword(parser.value(passwordFileOption), parser.isSet(passwordFileOption),
                        parser.isSet(portOption));
}

bool Invocation::takeSearch(const QStringList &words, const QString &to, bool timeoutGiven)
{
    command = Command::Search;
    commandName = QStringLiteral("search");
    if (words.size() != 1)
        return usage(QStringLiteral("search takes no arguments but --to ADDRESS"));
    searchTo = to;
    // Projectors answer a search after a random wait of up to a few seconds.
    if (!timeoutGiven) {
        timeoutMs = 5000;
        timeoutText = QStringLiteral("5");
    }
    return true;
}

bool Invocation::takePassword(const QString &passwordFile, bool passwordFileGiven, bool portGiven)
{
    // Never a plain argument: the command line is there for anyone to read.
    if (selectionEntry) {
        // One of stored projectors: its own password, or none. A password
        // given for one projector must not go to every one of them.
        password
            = selectionEntry->model == PJLink::ModelIndex ? selectionEntry->password : QString();
    } else if (passwordFileGiven) {
        if (const QString problem = readPassword(passwordFile, &password); !problem.isEmpty())
            return usage(problem);
    } else if (!qEnvironmentVariableIsEmpty("VANTREL_PJLINK_PASSWORD")) {
        // Set but empty, as an unset shell variable expands: no choice, so
        // the stored password still counts.
        password = QString::fromUtf8(qgetenv("VANTREL_PJLINK_PASSWORD"));
    } else {
        const ProjectorList projectors = selectionList ? *selectionList : ProjectorList::read();
        if (!projectors.damage().isEmpty())
            return storeUnreadable(projectors.damage());
        // Without --port, the current entry's.
        const ProjectorList::Projector *current = projectors.current();
        if (!portGiven && current && current->model == PJLink::ModelIndex && current->port == port)
            password = current->password;
        // --port names an address, not an entry: its stored password only
        // when every entry there has the same one.
        QStringList passwords;
        for (const ProjectorList::Projector &entry : projectors.entries()) {
            if (portGiven && entry.model == PJLink::ModelIndex && entry.port == port
                && !passwords.contains(entry.password))
                passwords.append(entry.password);
        }
        if (passwords.size() == 1)
            password = passwords.first();
        else if (passwords.size() > 1)
            warnings.append(QStringLiteral("the stored projectors at %1 have different "
                                           "passwords, so none is used; name one with "
                                           "--projector")
                                .arg(port));
    }
    // A stored entry's is that entry's own error, told by the selection.
    if (password.size() > PJLink::MaxPassword && !selectionEntry)
        return usage(
            QStringLiteral("a password has at most %1 characters").arg(PJLink::MaxPassword));
    return true;
}

bool Invocation::takeTimeout(const QString &seconds)
{
    bool ok = false;
    const double value = seconds.toDouble(&ok);
    // An hour is far beyond any projector's answer, and keeps the
    // milliseconds well inside an int.
    if (!ok || !std::isfinite(value) || value <= 0 || value > 3600)
        return usage(QStringLiteral("--timeout takes seconds above 0 and up to 3600, not \"%1\"")
                         .arg(seconds));
    timeoutMs = qMax(1, int(std::lround(value * 1000)));
    timeoutText = QString::number(value);
    return true;
}

bool Invocation::takeFamily(const QString &familyOption)
{
    if (familyOption.isEmpty())
        return true;
    model = Family::fromKey(familyOption);
    if (model < 0)
        return usage(QStringLiteral("unknown family \"%1\"; the families are %2")
                         .arg(familyOption, joined(Family::keys())));
    return true;
}

bool Invocation::takeLine(const QString &portOption, const QString &familyOption)
{
    const QString families = joined(Family::keys());
    if (!takeFamily(familyOption))
        return false;
    port = portOption;
    if (port.isEmpty() || model < 0) {
        if (const QString problem = StoredSettings::formatProblem(); !problem.isEmpty())
            return storeUnreadable(problem);
        const StoredSettings::Choice stored = StoredSettings::read();
        if (port.isEmpty())
            port = stored.port;
        if (model < 0) {
            if (!Family::isKnown(stored.model))
                return usage(QStringLiteral("the stored family (Model=%1 in %2) is unknown; "
                                            "give --family with one of %3")
                                 .arg(stored.model)
                                 .arg(StoredSettings::location(), families));
            model = stored.model;
        }
    }
    if (Family::isNetwork(model))
        return true; // checked with the command, which may need no address
    const LinkAddress address = LinkAddress::parse(port);
    if (!address.isValid())
        return usage(
            QStringLiteral("\"%1\" is not a valid address: %2").arg(port, address.error()));
    return true;
}

bool Invocation::takeCommand(const QStringList &words)
{
    QStringList names;
    for (const auto &known : Commands)
        names.append(QLatin1String(known.name));
    if (words.isEmpty())
        return usage(QStringLiteral("no command given; the commands are %1").arg(joined(names)));
    commandName = words.first();
    const int index = names.indexOf(commandName);
    if (index < 0)
        return usage(QStringLiteral("unknown command \"%1\"; the commands are %2")
                         .arg(commandName, joined(names)));
    command = Commands[index].command;
    const QStringList arguments = words.mid(1);
    if (arguments.size() != Commands[index].arguments) {
        static const char *const forms[] = { "", "one argument", "two arguments" };
        return usage(Commands[index].arguments == 0
                         ? QStringLiteral("%1 takes no arguments").arg(commandName)
                         : QStringLiteral("%1 takes %2")
                               .arg(commandName, QLatin1String(forms[Commands[index].arguments])));
    }
    if (command == Command::Search)
        return usage(QStringLiteral("search takes no arguments but --to ADDRESS"));
    if (command != Command::List && command != Command::Detect && port.isEmpty())
        return usage(model == PJLink::ModelIndex
                         ? QStringLiteral("no address chosen; give --port or choose one in "
                                          "Vantrel's settings")
                         : QStringLiteral("no serial port chosen; give --port or choose one in "
                                          "Vantrel's settings"));
    bool taken = true;
    switch (command) {
    case Command::Press:
        taken = takePress(arguments.at(0));
        break;
    case Command::Set:
        taken = takeSet(arguments.at(0), arguments.at(1));
        break;
    case Command::Send:
        taken = takeSend(arguments.at(0));
        break;
    default:
        break;
    }
    if (!taken || !Family::isNetwork(model) || command == Command::List
        || command == Command::Detect)
        return taken;
    // Read as the link will read it: a malformed address is a usage error,
    // not an unreachable projector.
    const LinkAddress address = LinkAddress::parsePJLink(port);
    if (!address.isValid())
        return usage(
            QStringLiteral("\"%1\" is not a valid address: %2").arg(port, address.error()));
    return true;
}

bool Invocation::takePress(const QString &name)
{
    const QString family = Family::displayName(model);
    if (model == PJLink::ModelIndex) {
        pjlinkButton = PJLink::findButton(name);
        if (!pjlinkButton)
            return usage(QStringLiteral("unknown button \"%1\" for %2; the buttons are %3")
                             .arg(name, family, joined(Catalogue::pressNames(model))));
        return true;
    }
    if (model == Vivitek::ModelIndex)
        vivitekButton = Vivitek::findButton(name);
    else
        acerButton = Acer::findButton(name);
    if (acerButton && !Acer::sendsFor(*acerButton, model))
        return usage(QStringLiteral("%1 projectors have no button \"%2\"; the buttons are %3")
                         .arg(family, name, joined(Catalogue::pressNames(model))));
    if (!acerButton && !vivitekButton)
        return usage(QStringLiteral("unknown button \"%1\" for %2; the buttons are %3")
                         .arg(name, family, joined(Catalogue::pressNames(model))));
    return true;
}

bool Invocation::takeSet(const QString &listName, const QString &entryName)
{
    // The inputs are the projector's own: they are known once it is asked.
    if (model == PJLink::ModelIndex) {
        if (listName != QLatin1String("input"))
            return usage(QStringLiteral("unknown list \"%1\"; the lists are input").arg(listName));
        inputName = entryName;
        return true;
    }
    const QStringList lists = Catalogue::listNames(model);
    if (lists.isEmpty())
        return usage(QStringLiteral("set is for Vivitek projectors; %1 projectors have no lists")
                         .arg(Family::displayName(model)));
    const int index = lists.indexOf(listName);
    if (index < 0)
        return usage(
            QStringLiteral("unknown list \"%1\"; the lists are %2").arg(listName, joined(lists)));
    list = Catalogue::settableLists(model).at(index);
    entry = Vivitek::findListEntry(list, entryName);
    if (entry == 0)
        return usage(QStringLiteral("unknown %1 \"%2\"; the entries are %3")
                         .arg(listName, entryName, joined(Catalogue::entryNames(list))));
    return true;
}

bool Invocation::takeSend(const QString &textArgument)
{
    for (const QChar c : textArgument) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return usage(QStringLiteral("send takes printable ASCII text only; the carriage "
                                        "return is added"));
    }
    if (textArgument.isEmpty())
        return usage(QStringLiteral("send needs a text"));
    text = textArgument.toLatin1();
    return true;
}

bool Invocation::takeSelection(const QStringList &names, const QStringList &groups, bool all,
                               const QStringList &forwarded, const QStringList &words,
                               const QString &passwordFile)
{
    // Each stored projector logs in with its own password.
    if (!passwordFile.isEmpty())
        return usage(QStringLiteral("--password-file is for a run on one --port; stored "
                                    "projectors use their own stored passwords"));
    const ProjectorList projectors = ProjectorList::read();
    if (!projectors.damage().isEmpty())
        return storeUnreadable(projectors.damage());
    if (!projectors.note().isEmpty())
        warnings.append(projectors.note());
    const SharedList shared(projectors);
    QStringList known;
    for (const ProjectorList::Projector &projector : projectors.entries())
        known.append(projector.name);
    for (const QString &name : names) {
        if (!projectors.find(name))
            return usage(QStringLiteral("there is no projector \"%1\"; the projectors are %2")
                             .arg(name, known.isEmpty() ? QStringLiteral("none") : joined(known)));
    }
    bool checked = false; // the command was checked against a family
    for (const ProjectorList::Projector &projector : projectors.entries()) {
        if (!all && !names.contains(projector.name)
            && !(groups.contains(projector.group) && !projector.group.isEmpty()))
            continue;
        Target target;
        target.name = projector.name;
        target.group = projector.group;
        target.error = entryProblem(projector.model, projector.port);
        // That entry's own error, not the others'.
        if (target.error.isEmpty() && projector.model == PJLink::ModelIndex
            && projector.password.size() > PJLink::MaxPassword)
            target.error = QStringLiteral("the stored password is longer than %1 characters")
                               .arg(PJLink::MaxPassword);
        if (Family::isKnown(projector.model))
            target.family = Family::key(projector.model);
        target.arguments = forwarded;
        // An entry that cannot be used still has the command checked for
        // its family, on a port that stands in for its own.
        target.arguments << QStringLiteral("--port")
                         << (target.error.isEmpty() ? projector.port : QStringLiteral("ttyS0"))
                         << QStringLiteral("--family") << target.family;
        target.arguments << QStringLiteral("--") << words;
        // Whatever one projector's family cannot take stops the run before
        // anything is sent to any of them.
        if (!target.family.isEmpty()) {
            const EntryRun entry(projector);
            const auto one = std::make_shared<const Invocation>(target.arguments);
            if (one->outcome == Outcome::ConfigError) {
                outcome = one->outcome;
                message = one->message;
                return false;
            }
            if (one->outcome != Outcome::Run)
                return usage(projector.name + QLatin1String(": ") + one->message);
            command = one->command;
            commandName = one->commandName;
            checked = true;
            if (target.error.isEmpty())
                target.invocation = one;
        }
        if (!target.error.isEmpty())
            target.arguments.clear();
        targets.append(target);
    }
    if (targets.isEmpty())
        return usage(all ? QStringLiteral("there are no stored projectors; add one with "
                                          "projector add")
                         : QStringLiteral("no stored projector is in the group \"%1\"")
                               .arg(groups.join(QLatin1String("\" or \""))));
    if (!checked) {
        // No family to check the command against: at least it is a command.
        const Invocation one(forwarded
                             + QStringList { QStringLiteral("--port"), QStringLiteral("ttyS0"),
                                             QStringLiteral("--family"), Family::key(0),
                                             QStringLiteral("--") }
                             + words);
        if (one.outcome != Outcome::Run)
            return usage(one.message);
        command = one.command;
        commandName = one.commandName;
    }
    return true;
}

QString Invocation::entryProblem(int storedModel, const QString &storedPort)
{
    if (!Family::isKnown(storedModel))
        return QStringLiteral("the stored family (Model=%1) is unknown").arg(storedModel);
    if (storedPort.isEmpty())
        return QStringLiteral("no port stored");
    LinkAddress address = LinkAddress::parse(storedPort);
    if (address.isValid() && storedModel == PJLink::ModelIndex)
        address = LinkAddress::parsePJLink(storedPort);
    if (!address.isValid())
        return QStringLiteral("the stored address \"%1\" is not valid: %2")
            .arg(storedPort, address.error());
    return QString();
}

bool Invocation::takeExporter(const QStringList &words, const QString &listen, bool listenGiven)
{
    command = Command::Exporter;
    commandName = QStringLiteral("exporter");
    if (words.size() != 1)
        return usage(QStringLiteral("exporter takes no arguments but --listen ADDRESS:PORT"));
    if (!listenGiven)
        return true;
    // Numeric only: a name would need a look-up, and could stand for several.
    const QString wrong = QStringLiteral("--listen takes a numeric address and a port, such as "
                                         "0.0.0.0:%1 or [::1]:%1, not \"%2\"")
                              .arg(ExporterPort)
                              .arg(listen);
    const int colon = listen.lastIndexOf(QLatin1Char(':'));
    QString host = listen.left(colon);
    const bool bracketed
        = host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')) && host.size() > 2;
    if (bracketed)
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const int number = listen.mid(colon + 1).toInt(&ok);
    const QHostAddress address(host);
    const bool six = address.protocol() == QAbstractSocket::IPv6Protocol;
    if (colon < 0 || !ok || number < 0 || number > 65535 || address.isNull() || six != bracketed
        || host.contains(QLatin1Char('%')))
        return usage(wrong);
    listenAddress = address.toString();
    listenPort = number;
    return true;
}

// The one projector of --port, or the stored current one, under its stored
// name when it has one.
bool Invocation::takeMetricsOfOne(const QStringList &forwarded, bool portGiven)
{
    command = Command::Metrics;
    commandName = QStringLiteral("metrics");
    if (port.isEmpty())
        return usage(QStringLiteral("no serial port chosen; give --port or choose one in "
                                    "Vantrel's settings"));
    Target target;
    target.name = port;
    const ProjectorList projectors = ProjectorList::read();
    const ProjectorList::Projector *current = projectors.current();
    if (!portGiven && current && current->port == port) {
        target.name = current->name;
        target.group = current->group;
    }
    target.arguments = forwarded;
    target.arguments << QStringLiteral("--port") << port << QStringLiteral("--family")
                     << Family::key(model) << QStringLiteral("--") << QStringLiteral("query");
    const Invocation one(target.arguments);
    if (one.outcome != Outcome::Run)
        return usage(one.message);
    targets.append(target);
    return true;
}

bool Invocation::takeProjectorEdit(const QStringList &words, const QString &portOption,
                                   const QString &familyOption, const QString &groupOption,
                                   const QString &passwordFile, bool passwordFileGiven)
{
    command = Command::Projector;
    const QString action = words.value(1);
    commandName = QStringLiteral("projector %1").arg(action).trimmed();
    const QString forms = QStringLiteral("projector list, projector add NAME --family F --port P "
                                         "[--group G], projector remove NAME");
    const bool adding = action == QLatin1String("add");
    if (action == QLatin1String("list") && words.size() == 2)
        edit = Edit::List;
    else if (adding && words.size() == 3)
        edit = Edit::Add;
    else if (action == QLatin1String("remove") && words.size() == 3)
        edit = Edit::Remove;
    else
        return usage(QStringLiteral("the projector commands are %1").arg(forms));
    if (!adding
        && (!portOption.isEmpty() || !familyOption.isEmpty() || !groupOption.isEmpty()
            || passwordFileGiven))
        return usage(QStringLiteral("only projector add takes --family, --port, --group and "
                                    "--password-file"));
    name = words.value(2);
    if (!adding)
        return true;

    if (const QString problem = ProjectorList::nameProblem(name); !problem.isEmpty())
        return usage(QStringLiteral("\"%1\" cannot name a projector: %2").arg(name, problem));
    if (const QString problem = ProjectorList::groupProblem(groupOption); !problem.isEmpty())
        return usage(QStringLiteral("\"%1\" cannot name a group: %2").arg(groupOption, problem));
    group = groupOption;
    model = Family::fromKey(familyOption);
    if (model < 0)
        return usage(
            QStringLiteral("projector add needs --family, one of %1").arg(joined(Family::keys())));
    port = portOption;
    if (port.isEmpty())
        return usage(QStringLiteral("projector add needs --port"));
    // Stored, it would break projector list's one line per entry.
    for (const QChar c : port) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator)
            return usage(QStringLiteral("--port cannot hold control characters (TAB, CR, LF)"));
    }
    // Checked as --port is, or every later run on the list would fail on it.
    LinkAddress address = LinkAddress::parse(port);
    if (address.isValid() && model == PJLink::ModelIndex)
        address = LinkAddress::parsePJLink(port);
    if (!address.isValid())
        return usage(
            QStringLiteral("\"%1\" is not a valid address: %2").arg(port, address.error()));

    // Never a plain argument: the command line is there for anyone to read.
    const bool logsIn = Family::key(model) == QLatin1String("pjlink");
    const QByteArray fromEnvironment = qgetenv("VANTREL_PJLINK_PASSWORD");
    if (!logsIn) {
        if (passwordFileGiven)
            return usage(
                QStringLiteral("%1 projectors take no password").arg(Family::displayName(model)));
        return true;
    }
    if (passwordFileGiven) {
        if (const QString problem = readPassword(passwordFile, &password); !problem.isEmpty())
            return usage(problem);
    } else {
        password = QString::fromUtf8(fromEnvironment);
    }
    if (password.size() > 32)
        return usage(QStringLiteral("a password has at most 32 characters"));
    return true;
}

bool Invocation::storeUnreadable(const QString &formatProblem)
{
    outcome = Outcome::ConfigError;
    message = formatProblem
        + QStringLiteral("; the settings file is left as it is until this is put right");
    return false;
}

bool Invocation::usage(const QString &problem)
{
    outcome = Outcome::UsageError;
    message = problem;
    return false;
}
