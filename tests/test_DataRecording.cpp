// Recording the live samples to CSV: every motor's sample as received, connection and
// board changes as event lines, a file flushed while recording, and writes that fail.
#include "core/DriveLink.h"
#include "core/DataRecording.h"
#include "support/Frames.h"
#include "support/LinkOnPty.h"
#include "support/Pty.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// One position broadcast after the set-points and speeds it carries, as the polling asks.
void broadcast(DriveLink& link, int16_t position)
{
    const auto board = uint8_t(link.board());
    link.receiveFrame(liveValues(SerialMessage::LiveSetPoints, board, {2000, 2001, 2002, 2003}));
    link.receiveFrame(liveValues(SerialMessage::LiveSpeeds, board, {-1, 0, 1, -32768}));
    link.receiveFrame(liveValues(SerialMessage::LivePositions, board, {position, 1, 2, 3}));
}

// The lines after the header without their times, which the clock decides; the times
// must start at zero and never go back.
QStringList untimedLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("cannot read ") + path};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.value(0) != QLatin1String("time_s,board,motor,position,set_point,speed,event"))
        return {QStringLiteral("header: ") + lines.value(0)};
    lines.removeFirst();
    double previous = 0;
    for (QString& line : lines) {
        const double seconds = line.section(QLatin1Char(','), 0, 0).toDouble();
        if (seconds < previous || seconds > 60)
            return {QStringLiteral("time out of order: ") + line};
        previous = seconds;
        line = line.section(QLatin1Char(','), 1);
    }
    return lines;
}

} // namespace

class TestDataRecording : public QObject
{
    Q_OBJECT

private slots:
    void recordsAcrossDisconnectPortLossAndBoardSwitch()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("run.csv"));
        LinkOnPty linked;
        DriveLink& link = linked.link;
        Pty& pty = linked.pty;
        DataRecording recorder(link);
        const QDateTime opened = QDateTime::currentDateTime();
        QTest::qWait(300); // the recording starts later than the connection
        QVERIFY(recorder.start(path));
        broadcast(link, -5);
        link.selectBoard(2);
        // Flushed while recording, within a second or so.
        QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(path).size(), recorder.bytesWritten(), 10000);
        broadcast(link, 4096);
        link.close();
        QVERIFY(link.open(pty.slavePath()));
        pty.closeMaster();
        QTRY_VERIFY_WITH_TIMEOUT(!link.isConnected(), 10000);
        broadcast(link, 7);
        QVERIFY(recorder.isRecording());
        recorder.stop();

        const QString connected = QStringLiteral("\"connected to %1\"").arg(pty.slavePath());
        QStringList lines = untimedLines(path);
        QVERIFY2(lines.size() >= 5, qPrintable(lines.join('\n')));
        // The first says on which port and board, and since when the connection is up.
        const QRegularExpression started(
            QStringLiteral("^1,,,,,\"recording started on %1, board 1, connected since (\\S+) \\(([0-9.]+) s before\\)\"$")
                .arg(QRegularExpression::escape(pty.slavePath())));
        const QString line = lines.takeFirst();
        const QRegularExpressionMatch first = started.match(line);
        QVERIFY2(first.hasMatch(), qPrintable(line));
        QVERIFY(first.captured(2).toDouble() >= 0.3);
        QVERIFY(qAbs(QDateTime::fromString(first.captured(1), Qt::ISODate).secsTo(opened)) <= 1);
        const QString lost = lines.takeAt(lines.size() - 5);
        QVERIFY2(lost.startsWith(QStringLiteral("2,,,,,\"port %1 lost: ").arg(pty.slavePath())), qPrintable(lost));
        QCOMPARE(lines, (QStringList {
                            "1,0,-5,2000,-1,", "1,1,1,2001,0,", "1,2,2,2002,1,", "1,3,3,2003,-32768,",
                            "2,,,,,\"board 2 selected\"",
                            "2,0,4096,2000,-1,", "2,1,1,2001,0,", "2,2,2,2002,1,", "2,3,3,2003,-32768,",
                            "2,,,,,\"disconnected\"",
                            QStringLiteral("2,,,,,") + connected,
                            "2,,,,,\"disconnected\"",
                            // The recording goes on after the port is lost.
                            "2,0,7,2000,-1,", "2,1,1,2001,0,", "2,2,2,2002,1,", "2,3,3,2003,-32768,",
                        }));
    }

    void failedWritesStopWithAMessage_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QString>("reason");
        QTest::newRow("device") << "/dev/full" << false << "not a regular file";
        QTest::newRow("no such folder") << "missing/run.csv" << false << "No such file or directory";
    }

    void failedWritesStopWithAMessage()
    {
        QFETCH(QString, path);
        QFETCH(bool, opens);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString file = QDir(dir.path()).absoluteFilePath(path);
        DriveLink link;
        DataRecording recorder(link);
        QSignalSpy failed(&recorder, &DataRecording::failed);
        QCOMPARE(recorder.start(file), opens);
        broadcast(link, 1);
        QTRY_VERIFY_WITH_TIMEOUT(!recorder.isRecording(), 10000);
        QCOMPARE(failed.size(), opens ? 1 : 0);
        QVERIFY2(recorder.failure().contains(file) && recorder.failure().contains(reason),
                 qPrintable(recorder.failure()));
    }
};

QTEST_GUILESS_MAIN(TestDataRecording)
#include "test_DataRecording.moc"
