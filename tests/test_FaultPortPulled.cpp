// Fault: the port is pulled while frames stream in. The window falls back to
// "Disconnected", tells the operator, and a later Connect on another port works.
#include "ui/MainWindow.h"
#include "core/SerialDriver.h"
#include "support/Frames.h"
#include "support/Modal.h"
#include "support/Pty.h"

#include <QTimer>
#include <QtTest>

namespace {

struct Probe : MainWindow
{
    using MainWindow::pollTimer;
    using MainWindow::serialDriver;

    // Counts what the driver of the current connection delivers to the window.
    bool connectTo(const QString& port)
    {
        addPort(port);
        pushButton_Connect->click();
        if (!serialDriver)
            return false;
        connect(serialDriver, &SerialDriver::messageReady, this, [this] { ++delivered; });
        return true;
    }

    int delivered = 0;
};

// What a board sends: a position broadcast and a variable reply, in turn.
QByteArray boardFrame(int n)
{
    CANMessage message;
    if (n % 2) {
        message.type = 2;
        message.cmd = 0x90;
        message.dataLength = 8;
        for (int motor = 0; motor < 4; ++motor)
            message.data[2 * motor] = static_cast<unsigned char>(n + motor);
    } else {
        const int address = (n / 2 * 8) % 360;
        message.type = 0x20;
        message.priority = static_cast<unsigned char>(address >> 8);
        message.cmd = static_cast<unsigned char>(address & 0xFF);
        message.dataLength = 8;
        for (int i = 0; i < 8; ++i)
            message.data[i] = static_cast<unsigned char>(n * 3 + i);
    }
    return wireBytes(SerialMessage(message));
}

// Writes a burst of frames to the far end every few milliseconds until stopped.
class Stream
{
public:
    explicit Stream(Pty& pty)
    {
        QObject::connect(&timer, &QTimer::timeout, [this, &pty] {
            QByteArray burst;
            for (int i = 0; i < 20; ++i)
                burst += boardFrame(sent++);
            pty.write(burst);
        });
        timer.start(5);
    }
    void stop() { timer.stop(); }

    int sent = 0;

private:
    QTimer timer;
};

} // namespace

class TestFaultPortPulled : public QObject
{
    Q_OBJECT

private slots:
    void pulledWhileFramesStreamIn_data();
    void pulledWhileFramesStreamIn();
};

void TestFaultPortPulled::pulledWhileFramesStreamIn_data()
{
    QTest::addColumn<int>("lastBytes");
    QTest::addColumn<int>("tabIndex");
    QTest::newRow("between frames, motor tab visible") << 0 << 0;
    QTest::newRow("in the middle of a frame, motor tab visible") << 7 << 0;
    QTest::newRow("after a lone header, script tab visible") << 3 << 7;
}

void TestFaultPortPulled::pulledWhileFramesStreamIn()
{
    QFETCH(int, lastBytes);
    QFETCH(int, tabIndex);

    Probe window;
    window.tabWidget->setCurrentIndex(tabIndex);
    window.show();
    QString told;
    {
        Pty pty;
        QVERIFY(window.connectTo(pty.slavePath()));
        Stream stream(pty);
        QTRY_VERIFY_WITH_TIMEOUT(window.delivered >= 500, 20000);
        stream.stop();
        pty.write(boardFrame(0).left(lastBytes));

        answerNextModal([&told](QWidget* modal) {
            told = messageBoxText(modal);
            acceptModal(modal);
        });
        pty.closeMaster();
        QTRY_VERIFY_WITH_TIMEOUT(!told.isEmpty(), 10000);
    }
    QVERIFY2(told.contains(QStringLiteral("lost")), qPrintable(told));
    QCOMPARE(window.labelConnected->text(), QStringLiteral("Disconnected"));
    QVERIFY(!window.serialDriver);
    QVERIFY(!window.pollTimer);
    QVERIFY(window.pushButton_Connect->isEnabled());

    // The transmit tick goes on with no driver, and nothing more is reported.
    QTest::qWait(200);
    QVERIFY(!QApplication::activeModalWidget());

    Pty replacement;
    window.delivered = 0;
    QVERIFY(window.connectTo(replacement.slavePath()));
    QCOMPARE(window.labelConnected->text(), QStringLiteral("Connected"));
    Stream stream(replacement);
    QTRY_VERIFY_WITH_TIMEOUT(window.delivered >= 100, 20000);
    stream.stop();
    // The polling requests reach the new far end.
    QVERIFY(!replacement.read(16).isEmpty());
}

QTEST_MAIN(TestFaultPortPulled)
#include "test_FaultPortPulled.moc"
