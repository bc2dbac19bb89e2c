// Fault: files written where they cannot be. On a full disk every writer reports the
// failure and leaves the old file whole; drive-ctl refuses a device or a pipe as its
// output; a file name that is not UTF-8 is used as the bytes it is.
#include "core/DriveLink.h"
#include "core/FileNames.h"
#include "core/DataRecording.h"
#include "core/ScriptFile.h"
#include "ui/DriveView.h"
#include "ui/PlotControls.h"
#include "support/Frames.h"
#include "support/FullDisk.h"
#include "support/SimProcess.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

struct Run
{
    int code = -1;
    QString err;
};

Run driveCtl(const QStringList& arguments)
{
    QProcess process;
    process.start(qEnvironmentVariable("DRIVE_CTL"), arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError())};
}

// Writes a file of the kind named (a script, or the graph in the format its suffix names); the failure reported, empty when it says it wrote.
QString writeKind(const QString& kind, const QString& path)
{
    if (kind == QLatin1String("script"))
        return ScriptFile::save(path, {{"mla", "1", "2", "3"}}, {});
    DriveLink link;
    DriveView view(nullptr, 1);
    PlotControls controls(view, link);
    view.resize(600, 400);
    return controls.exportTo(path);
}

} // namespace

class TestFaultFileWrites : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Names below hold bytes that are not UTF-8, as drive-ctl takes them.
        FileNames::keepBytes();
    }

    void fullDiskKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("room");
        QTest::newRow("script") << "script" << "moves.txt" << 0;
        QTest::newRow("graph samples") << "graph" << "graph.csv" << 0;
        QTest::newRow("graph image") << "graph" << "graph.png" << 0;
        QTest::newRow("graph image, part of it written") << "graph" << "graph.png" << 4096;
        QTest::newRow("graph drawing") << "graph" << "graph.svg" << 0;
        QTest::newRow("graph document") << "graph" << "graph.pdf" << 0;
    }

    void fullDiskKeepsTheOldFile()
    {
        QFETCH(QString, kind);
        QFETCH(QString, name);
        QFETCH(int, room);
        FullDisk disk({{name, "old"}}, room);
        if (!disk.failure().isEmpty())
            QSKIP(qPrintable(disk.failure()));
        const QString failure = writeKind(kind, disk.filePath(name));
        QVERIFY2(failure.contains(QLatin1String("No space left on device")), qPrintable(failure));
        QCOMPARE(disk.contents(name), QByteArray("old"));
        QCOMPARE(disk.names(), QStringList{name});
    }

    void fullDiskKeepsTheSimulatedEeprom()
    {
        FullDisk disk({{"eeprom", "old"}});
        if (!disk.failure().isEmpty())
            QSKIP(qPrintable(disk.failure()));
        SimProcess sim({"--eeprom", disk.filePath("eeprom")});
        QVERIFY(!sim.port().isEmpty());
        driveCtl({"--port", sim.port(), "eeprom-save"});
        QCOMPARE(disk.contents("eeprom"), QByteArray("old"));
        QCOMPARE(disk.names(), QStringList{"eeprom"});
    }

    // What was flushed before the disk filled stays, in whole lines.
    void fullDiskStopsARecordingAfterItsLastWholeLine()
    {
        FullDisk disk({}, 4096);
        if (!disk.failure().isEmpty())
            QSKIP(qPrintable(disk.failure()));
        const QString path = disk.filePath("run.csv");
        DriveLink link;
        DataRecording recorder(link);
        QSignalSpy failed(&recorder, &DataRecording::failed);
        QVERIFY(recorder.start(path));
        const auto broadcast = [&link](int count) {
            link.receiveFrame(liveValues(SerialMessage::LiveSetPoints, 1, {}));
            link.receiveFrame(liveValues(SerialMessage::LiveSpeeds, 1, {}));
            for (int i = 0; i < count; ++i)
                link.receiveFrame(liveValues(SerialMessage::LivePositions, 1, {int16_t(i), 0, 0, 0}));
        };
        broadcast(10);
        QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(path).size(), recorder.bytesWritten(), 10000);
        const qint64 flushed = recorder.bytesWritten();
        broadcast(200);
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 10000);
        QVERIFY2(recorder.failure().contains(QLatin1String("No space left on device")), qPrintable(recorder.failure()));
        QCOMPARE(QFileInfo(path).size(), flushed);
    }

    void saveRefusesOrFailsWithoutHarm_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("reason");
        QTest::newRow("full disk") << "full" << "No space left on device";
        QTest::newRow("pipe with a reader") << "pipe" << "not a regular file";
        QTest::newRow("device") << "device" << "not a regular file";
    }

    void saveRefusesOrFailsWithoutHarm()
    {
        QFETCH(QString, target);
        QFETCH(QString, reason);
        FullDisk disk({{"board1.json", "old"}});
        if (!disk.failure().isEmpty())
            QSKIP(qPrintable(disk.failure()));
        QTemporaryDir dir;
        QString path = dir.filePath(target);
        int reader = -1;
        if (target == QLatin1String("full"))
            path = disk.filePath("board1.json");
        else if (target == QLatin1String("pipe"))
            reader = ::mkfifo(qPrintable(path), 0600) == 0 ? ::open(qPrintable(path), O_RDONLY | O_NONBLOCK) : -1;
        else if (target == QLatin1String("device") && ::mknod(qPrintable(path), S_IFCHR | 0600, makedev(1, 3)) != 0)
            QSKIP("no device node may be made here");
        struct stat before = {};
        QCOMPARE(::stat(qPrintable(path), &before), 0);

        const Run save = driveCtl({"--simulate", "save", "--output", path});
        QCOMPARE(save.code, 2);
        QVERIFY2(save.err.contains(reason), qPrintable(save.err));
        struct stat after = {};
        QCOMPARE(::stat(qPrintable(path), &after), 0);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(disk.contents("board1.json"), QByteArray("old"));
        if (reader >= 0)
            ::close(reader);
    }

    void namesAreTheSystemsBytes()
    {
        QTemporaryDir dir;
        const QByteArray bytes = QFile::encodeName(dir.path()) + "/\xff\xfe.json";
        const QString path = QFile::decodeName(bytes);
        const Run save = driveCtl({"--simulate", "save", "--output", path});
        QCOMPARE(save.code, 0);
        QCOMPARE(::access(bytes.constData(), F_OK), 0);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);
        const Run diff = driveCtl({"--simulate", "diff", path});
        QCOMPARE(diff.code, 0);
        const Run missing = driveCtl({"--simulate", "diff", path + "x"});
        QCOMPARE(missing.err, QStringLiteral("Cannot read %1/\\xff\\xfe.jsonx: No such file or directory\n").arg(dir.path()));
    }
};

QTEST_MAIN(TestFaultFileWrites)
#include "test_FaultFileWrites.moc"
