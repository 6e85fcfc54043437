#pragma once

#include "projectorstate.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The inventory of the stored projectors: what each is, where, and how its
// lamps and filter stand, as CSV (RFC 4180) or JSON. Names and parts come
// from the projectors themselves, so a cell a spreadsheet would take for a
// formula is written as text.
namespace Inventory {

struct Row
{
    QString name;
    QString group;
    int model = -1;
    QString address;
    ProjectorState state;
};

// name,group,family,address,make,model,serial,software,lamp_hours,lamp_part,
// filter_hours,filter_part,state,last_answer,info (PJLink's "other
// information"), so that the columns before it keep their places
QStringList header();
// One cell: quoted when it holds a semicolon, a comma, a quote, a CR or a
// LF, or begins with a blank; "'" in front when its first character after
// spaces is =, +, -, @, TAB or CR.
QString cell(const QString &value);
// The header and a line for each row, each ending in CR LF.
QByteArray csv(const QList<Row> &rows);
// An array of objects with the header's keys; lamp_hours an array of numbers.
QByteArray json(const QList<Row> &rows);

} // namespace Inventory
