#include "core/TeachRecorder.h"

#include "core/DriveLink.h"
#include "core/ScriptRunner.h"
#include "protocol/RobotCommand.h"

#include <algorithm>

TeachRecorder::TeachRecorder(DriveLink& link, QObject* parent)
    : QObject(parent)
{
    connect(&link, &DriveLink::frameSent, this, &TeachRecorder::recordFrame);
}

void TeachRecorder::start()
{
    recording = true;
    first = true;
}

void TeachRecorder::stop()
{
    recording = false;
}

int TeachRecorder::waitBefore(qint64 elapsedMs)
{
    const qint64 rounded = (elapsedMs + 5) / 10 * 10;
    return int(std::max<qint64>(0, rounded - ScriptRunner::StepMs));
}

int TeachRecorder::insertionRow(const QList<QStringList>& rows, int selected)
{
    if (selected >= 0 && selected < rows.size())
        return selected;
    if (!rows.isEmpty() && !rows.last().isEmpty() && rows.last().first() == QLatin1String("end"))
        return rows.size() - 1;
    return rows.size();
}

void TeachRecorder::recordFrame(const SerialMessage& frame)
{
    if (!recording)
        return;
    const RobotCommand* command = RobotCommands::find(frame.bytes);
    if (!command || frame.length != command->frameLength())
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
