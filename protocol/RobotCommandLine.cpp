#include "protocol/RobotCommandLine.h"

#include "protocol/RobotCommand.h"

#include <QStringList>

QString robotCommandLine(const SerialMessage& frame)
{
    const RobotCommand* command = RobotCommands::find(frame.bytes);
    if (!command || frame.length < command->frameLength())
        return QString();
    QStringList items {QString::fromLatin1(command->word)};
    for (int value : command->values(frame))
        items << QString::number(value);
    return items.join(QLatin1Char(' '));
}
