#include "metrics.h"

#include "report.h"

#include <QJsonArray>

#include <functional>

namespace Metrics {

namespace {

struct Sample
{
    QString extraLabels; // e.g. lamp="1", already escaped
    QString value;
};

QString escaped(QString value)
{
    return value.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('"'), QLatin1String("\\\""))
        .replace(QLatin1Char('\n'), QLatin1String("\\n"));
}

QString labelsOf(const Projector &projector, const QString &extra)
{
    QString labels
        = QStringLiteral("name=\"%1\",family=\"%2\",group=\"%3\"")
              .arg(escaped(projector.name), escaped(projector.family), escaped(projector.group));
    if (!extra.isEmpty())
        labels += QLatin1Char(',') + extra;
    return QLatin1Char('{') + labels + QLatin1Char('}');
}

// A whole number of hours as the projector gave it, in seconds, the base
// unit Prometheus wants; empty for anything else.
QString hours(const QJsonValue &value)
{
    if (value.isDouble())
        return QString::number(qint64(value.toDouble()) * 3600);
    bool ok = false;
    const qint64 number = value.toString().trimmed().toLongLong(&ok);
    return ok && number >= 0 ? QString::number(number * 3600) : QString();
}

// Why a projector did not answer, in one word: what its run noted, or else
// what its exit code says.
QString failure(const Projector &projector)
{
    const QString problem = projector.query.value(QStringLiteral("problem")).toString();
    if (!problem.isEmpty())
        return problem;
    switch (projector.query.value(QStringLiteral("exit")).toInt(-1)) {
    case ExitCode::NoAnswer:
        return QStringLiteral("no_answer");
    case ExitCode::NoPermission:
        return QStringLiteral("password_rejected");
    case ExitCode::Config:
    case ExitCode::Usage:
        return QStringLiteral("config");
    default:
        return QStringLiteral("other");
    }
}

QString lampState(const QString &lamp)
{
    static const QStringList states
        = { QStringLiteral("off"), QStringLiteral("on"), QStringLiteral("cooling down"),
            QStringLiteral("warming up") };
    const int state = states.indexOf(lamp);
    return state < 0 ? QString() : QString::number(state);
}

bool reachable(const Projector &projector)
{
    return projector.answeredAtMs > 0;
}

QList<Sample> lampHours(const QJsonObject &values)
{
    QList<Sample> samples;
    const QJsonArray lamps = values.value(QStringLiteral("lamps")).toArray();
    for (int i = 0; i < lamps.size(); ++i) {
        const QString value = hours(lamps.at(i).toObject().value(QStringLiteral("hours")));
        if (!value.isEmpty())
            samples.append({ QStringLiteral("lamp=\"%1\"").arg(i + 1), value });
    }
    // The serial families have one lamp.
    const QString single = hours(values.value(QStringLiteral("lamp-hours")));
    if (lamps.isEmpty() && !single.isEmpty())
        samples.append({ QStringLiteral("lamp=\"1\""), single });
    return samples;
}

QList<Sample> lampsLit(const QJsonObject &values)
{
    QList<Sample> samples;
    const QJsonArray lamps = values.value(QStringLiteral("lamps")).toArray();
    for (int i = 0; i < lamps.size(); ++i) {
        const QJsonValue on = lamps.at(i).toObject().value(QStringLiteral("on"));
        if (on.isBool())
            samples.append({ QStringLiteral("lamp=\"%1\"").arg(i + 1),
                             on.toBool() ? "1" : QStringLiteral("0") });
    }
    return samples;
}

QList<Sample> health(const QJsonObject &values)
{
    static const QStringList levels
        = { QStringLiteral("ok"), QStringLiteral("warning"), QStringLiteral("error") };
    QList<Sample> samples;
    const QJsonObject parts = values.value(QStringLiteral("health")).toObject();
    for (auto it = parts.begin(); it != parts.end(); ++it) {
        const int level = levels.indexOf(it.value().toString());
        if (level >= 0)
            samples.append(
                { QStringLiteral("part=\"%1\"").arg(escaped(it.key())), QString::number(level) });
    }
    return samples;
}

QList<Sample> single(const QString &value)
{
    return value.isEmpty() ? QList<Sample>() : QList<Sample> { { QString(), value } };
}

} // namespace

QString exposition(const QList<Projector> &projectors)
{
    using Values = std::function<QList<Sample>(const Projector &, const QJsonObject &)>;
    const struct
    {
        const char *name;
        const char *help;
        Values values;
    } families[] = {
        { "vantrel_reachable", "Whether the projector answered this run (1) or not (0).",
          [](const Projector &p, const QJsonObject &) {
              return QList<Sample> { { QString(), reachable(p) ? "1" : QStringLiteral("0") } };
          } },
        // Only when it happened: the rest of the output stays as it was.
        { "vantrel_login_rejected",
          "1 when the projector rejected the PJLink password, or asked for one and none was "
          "stored.",
          [](const Projector &p, const QJsonObject &) {
              return single(p.query.value(QStringLiteral("exit")).toInt() == ExitCode::NoPermission
                                ? QStringLiteral("1")
                                : QString());
          } },
        { "vantrel_lamp_state", "The lamp: 0 off, 1 on, 2 cooling down, 3 warming up.",
          [](const Projector &, const QJsonObject &v) {
              return single(lampState(v.value(QStringLiteral("lamp")).toString()));
          } },
        { "vantrel_lamp_on", "Whether each lamp is lit (1) or not (0).",
          [](const Projector &, const QJsonObject &v) { return lampsLit(v); } },
        { "vantrel_probe_failure",
          "1 for why the projector did not answer, as reason: in_use (by another program), "
          "refused, timed_out, no_answer, password_rejected, not_found, out_of_descriptors (the "
          "exporter's own), scrape_timeout, ...",
          [](const Projector &p, const QJsonObject &) {
              return reachable(p)
                  ? QList<Sample>()
                  : QList<Sample> { { QStringLiteral("reason=\"%1\"").arg(escaped(failure(p))),
                                      QStringLiteral("1") } };
          } },
        { "vantrel_lamp_usage_seconds",
          "How long each lamp has burned, as the projector counts it (in whole hours).",
          [](const Projector &, const QJsonObject &v) { return lampHours(v); } },
        { "vantrel_filter_usage_seconds",
          "How long the air filter has been in use, as the projector counts it (in whole hours).",
          [](const Projector &, const QJsonObject &v) {
              return single(hours(v.value(QStringLiteral("filter-hours"))));
          } },
        { "vantrel_health", "Each part the projector watches: 0 ok, 1 warning, 2 error.",
          [](const Projector &, const QJsonObject &v) { return health(v); } },
        { "vantrel_last_answer_timestamp_seconds",
          "When the projector last answered, in seconds since the epoch.",
          [](const Projector &p, const QJsonObject &) {
              return single(reachable(p) ? QString::number(double(p.answeredAtMs) / 1000, 'f', 3)
                                         : QString());
          } },
    };

    QString text;
    for (const auto &family : families) {
        QString samples;
        for (const Projector &projector : projectors) {
            // Nothing but reachable of one that did not answer.
            const QJsonObject values = reachable(projector)
                ? projector.query.value(QStringLiteral("values")).toObject()
                : QJsonObject();
            for (const Sample &sample : family.values(projector, values))
                samples += QLatin1String(family.name) + labelsOf(projector, sample.extraLabels)
                    + QLatin1Char(' ') + sample.value + QLatin1Char('\n');
        }
        if (samples.isEmpty())
            continue;
        text += QStringLiteral("# HELP %1 %2\n# TYPE %1 gauge\n")
                    .arg(QLatin1String(family.name), QLatin1String(family.help))
            + samples;
    }
    return text;
}

} // namespace Metrics
