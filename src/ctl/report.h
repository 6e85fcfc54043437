#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

// The exit codes, in the habit of sysexits.h.
namespace ExitCode {
constexpr int Done = 0;
constexpr int Refused = 1; // the projector refused, or did not say what was asked
constexpr int NoAnswer = 2;
constexpr int Usage = 64; // EX_USAGE
constexpr int Unavailable = 69; // EX_UNAVAILABLE: the port
constexpr int CannotSave = 73; // EX_CANTCREAT: the settings store
constexpr int NoPermission = 77; // EX_NOPERM: a PJLink password rejected or missing
constexpr int Config = 78; // EX_CONFIG: the settings file does not parse, or an entry is unusable
} // namespace ExitCode

// What the program tells its caller: text lines on standard output, or with
// --json one object there and nothing else. Errors go to standard error in
// both cases, and into the object as "error" too.
class Report
{
public:
    explicit Report(bool json);
    // Keeps everything for the caller instead of writing it: the report of
    // one projector among several.
    enum Collect { Collected };
    Report(bool json, Collect);

    const QStringList &printed() const { return lines; }
    const QStringList &warnings() const { return warned; }
    const QJsonObject &result() const { return object; }

    bool isJson() const { return json; }
    // A field of the JSON object; nothing in text mode.
    void set(const QString &key, const QJsonValue &value);
    // With --json, what is printed instead of the object: a list of results,
    // one for each thing asked; errors and the exit code are then only on
    // standard error and in the exit status.
    void setList(const QJsonArray &list);
    // A line of the text output; nothing in JSON mode.
    void print(const QString &line);
    // On standard error in both modes; the run goes on.
    void warn(const QString &message);
    // Ends the output; returns exitCode for main() to return.
    int finish(int exitCode, const QString &error = QString());

    // A reply as the user can read it: as it came when it is printable
    // ASCII, otherwise as the traffic log's hex bytes.
    static QString shown(const QString &reply);

private:
    const bool json;
    const bool collect = false;
    QJsonObject object;
    QJsonArray list;
    bool listed = false;
    QStringList lines;
    QStringList warned;
};
