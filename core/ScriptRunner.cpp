#include "core/ScriptRunner.h"

#include "core/DriveLink.h"
#include "protocol/RobotCommand.h"

#include <QAbstractItemModel>
#include <QTimer>

#include <algorithm>

ScriptRunner::ScriptRunner(DriveLink& link, QAbstractItemModel& model, QObject* parent)
    : QObject(parent), link(link), model(model)
{
    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &ScriptRunner::runNextRow);
    connect(&link, &DriveLink::frameSent, this, &ScriptRunner::completeWhenSent);
    connect(&link, &DriveLink::disconnected, this, [this] {
        if (isRunning())
            halt(this->link.closeReason());
    });
}

void ScriptRunner::start()
{
    row = 0;
    lastStarted = 0;
    lastFrame = 0;
    sending = false;
    timer->start(StepMs);
}

void ScriptRunner::stop()
{
    timer->stop();
    sending = false;
    row = 0;
}

bool ScriptRunner::isRunning() const
{
    return timer->isActive() || sending;
}

void ScriptRunner::halt(const QString& reason)
{
    const int at = lastStarted;
    stop();
    emit stopped(at, reason);
}

void ScriptRunner::finish()
{
    timer->stop();
    sending = true;
    completeWhenSent();
}

void ScriptRunner::completeWhenSent()
{
    if (sending && link.sentFrames() >= lastFrame) {
        sending = false;
        emit completed();
    }
}

void ScriptRunner::runNextRow()
{
    if (sending)
        return;
    if (row >= model.rowCount()) {
        row = 0;
        finish();
        return;
    }
    lastStarted = row;
    emit rowStarted(row);

    const QStringList fields = rowFields(model, row);
    if (!fields.isEmpty()) {
        const QString& word = fields.first();
        const bool wait = word == QLatin1String("wait") && fields.size() == 2;
        // A negative interval would leave the timer stopped for good: it waits 0 ms.
        timer->start(wait ? std::max(0, fields[1].toInt()) : StepMs);

        if (const RobotCommand* command = RobotCommands::find(word)) {
            if (fields.size() != 1 + command->valueCount) {
                emit diagnostic(QStringLiteral("Script Error missing arguments for %1 command").arg(word));
            } else {
                // Arguments that do not convert count as 0; the frame keeps their low bits.
                QVector<int> values;
                for (int i = 1; i < fields.size(); ++i)
                    values.append(fields[i].toInt());
                const qint64 frame = link.queueRobotCommand(*command, values);
                if (frame == 0) {
                    halt(tr("there is no connection"));
                    return;
                }
                lastFrame = frame;
            }
        }
        if (word == QLatin1String("end"))
            finish();
    }
    ++row;
}

void ScriptRunner::fillModel(QAbstractItemModel& model, const QList<QStringList>& rows)
{
    model.removeRows(0, model.rowCount());
    model.insertRows(0, rows.size());
    for (int r = 0; r < rows.size(); ++r) {
        const int columns = std::min(int(rows[r].size()), model.columnCount());
        for (int column = 0; column < columns; ++column)
            model.setData(model.index(r, column), rows[r][column]);
    }
}

QStringList ScriptRunner::rowFields(const QAbstractItemModel& model, int row)
{
    QStringList fields;
    for (int column = 0; column < model.columnCount(); ++column) {
        const QVariant cell = model.index(row, column).data();
        if (!cell.isValid())
            break;
        fields.append(cell.toString());
    }
    return fields;
}
