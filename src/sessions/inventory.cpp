#include "inventory.h"

#include "family.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace Inventory {

namespace {

QStringList fields(const Row &row)
{
    const ProjectorState &s = row.state;
    return { row.name,
             row.group,
             Family::key(row.model),
             row.address,
             s.make,
             s.model,
             s.serialNumber,
             s.softwareVersion,
             s.lampHoursText(),
             s.lampPart,
             s.filterText(),
             s.filterPart,
             s.stateText(),
             s.lastAnswer.isValid() ? s.lastAnswer.toUTC().toString(Qt::ISODate) : QString() };
}

} // namespace

QStringList header()
{
    return { QStringLiteral("name"),         QStringLiteral("group"),
             QStringLiteral("family"),       QStringLiteral("address"),
             QStringLiteral("make"),         QStringLiteral("model"),
             QStringLiteral("serial"),       QStringLiteral("software"),
             QStringLiteral("lamp_hours"),   QStringLiteral("lamp_part"),
             QStringLiteral("filter_hours"), QStringLiteral("filter_part"),
             QStringLiteral("state"),        QStringLiteral("last_answer") };
}

QString cell(const QString &value)
{
    QString text = value;
    static const QString formula = QStringLiteral("=+-@");
    if (!text.isEmpty() && formula.contains(text.at(0)))
        text.prepend(QLatin1Char('\''));
    const bool quoted = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"'))
        || text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
    if (!quoted)
        return text;
    text.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QByteArray csv(const QList<Row> &rows)
{
    QString text = header().join(QLatin1Char(',')) + QLatin1String("\r\n");
    for (const Row &row : rows) {
        QStringList cells;
        for (const QString &field : fields(row))
            cells.append(cell(field));
        text += cells.join(QLatin1Char(',')) + QLatin1String("\r\n");
    }
    return text.toUtf8();
}

QByteArray json(const QList<Row> &rows)
{
    const QStringList keys = header();
    QJsonArray array;
    for (const Row &row : rows) {
        const QStringList values = fields(row);
        QJsonObject object;
        for (int i = 0; i < keys.size(); ++i)
            object.insert(keys.at(i), values.at(i));
        QJsonArray hours;
        if (row.state.lamps) {
            for (const PJLink::Lamp &lamp : *row.state.lamps)
                hours.append(lamp.hours);
        }
        object.insert(QStringLiteral("lamp_hours"), hours);
        if (!row.state.filterText().isEmpty())
            object.insert(QStringLiteral("filter_hours"), *row.state.filterHours);
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace Inventory
