// Fault: the simulated boards (drive-sim) die and are started again; the link reports
// the lost line once, opens the new one and the values come back.
#include "core/DriveLink.h"
#include "support/SimProcess.h"

#include <QSignalSpy>
#include <QtTest>

#include <csignal>

using namespace SharedVariables;

namespace {

// Live values arrive, and LoopTime, in the last window of the block, is read: the sweep
// went all the way. The simulator varies it by a few counts, so a new reading shows.
void expectValuesFlow(DriveLink& link)
{
    QSignalSpy broadcasts(&link, &DriveLink::samplesAppended);
    QSignalSpy loopTimes(&link, &DriveLink::loopTimeChanged);
    QTRY_VERIFY_WITH_TIMEOUT(!loopTimes.isEmpty(), 30000);
    QVERIFY(broadcasts.count() >= 3);
    const int loopTime = link.mirror().s16(LoopTimeAddress);
    QVERIFY2(loopTime > 500 && loopTime < 2000, qPrintable(QString::number(loopTime)));
}

} // namespace

class TestFaultSimRestart : public QObject
{
    Q_OBJECT

private slots:
    void simulatorEndsAndComesBack_data();
    void simulatorEndsAndComesBack();
};

void TestFaultSimRestart::simulatorEndsAndComesBack_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("closeFirst");
    QTest::newRow("killed (SIGKILL) while connected") << int(SIGKILL) << false;
    QTest::newRow("terminated (SIGTERM) while connected") << int(SIGTERM) << false;
    QTest::newRow("killed (SIGKILL) after Disconnect") << int(SIGKILL) << true;
}

void TestFaultSimRestart::simulatorEndsAndComesBack()
{
    QFETCH(int, signal);
    QFETCH(bool, closeFirst);
    QVERIFY2(!qEnvironmentVariableIsEmpty("DRIVE_SIM"), "DRIVE_SIM names the simulator");

    DriveLink link;
    QSignalSpy lost(&link, &DriveLink::portLost);
    {
        SimProcess first;
        QVERIFY2(!first.port().isEmpty(), "the simulator named no port");
        QVERIFY2(link.open(first.port()), qPrintable(link.openFailure()));
        expectValuesFlow(link);

        if (closeFirst)
            link.close();
        QVERIFY(first.end(signal));
        if (!closeFirst) {
            QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 10000);
            QCOMPARE(lost.first().first().toString(), first.port());
        }
        QTest::qWait(300);
        QCOMPARE(lost.count(), closeFirst ? 0 : 1);
    }
    QVERIFY(!link.isConnected());
    QVERIFY(link.transmitQueue().isEmpty());

    SimProcess second;
    QVERIFY2(!second.port().isEmpty(), "the simulator named no port");
    QVERIFY2(link.open(second.port()), qPrintable(link.openFailure()));
    expectValuesFlow(link);
}

QTEST_GUILESS_MAIN(TestFaultSimRestart)
#include "test_FaultSimRestart.moc"
