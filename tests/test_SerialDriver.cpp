// The serial driver on a real pseudo-terminal: opening, framing, writing, hang-up.
#include "protocol/CANMessage.h"
#include "core/SerialDriver.h"
#include "support/Frames.h"
#include "support/DebugCapture.h"
#include "support/Pty.h"

#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTest>

class TestSerialDriver : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<SerialMessage>(); }

    void opensAPseudoTerminal()
    {
        Pty pty;
        SerialDriver driver(pty.slavePath(), nullptr);
        QSignalSpy connected(&driver, &SerialDriver::connected);
        QSignalSpy disconnected(&driver, &SerialDriver::disconnected);
        QVERIFY(driver.openPort());
        QCOMPARE(connected.count(), 1);
        QCOMPARE(disconnected.count(), 0);
    }

    void missingPortFails()
    {
        SerialDriver driver(QStringLiteral("/dev/no-such-port"), nullptr);
        QSignalSpy connected(&driver, &SerialDriver::connected);
        QSignalSpy disconnected(&driver, &SerialDriver::disconnected);
        QVERIFY(!driver.openPort());
        QCOMPARE(connected.count(), 0);
        QCOMPARE(disconnected.count(), 1);
        QCOMPARE(driver.error(), QSerialPort::DeviceNotFoundError);
        QVERIFY(!driver.errorString().isEmpty());
        QVERIFY(!driver.writeMessage(SerialMessage()));
    }

    void framesFromTheLine_data()
    {
        QTest::addColumn<QList<QByteArray>>("writes");
        QTest::addColumn<QList<QByteArray>>("frames");

        const QByteArray a = taggedFrame('A');
        const QByteArray b = taggedFrame('a');
        QTest::newRow("noise then a frame") << QList<QByteArray> {"12345" + a} << QList<QByteArray> {a};
        QTest::newRow("two frames at once") << QList<QByteArray> {a + b} << QList<QByteArray> {a, b};
        QTest::newRow("frame split 10 + 6") << QList<QByteArray> {a.left(10), a.mid(10)} << QList<QByteArray> {a};
        QTest::newRow("header split by noise at the end of a read")
            << QList<QByteArray> {QByteArray(15, 'x') + a.left(2), a.mid(2) + b} << QList<QByteArray> {a, b};
    }

    void framesFromTheLine()
    {
        QFETCH(QList<QByteArray>, writes);
        QFETCH(QList<QByteArray>, frames);
        Pty pty;
        SerialDriver driver(pty.slavePath(), nullptr);
        QVERIFY(driver.openPort());
        QList<QByteArray> received;
        connect(&driver, &SerialDriver::messageReady, this,
                [&](const SerialMessage& message) { received << wireBytes(message); });
        for (const QByteArray& bytes : writes) {
            pty.write(bytes);
            QTest::qWait(20);
        }
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), frames.size(), 5000);
        QTest::qWait(20);
        QCOMPARE(received, frames);
    }

    void writesExactlyTheFrameBytes_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("can frame") << 16;
        QTest::newRow("robot command of 7") << 7;
        QTest::newRow("robot command of 9") << 9;
    }

    void writesExactlyTheFrameBytes()
    {
        QFETCH(int, length);
        Pty pty;
        SerialDriver driver(pty.slavePath(), nullptr);
        QVERIFY(driver.openPort());
        SerialMessage message;
        message.length = length;
        for (int i = 3; i < 16; ++i)
            message.bytes[i] = static_cast<unsigned char>(0xF0 + i);
        driver.writeMessage(message);
        QCOMPARE(pty.readFor(100), wireBytes(message).left(length));
    }

    void testFrameGoesStraightToThePort()
    {
        Pty pty;
        SerialDriver driver(pty.slavePath(), nullptr);
        QVERIFY(driver.openPort());
        QMetaObject::invokeMethod(&driver, "testTimer");
        QCOMPARE(pty.read(16).toHex(' '), QByteArray("63 61 6e 00 20 08 00 01 00 01 02 03 04 05 06 07"));
    }

    void destructionClosesThePort()
    {
        Pty pty;
        DebugCapture capture;
        auto* driver = new SerialDriver(pty.slavePath(), nullptr);
        QVERIFY(driver->openPort());
        QSignalSpy disconnected(driver, &SerialDriver::disconnected);
        delete driver;
        QCOMPARE(disconnected.count(), 1);
        // Debug chatter only for those who ask for it.
        QCOMPARE(capture.lines(), QStringList());
        QLoggingCategory::setFilterRules(QStringLiteral("drive.serial.debug=true"));
        auto* again = new SerialDriver(pty.slavePath(), nullptr);
        QVERIFY(again->openPort());
        delete again;
        QLoggingCategory::setFilterRules(QString());
        QCOMPARE(capture.lines(), QStringList{"SerialDriver::aboutToClose()"});
    }

    void hangUpClosesThePortOnce()
    {
        Pty pty;
        SerialDriver driver(pty.slavePath(), nullptr);
        QVERIFY(driver.openPort());
        QSignalSpy lost(&driver, &SerialDriver::portLost);
        pty.closeMaster();
        QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 5000);
        QTest::qWait(200);
        QCOMPARE(lost.count(), 1);
        QVERIFY(!driver.writeMessage(SerialMessage()));
    }
};

QTEST_GUILESS_MAIN(TestSerialDriver)
#include "test_SerialDriver.moc"
