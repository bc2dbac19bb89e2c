// drive-ctl run as a process against the simulated boards: a settings file saved,
// diffed and applied back with read-back, a bad file that writes nothing, set on each
// kind of variable, board 1's file on board 2, a script, an apply cut off part way,
// settings files that are pipes or terminals, and the exit codes.
#include "support/FakeBoard.h"
#include "support/SimProcess.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

namespace {

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

Run driveCtl(const QStringList& arguments)
{
    QProcess process;
    process.start(qEnvironmentVariable("DRIVE_CTL"), arguments);
    Run run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.code = process.exitCode();
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

QJsonObject motorsIn(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QJsonDocument::fromJson(file.readAll()).object().value("motors").toObject();
}

} // namespace

class TestDriveCtl : public QObject
{
    Q_OBJECT

private slots:
    void savedFileShowsAndRestoresAChange()
    {
        SimProcess sim;
        const QStringList port{"--port", sim.port()};
        QTemporaryDir dir;
        const QString file = dir.filePath("board1.json");
        QCOMPARE(driveCtl(port + QStringList{"save", "--output", file}).code, 0);
        QCOMPARE(driveCtl(port + QStringList{"set", "SpeedMax", "777", "--motor", "1"}).out,
                 QStringLiteral("motor 1, SpeedMax: 30 -> 777, written and verified\n"));

        const Run diff = driveCtl(port + QStringList{"diff", file});
        QCOMPARE(diff.code, 1);
        QCOMPARE(diff.out, QStringLiteral("motor  parameter  board  file\n1      SpeedMax   777    30\n"));
        const Run apply = driveCtl(port + QStringList{"apply", file});
        QCOMPARE(apply.code, 0);
        QVERIFY2(apply.out.startsWith("motor 1, SpeedMax: 777 -> 30, written and verified\n"
                                      "board 1: 1 written and verified, 67 unchanged, 0 failed"),
                 qPrintable(apply.out));
        const Run after = driveCtl(port + QStringList{"diff", file});
        QCOMPARE(after.code, 0);
        QCOMPARE(after.out, QString());

        // A file with one good change and one value out of bounds writes neither.
        QFile text(file);
        QVERIFY(text.open(QIODevice::ReadOnly));
        QByteArray bad = text.readAll();
        text.close();
        bad.replace("\"CurrentLimit\": 1200", "\"CurrentLimit\": 1300").replace("\"SpeedMax\": 30", "\"SpeedMax\": 5000");
        const QString badFile = dir.filePath("bad.json");
        QFile out(badFile);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bad) == bad.size());
        out.close();
        const Run refused = driveCtl(port + QStringList{"apply", badFile});
        QCOMPARE(refused.code, 2);
        QCOMPARE(refused.err, badFile + ", motor 0, SpeedMax: 5000 is outside the bounds 0 to 4096\n");
        QCOMPARE(driveCtl(port + QStringList{"diff", file}).code, 0);
    }

    void setReadsBackEachKindOfVariable_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("u8") << "CtrlType" << "2" << "2";
        QTest::newRow("s16, negative") << "ADCOffset" << "-4096" << "-4096";
        QTest::newRow("f32") << "pid_Kd" << "0.1" << "0.1";
        QTest::newRow("f32, more digits than shown") << "pid_Kp" << "123.456789" << "123.4568";
    }

    void setReadsBackEachKindOfVariable()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(QString, shown);
        SimProcess sim;
        const QStringList port{"--port", sim.port()};
        const Run set = driveCtl(port + QStringList{"set", name, "--motor", "3", "--", value});
        QCOMPARE(set.code, 0);
        QVERIFY2(set.out.endsWith("written and verified\n"), qPrintable(set.out + set.err));
        QCOMPARE(driveCtl(port + QStringList{"get", name, "--motor", "3"}).out, shown + '\n');
    }

    void board1FileReadsBackIdenticalFromBoard2()
    {
        SimProcess sim;
        const QStringList port{"--port", sim.port()};
        QTemporaryDir dir;
        QCOMPARE(driveCtl(port + QStringList{"save", "--output", dir.filePath("1.json")}).code, 0);
        QCOMPARE(driveCtl(port + QStringList{"--board", "2", "diff", dir.filePath("1.json")}).code, 1);
        QCOMPARE(driveCtl(port + QStringList{"--board", "2", "apply", dir.filePath("1.json")}).code, 0);
        QCOMPARE(driveCtl(port + QStringList{"--board", "2", "save", "--output", dir.filePath("2.json")}).code, 0);
        QCOMPARE(motorsIn(dir.filePath("2.json")), motorsIn(dir.filePath("1.json")));
    }

    void runPlaysAScript()
    {
        SimProcess sim;
        const QStringList sent{"mla 2048 2048 2048", "mra 2048 2048 2048", "mrn 2048 2048",
                               "mrm 1 2 3 4 5 6 7 8", "meb 10 20 30 40", "mre 0 64 128 192 255 0",
                               "mla 0 0 0", "mra 0 0 0", "mrn 0 0"};
        const Run run = driveCtl({"--port", sim.port(), "run", QFINDTESTDATA("../scripts/all_commands.txt")});
        QCOMPARE(run.code, 0);
        QCOMPARE(run.out.split('\n', Qt::SkipEmptyParts), sent);
        QTRY_COMPARE_WITH_TIMEOUT(sim.commands(), sent, 20000);
        // From row 17 (mra 0 0 0), twice: "end" ends each pass.
        const Run again = driveCtl({"--port", sim.port(), "run", QFINDTESTDATA("../scripts/all_commands.txt"),
                                    "--from", "17", "--loop", "2"});
        QCOMPARE(again.code, 0);
        QCOMPARE(again.out.split('\n', Qt::SkipEmptyParts), sent.mid(7) + sent.mid(7));
    }

    void exitCodes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("error");
        QTest::newRow("no command") << QStringList{} << 2 << "Name a command, such as status.";
        QTest::newRow("unknown command") << QStringList{"fly"} << 2 << "There is no command \"fly\".";
        QTest::newRow("option of another command") << QStringList{"status", "--csv"} << 2 << "--csv does not go with status.";
        QTest::newRow("set without a motor") << QStringList{"set", "SpeedMax", "1"} << 2 << "set needs --motor.";
        QTest::newRow("negative value before --") << QStringList{"set", "ADCOffset", "-1", "--motor", "0"} << 2
                                                  << "A negative value goes after \"--\"";
        QTest::newRow("out of bounds") << QStringList{"--simulate", "set", "SpeedMax", "4097", "--motor", "0"} << 2
                                       << "SpeedMax takes 0 to 4096.";
        QTest::newRow("live value") << QStringList{"--simulate", "set", "Position", "1", "--motor", "0"} << 2
                                    << "Position is not a parameter.";
        QTest::newRow("missing file") << QStringList{"--simulate", "diff", "/nonexistent.json"} << 2
                                      << "Cannot read /nonexistent.json";
        QTest::newRow("port cannot be opened") << QStringList{"--port", "/dev/nonexistent", "status"} << 3
                                               << "Could not open the port /dev/nonexistent";
        QTest::newRow("done") << QStringList{"--simulate", "get", "LoopTime", "--board", "2"} << 0 << "";
        // Refused before they are opened: a read would block (standard input is a pipe left open).
        const QString fifo = scratch.filePath("fifo.json");
        ::mkfifo(qPrintable(fifo), 0600);
        QTest::newRow("FIFO") << QStringList{"--simulate", "apply", fifo} << 2 << "Cannot read " + fifo + ": not a regular file";
        QTest::newRow("terminal") << QStringList{"--simulate", "diff", "/dev/ptmx"} << 2 << "/dev/ptmx: not a regular file";
        QTest::newRow("pipe") << QStringList{"--simulate", "diff", "/dev/stdin"} << 2 << "/dev/stdin: not a regular file";
        QTest::newRow("nan") << QStringList{"--simulate", "set", "pid_Kp", "nan", "--motor", "3"} << 2
                             << "nan is not a decimal number.";
        QTest::newRow("NaN, whole") << QStringList{"--simulate", "set", "SpeedMax", "NaN", "--motor", "0"} << 2
                                    << "NaN is not a whole number.";
        QTest::newRow("inf") << QStringList{"--simulate", "set", "pid_Kd", "inf", "--motor", "1"} << 2
                             << "inf is not a decimal number.";
        QTest::newRow("-Infinity") << QStringList{"--simulate", "set", "pid_Ki", "--motor", "2", "--", "-Infinity"} << 2
                                   << "-Infinity is not a decimal number.";
    }

    void exitCodes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, error);
        const Run run = driveCtl(arguments);
        QCOMPARE(run.code, code);
        QVERIFY2(run.err.contains(error), qPrintable(run.err));
    }

    // Ctrl+C while the board is read, or after some writes: each value counts as written
    // exactly when its frame reached the far end.
    void interruptedApplyCountsTheFramesThatLeft_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("writesBeforeSignal");
        QTest::newRow("while reading") << int(FakeBoard::Silent) << 0;
        QTest::newRow("while writing") << int(FakeBoard::None) << 3;
    }

    void interruptedApplyCountsTheFramesThatLeft()
    {
        QFETCH(int, fault);
        QFETCH(int, writesBeforeSignal);
        QJsonObject motors;
        for (const char* motor : {"0", "1", "2", "3"})
            motors.insert(motor, QJsonObject{{"SpeedMax", 100}, {"AccelerationStep", 5}, {"CurrentLimit", 7},
                                             {"SetPointMax", 9}, {"CurrentOffset", 11}});
        const int values = 20;
        QTemporaryDir dir;
        QFile file(dir.filePath("f.json"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(QJsonObject{{"formatVersion", 1}, {"motors", motors}}).toJson());
        file.close();

        FakeBoard board{FakeBoard::Fault(fault)};
        QProcess apply;
        bool signalled = false;
        board.afterFrame = [&] {
            if (!signalled && board.writes.size() >= writesBeforeSignal)
                signalled = ::kill(pid_t(apply.processId()), SIGINT) == 0;
        };
        apply.start(qEnvironmentVariable("DRIVE_CTL"), {"--port", board.pty.slavePath(), "apply", file.fileName()});
        QTRY_COMPARE_WITH_TIMEOUT(apply.state(), QProcess::NotRunning, 20000);
        QVERIFY(signalled);
        board.serve();
        QCOMPARE(apply.exitCode(), 130);
        const QString out = QString::fromLocal8Bit(apply.readAllStandardOutput());
        const QRegularExpression summary("board 1: (\\d+) written and verified, 0 unchanged, (\\d+) failed, (\\d+) not "
                                         "verified, (\\d+) not written\n$");
        const QRegularExpressionMatch counts = summary.match(out);
        QVERIFY2(counts.hasMatch(), qPrintable(out));
        QCOMPARE(counts.captured(1).toInt() + counts.captured(2).toInt() + counts.captured(3).toInt(), board.writes.size());
        QCOMPARE(counts.captured(4).toInt(), values - board.writes.size());
    }

    void silentBoardExitsWith4_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::newRow("get") << QStringList{"get", "LoopTime"};
        QTest::newRow("eeprom-save") << QStringList{"eeprom-save"};
    }

    void silentBoardExitsWith4()
    {
        QFETCH(QStringList, command);
        Pty pty; // nobody answers at the far end
        const Run run = driveCtl(QStringList{"--port", pty.slavePath()} + command);
        QCOMPARE(run.code, 4);
        QVERIFY2(run.err.startsWith("Board 1 did not answer."), qPrintable(run.err));
        QCOMPARE(run.out, QString());
    }

    // As in the usual command-line tools: results that cannot be written are an error,
    // and watch stops.
    void failedStandardOutputExitsWith2_data()
    {
        QTest::addColumn<QString>("redirection");
        QTest::addColumn<QStringList>("command");
        QTest::newRow("save, disk full") << ">/dev/full" << QStringList{"save"};
        QTest::newRow("status --json, disk full") << ">/dev/full" << QStringList{"status", "--json"};
        QTest::newRow("get, closed") << ">&-" << QStringList{"get", "SpeedMax", "--motor", "1"};
        QTest::newRow("watch, disk full") << ">/dev/full" << QStringList{"watch"};
        QTest::newRow("watch --csv, closed") << ">&-" << QStringList{"watch", "--csv"};
    }

    void failedStandardOutputExitsWith2()
    {
        QFETCH(QString, redirection);
        QFETCH(QStringList, command);
        QProcess process;
        process.start("sh", QStringList{"-c", "exec \"$0\" \"$@\" " + redirection, qEnvironmentVariable("DRIVE_CTL"),
                                        "--simulate"} + command);
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 2);
        const QString error = process.readAllStandardError();
        QVERIFY2(error.contains("Cannot write to standard output: "), qPrintable(error));
    }

    // The lock file names the process that holds the port.
    void heldPortNamesItsHolder()
    {
        SimProcess sim;
        QProcess holder;
        holder.start(qEnvironmentVariable("DRIVE_CTL"), {"--port", sim.port(), "watch"});
        QByteArray watched;
        QTRY_VERIFY_WITH_TIMEOUT((watched += holder.readAllStandardOutput()).count('\n') > 1, 20000);
        const Run second = driveCtl({"--port", sim.port(), "status"});
        QCOMPARE(second.code, 3);
        QVERIFY2(second.err.contains(QStringLiteral("in use by drive-ctl (process %1)").arg(holder.processId()))
                     && !second.err.contains("dialout"),
                 qPrintable(second.err));
        holder.terminate();
        QVERIFY(holder.waitForFinished(10000));
    }

    void lostPortExitsWith3()
    {
        auto sim = std::make_unique<SimProcess>();
        QProcess watch;
        watch.start(qEnvironmentVariable("DRIVE_CTL"), {"--port", sim->port(), "watch", "--csv"});
        QByteArray csv;
        QTRY_VERIFY_WITH_TIMEOUT((csv += watch.readAllStandardOutput()).count('\n') > 1, 20000);
        sim.reset();
        QVERIFY(watch.waitForFinished(20000));
        QCOMPARE(watch.exitCode(), 3);
        QVERIFY(watch.readAllStandardOutput().contains(",\"port lost: "));
    }

private:
    QTemporaryDir scratch;
};

QTEST_GUILESS_MAIN(TestDriveCtl)
#include "test_DriveCtl.moc"
