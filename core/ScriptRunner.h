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
    bool isRunning() const;
    // One step: the timer's, and the tests'.
    void runNextRow();

    // Replaces the model's rows by these, one cell per field (at most ColumnCount).
    static void fillModel(QAbstractItemModel& model, const QList<QStringList>& rows);
    static QStringList rowFields(const QAbstractItemModel& model, int row);

signals:
    void rowStarted(int row);
    // A row that cannot be run as written, in words for the log.
    void diagnostic(const QString& text);
    void completed();

private:
    DriveLink& link;
    QAbstractItemModel& model;
    QTimer* timer = nullptr;
    int row = 0;
};
