#pragma once

#include <QFile>
#include <QObject>

class DriveLink;
class QTimer;

// Records every live sample of the link's four motors to a CSV file (the SampleCsv
// layout), times in seconds since the recording started, until stopped. Connecting,
// disconnecting, a lost port and a board switch become event lines and the recording
// goes on. The file is flushed once a second; a write that fails (a full disk, a file
// gone) stops the recording and keeps what was flushed before. A device or a pipe is
// refused.
class DataRecording : public QObject
{
    Q_OBJECT

public:
    static constexpr int FlushIntervalMs = 1000;

    explicit DataRecording(DriveLink& link, QObject* parent = nullptr);
    ~DataRecording() override;

    // Creates or empties the file and starts writing; false when it cannot be opened,
    // with failure() saying why in words for the operator.
    bool start(const QString& fileName);
    void stop();
    bool isRecording() const { return file.isOpen(); }

    QString fileName() const { return file.fileName(); }
    QString failure() const { return failureText; }
    double recordedSeconds() const;
    qint64 bytesWritten() const { return written; }

signals:
    // Once a second while recording, after the flush: time and size have grown.
    void progressed();
    // The recording stopped on an error; the message says what happened and what is kept.
    void failed(const QString& message);

private:
    void writeSamples();
    void writeEvent(const QString& event);
    QString startEvent() const;
    void write(const QByteArray& text);
    void flush();
    void fail();

    DriveLink& link;
    QFile file;
    QTimer* flushTimer = nullptr;
    QString failureText;
    double startSeconds = 0;
    qint64 written = 0;
    qint64 flushed = 0; // of the bytes written, those the last flush put in the file
};
