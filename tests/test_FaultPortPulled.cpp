// Fault: the port is pulled while frames stream in. The window falls back to
// "Disconnected", tells the operator once, and a later Connect on another port works.
#include "core/DriveLink.h"
#include "ui/MainWindow.h"
#include "support/Frames.h"
#include "support/Modal.h"
#include "support/Pty.h"

#include <QTimer>
#include <QtTest>

using namespace SharedVariables;

namespace {

// What a board sends: live values (positions, speeds, set-points) and a variable reply,
// in turn.
QByteArray boardFrame(int n)
{
    CANMessage message;
    message.dataLength = 8;
    if (n % 2) {
        message.type = SerialMessage::LiveValueType;
        message.cmd = uint8_t(SerialMessage::LivePositions + n / 2 % 3);
        for (int motor = 0; motor < MotorCount; ++motor)
            message.data[2 * motor] = uint8_t(n + motor);
    } else {
        const int address = (n / 2 * WindowSize) % BlockSize;
        message.type = SerialMessage::VariableType;
        message.priority = priorityOf(address);
        message.cmd = cmdOf(address);
        for (int i = 0; i < 8; ++i)
            message.data[i] = uint8_t(n * 3 + i);
    }
    return wireBytes(SerialMessage(message));
}

// Writes a burst of frames to the far end every few milliseconds while it lives.
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

private:
    QTimer timer;
    int sent = 0;
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

    DriveLink link;
    MainWindow window(link);
    window.form().tabWidget->setCurrentIndex(tabIndex);
    window.show();
    int broadcasts = 0;
    connect(&link, &DriveLink::samplesAppended, this, [&broadcasts] { ++broadcasts; });

    QString told;
    {
        Pty pty;
        window.addPort(pty.slavePath());
        window.form().pushButton_Connect->click();
        QVERIFY(link.isConnected());
        {
            Stream stream(pty);
            QTRY_VERIFY_WITH_TIMEOUT(broadcasts >= 250, 20000);
        }
        pty.write(boardFrame(0).left(lastBytes));

        answerNextModal([&told](QWidget* modal) {
            told = messageBoxText(modal);
            acceptModal(modal);
        });
        pty.closeMaster();
        QTRY_VERIFY_WITH_TIMEOUT(!told.isEmpty(), 10000);
    }
    QVERIFY2(told.contains(QStringLiteral("lost")), qPrintable(told));
    QCOMPARE(window.form().labelConnected->text(), QStringLiteral("Disconnected"));
    QVERIFY(!link.isConnected());
    QVERIFY(window.form().pushButton_Connect->isEnabled());

    // One box, and nothing more is reported.
    QTest::qWait(200);
    QVERIFY(!QApplication::activeModalWidget());

    Pty replacement;
    window.addPort(replacement.slavePath());
    window.form().pushButton_Connect->click();
    QCOMPARE(window.form().labelConnected->text(), QStringLiteral("Connected"));
    broadcasts = 0;
    Stream stream(replacement);
    QTRY_VERIFY_WITH_TIMEOUT(broadcasts >= 50, 20000);
    // The polling requests reach the new far end.
    QCOMPARE(replacement.read(16).left(3), QByteArray("can"));
}

QTEST_MAIN(TestFaultPortPulled)
#include "test_FaultPortPulled.moc"
