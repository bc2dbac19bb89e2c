// drive-ctl run as a process against the simulated boards: a settings file saved,
// diffed and applied back with read-back, a bad file that writes nothing, set on each
// kind of variable, board 1's file on board 2, a script, and the exit codes.
#include "support/Pty.h"
#include "support/SimProcess.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

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
                                      "board 1: 1 written and verified, 71 unchanged, 0 failed"),
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

    void silentBoardExitsWith4()
    {
        Pty pty; // nobody answers at the far end
        const Run run = driveCtl({"--port", pty.slavePath(), "get", "LoopTime"});
        QCOMPARE(run.code, 4);
        QVERIFY2(run.err.startsWith("Board 1 did not answer."), qPrintable(run.err));
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
};

QTEST_GUILESS_MAIN(TestDriveCtl)
#include "test_DriveCtl.moc"
