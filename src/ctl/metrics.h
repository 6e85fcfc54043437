#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

// What query found out of each projector, as the Prometheus text exposition
// format gives it to node_exporter's textfile collector or any scraper. Each
// value is there for the projectors whose family reports it; a projector
// that did not answer has reachable 0 and nothing else.
namespace Metrics {

struct Projector
{
    QString name;
    QString family;
    QString group;
    QJsonObject query; // the JSON object query printed
    qint64 answeredAtMs = 0; // since the epoch; 0: no answer
};

QString exposition(const QList<Projector> &projectors);

} // namespace Metrics
