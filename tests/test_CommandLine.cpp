// The drive-setup program's command line, run as a separate process.
#include "support/Pty.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <signal.h>

namespace {

QString program()
{
    return qEnvironmentVariable("DRIVE_SETUP");
}

// From a scratch home, so that no real settings are read or written.
struct Run : QProcess
{
    QTemporaryDir home;
    Run()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        setProcessEnvironment(environment);
    }
};

QByteArray readProc(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void options_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");

        const QString hint = "\nTry 'drive-setup --help' for more information.";
        QTest::newRow("unknown option") << QStringList {"--bogus"} << 1 << "Unknown option 'bogus'." + hint;
        QTest::newRow("port without a name") << QStringList {"--port"} << 1 << "Missing value after '--port'." + hint;
        QTest::newRow("unknown argument") << QStringList {"bogus"} << 1 << "Unknown argument 'bogus'." + hint;
        QTest::newRow("two ports") << QStringList {"--port", "/dev/a", "/dev/b"} << 1
                                   << "One port only: '/dev/b' is one too many." + hint;
        QTest::newRow("version") << QStringList {"--version"} << 0 << "drive-setup 1.0.0";
        QTest::newRow("help") << QStringList {"--help"} << 0 << "--port <NAME>";
    }

    void options()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        Run process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program(), arguments);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), exitCode);
        QVERIFY2(QString::fromLocal8Bit(process.readAll()).contains(output), qPrintable(output));
    }

    void portAndConnectOpenThePort_data()
    {
        QTest::addColumn<bool>("bare");
        QTest::newRow("--port NAME") << false;
        QTest::newRow("a bare device path") << true;
    }

    void portAndConnectOpenThePort()
    {
        QFETCH(bool, bare);
        Pty pty;
        Run process;
        process.start(program(), bare ? QStringList{pty.slavePath(), "--connect"}
                                      : QStringList{"--port", pty.slavePath(), "--connect"});
        QVERIFY(process.waitForStarted(30000));
        // Connected: the polling cycle asks for window 0 of board 1 first.
        const QByteArray sent = pty.read(16, 30000);
        process.kill();
        process.waitForFinished(10000);
        QCOMPARE(sent.toHex(' '), QByteArray("63 61 6e 00 20 38 00 01 00 00 00 00 00 00 00 00"));
    }

    // The simulator beside the program, keeping its EEPROM in the user's data folder.
    void simulateStartsTheSimulatorWithAnEepromFile()
    {
        Run process;
        process.start(program(), {"--simulate"});
        QVERIFY(process.waitForStarted(30000));
        QByteArray child, commandLine;
        // Until the child has become the simulator.
        QTRY_VERIFY_WITH_TIMEOUT((child = readProc(QString("/proc/%1/task/%1/children").arg(process.processId())).trimmed(),
                                  commandLine = readProc("/proc/" + child + "/cmdline"))
                                     .startsWith(qgetenv("DRIVE_SIM") + '\0'),
                                 30000);
        ::kill(child.toInt(), SIGTERM);
        process.kill();
        const QString data = process.home.filePath(QStringLiteral("data/drive-setup/drive-setup"));
        QCOMPARE(QString::fromLocal8Bit(commandLine.replace('\0', ' ')),
                 qEnvironmentVariable("DRIVE_SIM") + " --demo --eeprom " + data + "/simulated-eeprom.bin ");
        QVERIFY(QFileInfo(data).isDir());
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_CommandLine.moc"
