#include "report.h"

#include "trafficlog.h"

#include <QJsonDocument>

#include <algorithm>
#include <cstdio>

namespace {

void write(FILE *stream, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

Report::Report(bool json)
    : json(json)
{ }

Report::Report(bool json, Collect)
    : json(json)
    , collect(true)
{ }

void Report::set(const QString &key, const QJsonValue &value)
{
    object.insert(key, value);
}

void Report::setList(const QJsonArray &results)
{
    list = results;
    listed = true;
}

void Report::print(const QString &line)
{
    if (collect)
        lines.append(line);
    else if (!json)
        write(stdout, (line + QLatin1Char('\n')).toLocal8Bit());
}

void Report::warn(const QString &message)
{
    if (collect)
        return warned.append(message);
    write(stderr, (QLatin1String("vantrelctl: ") + message + QLatin1Char('\n')).toLocal8Bit());
}

int Report::finish(int exitCode, const QString &error)
{
    if (!error.isEmpty()) {
        warn(error);
        object.insert(QStringLiteral("error"), error);
    }
    if (collect) {
        object.insert(QStringLiteral("exit"), exitCode);
    } else if (json) {
        object.insert(QStringLiteral("exit"), exitCode);
        // JSON is UTF-8 whatever the locale.
        const QJsonDocument document = listed ? QJsonDocument(list) : QJsonDocument(object);
        write(stdout, document.toJson(QJsonDocument::Compact) + '\n');
    }
    return exitCode;
}

namespace {

bool printableAscii(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.unicode() >= 0x20 && c.unicode() <= 0x7e; });
}

} // namespace

QString Report::shown(const QString &reply)
{
    // A serial reply holds one character per byte received.
    if (printableAscii(reply))
        return reply;
    return TrafficLog::bytesText(reply.toLatin1(), false).trimmed();
}
