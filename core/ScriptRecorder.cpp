#include "core/ScriptRecorder.h"

#include "core/DriveLink.h"
#include "core/ScriptRunner.h"
#include "protocol/RobotCommand.h"

#include <algorithm>

ScriptRecorder::ScriptRecorder(DriveLink& link, QObject* parent)
    : QObject(parent)
{
    connect(&link, &DriveLink::frameSent, this, &ScriptRecorder::recordFrame);
}

void ScriptRecorder::start()
{
    recording = true;
    first = true;
}

void ScriptRecorder::stop()
{
    recording = false;
}

int ScriptRecorder::waitBefore(qint64 elapsedMs)
{
    const qint64 rounded = (elapsedMs + 5) / 10 * 10;
    return int(std::max<qint64>(0, rounded - ScriptRunner::StepMs));
}

void ScriptRecorder::recordFrame(const SerialMessage& frame)
{
    const RobotCommand* command = RobotCommands::find(frame.bytes);
    if (!recording || !command || frame.length != command->frameLength())
        return;
    QList<QStringList> rows;
    if (!first)
        rows.append({QStringLiteral("wait"), QString::number(waitBefore(sincePrevious.elapsed()))});
    first = false;
    sincePrevious.start();
    QStringList fields{QLatin1String(command->word)};
    for (int value : command->values(frame))
        fields.append(QString::number(value));
    rows.append(fields);
    emit rowsRecorded(rows);
}
