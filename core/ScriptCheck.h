#pragma once

#include <QString>
#include <QList>
#include <QStringList>

// Whether a script row can be run as written, checked against the robot command table:
// a robot command needs exactly its number of integer arguments, each within the
// command's bounds; "wait" one integer, the milliseconds; "end" ends the script whatever
// follows it; a row without fields, or with one empty field, does nothing. Returns why
// the row cannot be run, in words for the operator, or an empty string when it can.
QString checkScriptRow(const QStringList& fields);

// What a load tells of the rows of fileName's script that cannot be run as written: the
// first few by number and reason, how many more, and what to do; empty when all can.
QString rejectedRowsSummary(const QString& fileName, const QList<QStringList>& rows);
