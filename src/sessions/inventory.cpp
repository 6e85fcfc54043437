#include "inventory.h"

#include "family.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

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
             s.lastAnswer.isValid() ? s.lastAnswer.toUTC().toString(Qt::ISODate) : QString(),
             s.info };
}

} // namespace

QStringList header()
{
    return {
        QStringLiteral("name"),      QStringLiteral("group"),        QStringLiteral("family"),
        QStringLiteral("address"),   QStringLiteral("make"),         QStringLiteral("model"),
        QStringLiteral("serial"),    QStringLiteral("software"),     QStringLiteral("lamp_hours"),
        QStringLiteral("lamp_part"), QStringLiteral("filter_hours"), QStringLiteral("filter_part"),
        QStringLiteral("state"),     QStringLiteral("last_answer"),  QStringLiteral("info")
    };
}

QString cell(const QString &value)
{
    QString text = value;
    // What a spreadsheet may run: a formula's first character after blanks,
    // or a TAB or CR that some take as a field's start.
    int first = 0;
    while (first < text.size() && text.at(first) == QLatin1Char(' '))
        ++first;
    static const QString formula = QStringLiteral("=+-@\t\r");
    if (first < text.size() && formula.contains(text.at(first)))
        text.prepend(QLatin1Char('\''));
    // A semicolon is the separator of spreadsheets in many languages, and
    // blanks in front are dropped by some readers.
    static const QString special = QStringLiteral(";,\"\r\n");
    const bool quoted
        = std::any_of(text.cbegin(), text.cend(), [](QChar c) { return special.contains(c); })
        || (!value.isEmpty() && value.at(0).isSpace());
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
