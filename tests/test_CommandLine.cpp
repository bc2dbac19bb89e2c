// The drive-setup program's command line, run as a separate process.
#include "support/Pty.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <signal.h>

namespace {

QString program()
{
    return qEnvironmentVariable("DRIVE_SETUP");
}

// Runs from a scratch home, so that no real settings are read or written.
struct Run : QProcess
{
    Run()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        setProcessEnvironment(environment);
    }
    ~Run() override
    {
        kill();
        waitForFinished(10000);
    }
    QTemporaryDir home;
};

// The process whose parent is parent, and its command line; 0 when there is none.
qint64 childOf(qint64 parent, QStringList* arguments)
{
    const auto entries = QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs);
    for (const QString& pid : entries) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid)), cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!stat.open(QIODevice::ReadOnly) || !cmdline.open(QIODevice::ReadOnly))
            continue;
        // pid (name) state ppid ...: the name may hold blanks, not a ')'.
        const QList<QByteArray> fields = stat.readAll().split(')').value(1).split(' ');
        if (fields.value(2).toLongLong() == parent) {
            arguments->clear();
            for (const QByteArray& argument : cmdline.readAll().split('\0')) {
                if (!argument.isEmpty())
                    *arguments << QString::fromLocal8Bit(argument);
            }
            return pid.toLongLong();
        }
    }
    return 0;
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

        QTest::newRow("unknown option") << QStringList {"--bogus"} << 1 << "Unknown option 'bogus'.";
        QTest::newRow("port without a name") << QStringList {"--port"} << 1 << "Missing value after '--port'.";
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

    void portAndConnectOpenThePort()
    {
        Pty pty;
        Run process;
        process.start(program(), {"--port", pty.slavePath(), "--connect"});
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
        const QString simulator = qEnvironmentVariable("DRIVE_SIM");
        QStringList arguments;
        qint64 pid = 0;
        // Until the child has become the simulator.
        QTRY_VERIFY_WITH_TIMEOUT((pid = childOf(process.processId(), &arguments)) && arguments.value(0) == simulator,
                                 30000);
        ::kill(pid_t(pid), SIGTERM);
        const QString data = process.home.filePath(QStringLiteral("data/drive-setup/drive-setup"));
        QCOMPARE(arguments, (QStringList{simulator, "--demo", "--eeprom", data + QStringLiteral("/simulated-eeprom.bin")}));
        QVERIFY(QFileInfo(data).isDir());
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_CommandLine.moc"
