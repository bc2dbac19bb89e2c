// Fault: the simulated boards (drive-sim) die and are started again; Connect to the new
// line works and the values come back.
#include "ui/MainWindow.h"
#include "core/SerialDriver.h"
#include "support/Modal.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QtTest>

#include <csignal>

using namespace SharedVariables;

namespace {

struct Probe : MainWindow
{
    using MainWindow::mirror;
    using MainWindow::serialDriver;

    bool connectTo(const QString& port)
    {
        addPort(port);
        pushButton_Connect->click();
        if (!serialDriver)
            return false;
        connect(serialDriver, &SerialDriver::messageReady, this, [this](const SerialMessage& frame) {
            if (frame.bytes[SerialMessage::Type] == 0x20)
                ++variableReplies;
            else
                ++liveValueReplies;
        });
        return true;
    }

    int variableReplies = 0;
    int liveValueReplies = 0;
};

// drive-sim, started as the operator does; its first line names its port.
class Sim
{
public:
    Sim()
    {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QString::fromLocal8Bit(qgetenv("DRIVE_SIM")), QStringList());
        QDeadlineTimer deadline(20000);
        while (!process.canReadLine() && !deadline.hasExpired())
            process.waitForReadyRead(100);
        port = QString::fromLocal8Bit(process.readLine()).trimmed();
    }
    ~Sim()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.kill();
        process.waitForFinished(5000);
    }

    void end(int signal)
    {
        ::kill(pid_t(process.processId()), signal);
        process.waitForFinished(10000);
    }

    QProcess process;
    QString port;
};

// A full sweep of the block and live values for a while; LoopTime is a board's.
void expectValuesFlow(Probe& window)
{
    window.variableReplies = 0;
    window.liveValueReplies = 0;
    QTRY_VERIFY_WITH_TIMEOUT(window.variableReplies >= BlockSize / WindowSize + 1, 30000);
    QVERIFY(window.liveValueReplies >= 3);
    const int loopTime = window.lineEdit_LoopTime->text().toInt();
    QVERIFY2(loopTime > 500 && loopTime < 2000, qPrintable(window.lineEdit_LoopTime->text()));
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
    QTest::addColumn<bool>("disconnectFirst");
    QTest::newRow("killed (SIGKILL) while connected") << int(SIGKILL) << false;
    QTest::newRow("terminated (SIGTERM) while connected") << int(SIGTERM) << false;
    QTest::newRow("killed (SIGKILL) after Disconnect") << int(SIGKILL) << true;
}

void TestFaultSimRestart::simulatorEndsAndComesBack()
{
    QFETCH(int, signal);
    QFETCH(bool, disconnectFirst);
    QVERIFY2(!qEnvironmentVariableIsEmpty("DRIVE_SIM"), "DRIVE_SIM names the simulator");

    Probe window;
    window.show();
    {
        Sim first;
        QVERIFY2(!first.port.isEmpty(), "the simulator named no port");
        QVERIFY(window.connectTo(first.port));
        expectValuesFlow(window);

        QString told;
        if (disconnectFirst) {
            window.pushButton_Disconnect->click();
            first.end(signal);
            QTest::qWait(300);
            QVERIFY(!QApplication::activeModalWidget());
        } else {
            answerNextModal([&told](QWidget* modal) {
                told = messageBoxText(modal);
                acceptModal(modal);
            });
            first.end(signal);
            QTRY_VERIFY_WITH_TIMEOUT(!told.isEmpty(), 10000);
            QVERIFY2(told.contains(QStringLiteral("lost")), qPrintable(told));
        }
        QCOMPARE(first.process.state(), QProcess::NotRunning);
    }
    QCOMPARE(window.labelConnected->text(), QStringLiteral("Disconnected"));
    QVERIFY(!window.serialDriver);

    // Values from the first run must not pass for values of the second.
    window.mirror.setS16(LoopTimeAddress, 0);
    window.lineEdit_LoopTime->clear();

    Sim second;
    QVERIFY2(!second.port.isEmpty(), "the simulator named no port");
    QVERIFY(window.connectTo(second.port));
    QCOMPARE(window.labelConnected->text(), QStringLiteral("Connected"));
    expectValuesFlow(window);
}

QTEST_MAIN(TestFaultSimRestart)
#include "test_FaultSimRestart.moc"
