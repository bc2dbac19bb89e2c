#pragma once

#include <QList>
#include <QObject>
#include <QStringList>

class DriveLink;
class QAbstractItemModel;
class QTimer;

// Plays a script held in a table model, one row per step: a robot command row queues its
// frame on the link, "wait;MS" holds the next step for MS milliseconds, "end" stops.
// The model is read as the rows come, so edits take effect on rows not yet run. A row's
// fields end at its first cell without data. Only rows that pass checkScriptRow run: a
// script with a row that fails does not start, and a run stops before a row edited
// into one that fails.
class ScriptRunner : public QObject
{
    Q_OBJECT

public:
    static constexpr int StepMs = 100;
    static constexpr int ColumnCount = 9; // the command word and eight arguments

    ScriptRunner(DriveLink& link, QAbstractItemModel& model, QObject* parent = nullptr);

    // From the first row; a run in progress starts again. Refused, with rowRejected for
    // the first row that fails the check, when any row does.
    void start();
    void stop();
    bool isRunning() const;
    // One step: the timer's, and the tests'.
    void runNextRow();

    // Replaces the model's rows by these, one cell per field (at most ColumnCount).
    static void fillModel(QAbstractItemModel& model, const QList<QStringList>& rows);
    static QStringList rowFields(const QAbstractItemModel& model, int row);

signals:
    void rowStarted(int row);
    // Row cannot be run as written, for reason; the script is not running.
    void rowRejected(int row, const QString& reason);
    void completed();

private:
    DriveLink& link;
    QAbstractItemModel& model;
    QTimer* timer = nullptr;
    int row = 0;
};
