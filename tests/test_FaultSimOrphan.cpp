// Fault: drive-setup --simulate stopped by a signal. It ends cleanly on SIGINT, SIGTERM
// and SIGHUP, and its simulator ends with it, even when the tool is killed outright.
#include <QProcess>
#include <QScopeGuard>
#include <QtTest>

#include <csignal>

namespace {

QByteArray readProc(const QString& path, qint64 pid)
{
    QFile proc(path.arg(pid));
    return proc.open(QIODevice::ReadOnly) ? proc.readAll().trimmed() : QByteArray();
}

// Ended: gone, or a zombie that no one reaps (its state is the third field).
bool hasEnded(qint64 pid)
{
    const QList<QByteArray> stat = readProc("/proc/%1/stat", pid).split(' ');
    return stat.size() < 3 || stat[2] == "Z";
}

} // namespace

class TestFaultSimOrphan : public QObject
{
    Q_OBJECT

private slots:
    void simulatorEndsWithTheTool_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
        QTest::newRow("SIGKILL") << SIGKILL;
    }

    void simulatorEndsWithTheTool()
    {
        QFETCH(int, signal);
        QProcess tool;
        tool.start(qEnvironmentVariable("DRIVE_SETUP"), {"--simulate"});
        QVERIFY(tool.waitForStarted(30000));
        qint64 simulator = 0; // the tool's one child
        const auto orphan = qScopeGuard([&simulator] {
            if (simulator && !hasEnded(simulator))
                ::kill(pid_t(simulator), SIGKILL);
        });
        const QString children = QStringLiteral("/proc/%1/task/%1/children");
        QTRY_VERIFY_WITH_TIMEOUT((simulator = readProc(children, tool.processId()).toLongLong()) != 0, 30000);

        ::kill(pid_t(tool.processId()), signal);
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0, signal != SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(hasEnded(simulator), 30000);
    }
};

QTEST_GUILESS_MAIN(TestFaultSimOrphan)
#include "test_FaultSimOrphan.moc"
