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
//
// A run completes only when every row ran and every frame it queued was handed to the
// port; a run that loses the link on the way stops and says where and why.
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
    // The same from the given row on.
    void startFrom(int first);
    void stop();
    // Also while the last frames wait in the link's queue.
    bool isRunning() const;
    // A looping run starts again from the row it started from where it would complete,
    // until Stop.
    void setLooping(bool on) { looping = on; }
    // One step: the timer's, and the tests'. None once every row ran.
    void runNextRow();
    // Runs one row on its own, outside a run: a command is queued, a wait is not waited.
    // Returns what was done, in words for the operator.
    QString stepRow(int row);

    // Replaces the model's rows by these, one cell per field (at most ColumnCount).
    static void fillModel(QAbstractItemModel& model, const QList<QStringList>& rows);
    static QStringList rowFields(const QAbstractItemModel& model, int row);

signals:
    void rowStarted(int row);
    // Row cannot be run as written, for reason; the script is not running.
    void rowRejected(int row, const QString& reason);
    void completed();
    // The run ended early, at row (from 0): why, in words for the operator.
    void stopped(int row, const QString& reason);
    // isRunning() changed.
    void runningChanged(bool running);

private:
    // What runRow returns instead of the time until the next row.
    static constexpr int ScriptEnds = -1;
    static constexpr int NotQueued = -2; // the command could not be queued
    // Queues the row's command, if any; returns the time until the next row, or one of
    // the above.
    int runRow(const QStringList& fields);
    void finish();
    void completeWhenSent();
    void halt(const QString& reason);
    void reportRunning();

    DriveLink& link;
    QAbstractItemModel& model;
    QTimer* timer = nullptr;
    int row = 0;
    int firstRow = 0;
    int lastStarted = 0;
    qint64 lastFrame = 0; // the link's number of the run's newest frame
    bool sending = false; // every row ran; the last frames wait to be sent
    bool looping = false;
    bool runningReported = false;
};
