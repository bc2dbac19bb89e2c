#include "core/ScriptCheck.h"

#include "protocol/RobotCommand.h"

#include <limits>

namespace {

// The load summary names this many rows; the marks in the table show them all.
constexpr int SummaryRowCount = 5;

// A field as a reason quotes it: a long one cut short, so that the message stays readable.
QString quoted(const QString& field)
{
    constexpr int MaxQuoted = 24;
    return QLatin1Char('"') + (field.size() > MaxQuoted ? field.left(MaxQuoted) + QStringLiteral("...") : field)
        + QLatin1Char('"');
}

// The robot's words in table order: "mla, mra, ...".
QString robotWords()
{
    QStringList words;
    for (const RobotCommand& command : RobotCommands::all)
        words << QLatin1String(command.word);
    return words.join(QStringLiteral(", "));
}

QString countProblem(const QString& word, int expected, const QStringList& fields)
{
    const int given = int(fields.size()) - 1;
    QString problem = QStringLiteral("%1 takes %2 %3, this row has %4")
                          .arg(word)
                          .arg(expected)
                          .arg(expected == 1 ? QStringLiteral("argument") : QStringLiteral("arguments"))
                          .arg(given);
    if (given > 0 && fields.last().isEmpty())
        problem += QStringLiteral(" (a \";\" at the end of the line adds an empty one)");
    return problem;
}

// Arguments are converted as the runner converts them: blanks around them do no harm.
QString argumentProblem(const QStringList& fields, int minimum, int maximum)
{
    for (int i = 1; i < fields.size(); ++i) {
        bool ok = false;
        const int value = fields[i].toInt(&ok);
        if (!ok)
            return QStringLiteral("argument %1 (%2) is not a whole number").arg(i).arg(quoted(fields[i]));
        if (value < minimum || value > maximum)
            return QStringLiteral("argument %1 (%2) is outside %3 to %4").arg(i).arg(value).arg(minimum).arg(maximum);
    }
    return QString();
}

} // namespace

QString checkScriptRow(const QStringList& fields)
{
    if (fields.isEmpty() || fields == QStringList(QString()))
        return QString();
    const QString& word = fields.first();
    if (word == QLatin1String("end"))
        return QString();
    if (word == QLatin1String("wait")) {
        if (fields.size() != 2)
            return countProblem(word, 1, fields);
        return argumentProblem(fields, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    }
    const RobotCommand* command = RobotCommands::find(word);
    if (!command)
        return QStringLiteral("%1 is no command; the commands are %2, wait and end, in lower case")
            .arg(quoted(word), robotWords());
    if (fields.size() != 1 + command->valueCount)
        return countProblem(word, command->valueCount, fields);
    return argumentProblem(fields, command->minimum, command->maximum);
}

QString rejectedRowsSummary(const QString& fileName, const QList<QStringList>& rows)
{
    QStringList named;
    int rejected = 0;
    for (int row = 0; row < rows.size(); ++row) {
        const QString reason = checkScriptRow(rows[row]);
        if (reason.isEmpty())
            continue;
        if (++rejected <= SummaryRowCount)
            named << QStringLiteral("Row %1: %2.").arg(row + 1).arg(reason);
    }
    if (rejected == 0)
        return QString();
    const QString count = rejected == 1 ? QStringLiteral("a row") : QStringLiteral("%1 rows").arg(rejected);
    QString text = QStringLiteral("%1 has %2 that cannot be run as written, so Start will refuse it:\n\n")
                       .arg(fileName, count)
                   + named.join(QLatin1Char('\n'));
    if (rejected > named.size())
        text += QStringLiteral("\n... and %1 more.").arg(rejected - named.size());
    text += QStringLiteral("\n\nThe rows are marked in the table: correct them there, or in the file and load "
                           "it again.");
    return text;
}
