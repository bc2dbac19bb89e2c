#include "core/ScriptRunner.h"

#include "core/DriveLink.h"
#include "core/ScriptCheck.h"
#include "protocol/RobotCommand.h"

#include <QAbstractItemModel>
#include <QTimer>

#include <algorithm>

ScriptRunner::ScriptRunner(DriveLink& link, QAbstractItemModel& model, QObject* parent)
    : QObject(parent), link(link), model(model)
{
    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &ScriptRunner::runNextRow);
}

void ScriptRunner::start()
{
    stop();
    for (int r = 0; r < model.rowCount(); ++r) {
        const QString reason = checkScriptRow(rowFields(model, r));
        if (!reason.isEmpty()) {
            emit rowRejected(r, reason);
            return;
        }
    }
    timer->start(StepMs);
}

void ScriptRunner::stop()
{
    timer->stop();
    row = 0;
}

bool ScriptRunner::isRunning() const
{
    return timer->isActive();
}

void ScriptRunner::runNextRow()
{
    if (row >= model.rowCount()) {
        timer->stop();
        row = 0;
        emit completed();
        return;
    }
    const QStringList fields = rowFields(model, row);
    const QString reason = checkScriptRow(fields);
    if (!reason.isEmpty()) {
        const int rejected = row;
        stop();
        emit rowRejected(rejected, reason);
        return;
    }
    emit rowStarted(row);

    if (!fields.isEmpty()) {
        const QString& word = fields.first();
        const bool wait = word == QLatin1String("wait");
        // A negative interval would leave the timer stopped for good: it waits 0 ms.
        timer->start(wait ? std::max(0, fields[1].toInt()) : StepMs);

        if (const RobotCommand* command = RobotCommands::find(word)) {
            QVector<int> values;
            for (int i = 1; i < fields.size(); ++i)
                values.append(fields[i].toInt());
            link.queueRobotCommand(*command, values);
        }
        if (word == QLatin1String("end")) {
            timer->stop();
            emit completed();
        }
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
