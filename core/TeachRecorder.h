#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>

class DriveLink;
class SerialMessage;

// Teach mode: while recording, every robot command the link hands to the port becomes a
// script row, as the loader would read it, preceded by a "wait" row so that the script
// replays the commands with the spacing they were sent with. A command row itself takes
// one runner step (ScriptRunner::StepMs) before the next row, so the wait holds the time
// since the previous command less that step, rounded to 10 ms.
class TeachRecorder : public QObject
{
    Q_OBJECT

public:
    explicit TeachRecorder(DriveLink& link, QObject* parent = nullptr);

    void start();
    void stop();
    bool isRecording() const { return recording; }

    // The wait before a command sent elapsedMs after the previous one.
    static int waitBefore(qint64 elapsedMs);
    // Where a recording goes into a script: at the selected row (-1: none), else before a
    // final "end", which would keep the script from ever reaching them, else at the end.
    static int insertionRow(const QList<QStringList>& rows, int selected);

signals:
    void rowsRecorded(const QList<QStringList>& rows);

private:
    void recordFrame(const SerialMessage& frame);

    bool recording = false;
    bool first = true;
    QElapsedTimer sincePrevious;
};
