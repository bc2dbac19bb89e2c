#include "core/ScriptCheck.h"

#include "protocol/RobotCommand.h"

#include <limits>

namespace {

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
