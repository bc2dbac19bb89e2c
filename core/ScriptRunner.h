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
// fields end at its first cell without data.
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

    // From the first row; a run in progress starts again.
    void start();
    void stop();
    // Also while the last frames wait in the link's queue.
    bool isRunning() const;
    // One step: the timer's, and the tests'. None once every row ran.
    void runNextRow();

    // Replaces the model's rows by these, one cell per field (at most ColumnCount).
    static void fillModel(QAbstractItemModel& model, const QList<QStringList>& rows);
    static QStringList rowFields(const QAbstractItemModel& model, int row);

signals:
    void rowStarted(int row);
    // A row that cannot be run as written, in words for the log.
    void diagnostic(const QString& text);
    void completed();
    // The run ended early, at row (from 0): why, in words for the operator.
    void stopped(int row, const QString& reason);

private:
    void finish();
    void completeWhenSent();
    void halt(const QString& reason);

    DriveLink& link;
    QAbstractItemModel& model;
    QTimer* timer = nullptr;
    int row = 0;
    int lastStarted = 0;
    qint64 lastFrame = 0; // the link's number of the run's newest frame
    bool sending = false; // every row ran; the last frames wait to be sent
};
