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
    connect(&link, &DriveLink::frameSent, this, &ScriptRunner::completeWhenSent);
    connect(&link, &DriveLink::disconnected, this, [this] {
        if (isRunning())
            halt(this->link.closeReason());
    });
}

void ScriptRunner::start()
{
    startFrom(0);
}

void ScriptRunner::startFrom(int first)
{
    stop();
    for (int r = 0; r < model.rowCount(); ++r) {
        const QString reason = checkScriptRow(rowFields(model, r));
        if (!reason.isEmpty()) {
            emit rowRejected(r, reason);
            return;
        }
    }
    firstRow = row = lastStarted = std::max(0, first);
    lastFrame = 0;
    timer->start(StepMs);
    reportRunning();
}

void ScriptRunner::stop()
{
    timer->stop();
    sending = false;
    row = 0;
    reportRunning();
}

bool ScriptRunner::isRunning() const
{
    return timer->isActive() || sending;
}

void ScriptRunner::reportRunning()
{
    if (isRunning() == runningReported)
        return;
    runningReported = !runningReported;
    emit runningChanged(runningReported);
}

void ScriptRunner::halt(const QString& reason)
{
    const int at = lastStarted;
    stop();
    emit stopped(at, reason);
}

void ScriptRunner::finish()
{
    if (looping && timer->isActive()) {
        row = firstRow;
        timer->start(StepMs);
        return;
    }
    timer->stop();
    row = 0;
    sending = true;
    completeWhenSent();
}

void ScriptRunner::completeWhenSent()
{
    if (sending && link.lastSentFrame() >= lastFrame) {
        sending = false;
        reportRunning();
        emit completed();
    }
}

void ScriptRunner::runNextRow()
{
    if (sending)
        return;
    if (row >= model.rowCount()) {
        finish();
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
    lastStarted = row;
    emit rowStarted(row);
    const int next = runRow(fields);
    if (next == NotQueued) {
        halt(tr("there is no connection"));
        return;
    }
    ++row;
    if (next == ScriptEnds)
        finish();
    else
        timer->start(next);
}

int ScriptRunner::runRow(const QStringList& fields)
{
    if (fields.isEmpty())
        return StepMs;
    const QString& word = fields.first();
    if (word == QLatin1String("end"))
        return ScriptEnds;
    // A negative interval would leave the timer stopped for good: it waits 0 ms.
    if (word == QLatin1String("wait"))
        return std::max(0, fields[1].toInt());
    if (const RobotCommand* command = RobotCommands::find(word)) {
        // Arguments were checked: they convert, and the frame keeps their low bits.
        QVector<int> values;
        for (int i = 1; i < fields.size(); ++i)
            values.append(fields[i].toInt());
        const qint64 frame = link.queueRobotCommand(*command, values);
        if (frame == 0)
            return NotQueued;
        lastFrame = frame;
    }
    return StepMs;
}

QString ScriptRunner::stepRow(int stepped)
{
    const QStringList fields = rowFields(model, stepped);
    const QString reason = checkScriptRow(fields);
    if (!reason.isEmpty())
        return tr("Row %1 cannot be run as written: %2.").arg(stepped + 1).arg(reason);
    if (fields.isEmpty() || fields.first().isEmpty())
        return tr("Row %1 is empty: nothing to do.").arg(stepped + 1);
    const QString& word = fields.first();
    if (word == QLatin1String("wait"))
        return tr("Row %1: wait of %2 ms skipped.").arg(stepped + 1).arg(std::max(0, fields[1].toInt()));
    if (word == QLatin1String("end"))
        return tr("Row %1 ends the script.").arg(stepped + 1);
    if (!link.isConnected())
        return tr("Not connected: row %1 was not sent. Connect first.").arg(stepped + 1);
    runRow(fields);
    return tr("Row %1 sent: %2").arg(stepped + 1).arg(fields.join(QLatin1Char(';')));
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
