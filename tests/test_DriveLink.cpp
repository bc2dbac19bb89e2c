// The transmit queue, the polling cycle and parameter writes of the link: the exact
// frames queued, what the transmit tick puts on the line, and nothing while disconnected.
#include "core/DriveLink.h"
#include "protocol/RobotCommand.h"
#include "support/Frames.h"
#include "support/LinkOnPty.h"

#include <QSignalSpy>
#include <QTest>

using namespace SharedVariables;

class TestDriveLink : public QObject
{
    Q_OBJECT

private slots:
    void pollingTickQueuesFourRequests()
    {
        LinkOnPty line;
        DriveLink& link = line.link;
        link.pollNextWindow();
        QCOMPARE(line.queuedHex(), (QList<QByteArray> {
                                     "63 61 6e 00 20 38 00 01 00 00 00 00 00 00 00 00",
                                     "63 61 6e 00 02 78 90 01 00 00 00 00 00 00 00 00",
                                     "63 61 6e 00 02 78 92 01 00 00 00 00 00 00 00 00",
                                     "63 61 6e 00 02 78 91 01 00 00 00 00 00 00 00 00",
                                 }));
    }

    void sweepVisitsEveryWindowAndWraps()
    {
        LinkOnPty line;
        DriveLink& link = line.link;
        link.selectBoard(2);
        QList<int> windows;
        for (int tick = 0; tick < 47; ++tick) {
            link.pollNextWindow();
            const QByteArray read = wireBytes(link.transmitQueue().first());
            QCOMPARE(int(read[SerialMessage::Dest]), 2);
            windows << (uint8_t(read[SerialMessage::Priority]) << 8 | uint8_t(read[SerialMessage::Cmd]));
            if (tick == 44) {
                QCOMPARE(read.toHex(' '), QByteArray("63 61 6e 01 20 38 60 02 00 00 00 00 00 00 00 00"));
            }
            line.drain();
        }
        QList<int> expected;
        for (int at = 0; at <= 352; at += 8)
            expected << at;
        expected << 0 << 8;
        QCOMPARE(windows, expected);
    }

    void pollingHoldsBackWhileTheQueueIsLong_data()
    {
        QTest::addColumn<int>("waiting");
        QTest::addColumn<int>("polled");
        QTest::newRow("at the bound") << DriveLink::PollingQueueBound << 4;
        QTest::newRow("beyond the bound") << DriveLink::PollingQueueBound + 1 << 0;
    }

    void pollingHoldsBackWhileTheQueueIsLong()
    {
        QFETCH(int, waiting);
        QFETCH(int, polled);
        LinkOnPty line;
        DriveLink& link = line.link;
        for (int i = 0; i < waiting; ++i)
            link.queueFrame(CANMessage());
        link.pollNextWindow();
        QCOMPARE(link.transmitQueue().size(), waiting + polled);
        // The operator's writes are never held back.
        link.writeParameter(SetPoint, 0, 1);
        link.saveEeprom();
        QCOMPARE(link.transmitQueue().size(), waiting + polled + 2);
        // A held-back tick skips no window.
        line.drain();
        link.pollNextWindow();
        QCOMPARE(int(wireBytes(link.transmitQueue().first())[SerialMessage::Cmd]), polled ? WindowSize : 0);
    }

    void parameterWrites_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("motor");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("address");
        QTest::addColumn<QByteArray>("data");

        // Each parameter for one motor, with a value that shows its width and encoding.
        QTest::newRow("CtrlMode") << int(CtrlMode) << 0 << 3.0 << 0 << QByteArray("03");
        QTest::newRow("CtrlType") << int(CtrlType) << 1 << 2.0 << 89 << QByteArray("02");
        QTest::newRow("SetPointSrc") << int(SetPointSrc) << 2 << 4.0 << 178 << QByteArray("04");
        QTest::newRow("PosMesSrc") << int(PosMesSrc) << 3 << 1.0 << 267 << QByteArray("01");
        QTest::newRow("SetPoint") << int(SetPoint) << 3 << 4096.0 << 270 << QByteArray("0010");
        QTest::newRow("SetPointMax") << int(SetPointMax) << 0 << 4000.0 << 8 << QByteArray("a00f");
        QTest::newRow("SetPointMin") << int(SetPointMin) << 1 << 1.0 << 98 << QByteArray("0100");
        QTest::newRow("ADCOffset negative") << int(ADCOffset) << 0 << -1.0 << 18 << QByteArray("ffff");
        QTest::newRow("SpeedMax") << int(SpeedMax) << 1 << 1000.0 << 154 << QByteArray("e803");
        QTest::newRow("AccelerationStep") << int(AccelerationStep) << 2 << 4096.0 << 244 << QByteArray("0010");
        QTest::newRow("CurrentOffset") << int(CurrentOffset) << 3 << 512.0 << 278 << QByteArray("0002");
        QTest::newRow("CurrentLimit high") << int(CurrentLimit) << 0 << 10000.0 << 76 << QByteArray("1027");
        QTest::newRow("EncoderBias") << int(EncoderBias) << 1 << 1.0 << 171 << QByteArray("01");
        QTest::newRow("MotorBias") << int(MotorBias) << 2 << 1.0 << 260 << QByteArray("01");
        QTest::newRow("pid_Kp 1.0") << int(pid_Kp) << 0 << 1.0 << 36 << QByteArray("0000803f");
        QTest::newRow("pid_Ki") << int(pid_Ki) << 1 << 0.5 << 128 << QByteArray("0000003f");
        QTest::newRow("pid_Kd") << int(pid_Kd) << 2 << 100000000.0 << 220 << QByteArray("20bcbe4c");
        QTest::newRow("pid_error_max 0.1") << int(pid_error_max) << 0 << 0.1 << 60 << QByteArray("cdcccc3d");
        QTest::newRow("low 16 bits of a wide value") << int(SetPoint) << 0 << 65537.0 << 6 << QByteArray("0100");
        QTest::newRow("low 8 bits of a wide value") << int(CtrlMode) << 0 << 257.0 << 0 << QByteArray("01");
        // What is not a number is never written.
        QTest::newRow("NaN") << int(pid_Kp) << 3 << qQNaN() << 0 << QByteArray();
        QTest::newRow("infinity") << int(pid_Kd) << 0 << qInf() << 0 << QByteArray();
        QTest::newRow("-infinity, whole") << int(SetPoint) << 1 << -qInf() << 0 << QByteArray();
    }

    void parameterWrites()
    {
        QFETCH(int, index);
        QFETCH(int, motor);
        QFETCH(double, value);
        QFETCH(int, address);
        QFETCH(QByteArray, data);
        LinkOnPty line;
        DriveLink& link = line.link;
        link.selectBoard(2);
        link.writeParameter(Index(index), motor, value);

        const QByteArray bytes = QByteArray::fromHex(data);
        QByteArray expected = "can" + QByteArray(1, char(address >> 8)) + '\x20' + char(bytes.size())
            + char(address & 0xFF) + '\x02' + bytes;
        expected.append(SerialMessage::FrameSize - expected.size(), '\0');
        QCOMPARE(line.queuedHex(), data.isEmpty() ? QList<QByteArray>() : QList<QByteArray> {expected.toHex(' ')});
    }

    // A reply is reported as the board's the request went to, and the requests it
    // overtook count as missing (the matching rules: test_ReplyTracker).
    void repliesReportTheBoardAsked()
    {
        LinkOnPty line;
        DriveLink& link = line.link;
        link.selectBoard(2);
        link.requestWindow(8);
        link.requestWindow(16);
        line.drain();
        link.selectBoard(1);
        QSignalSpy read(&link, &DriveLink::windowRead);
        link.receiveFrame(variableWrite(16, 2, QByteArray(8, '\x01')));
        QCOMPARE(read.value(0), (QVariantList{2, 16}));
        const LinkHealth health = link.health();
        QCOMPARE(health.framesSent, qint64(2));
        QCOMPARE(health.framesReceived, qint64(1));
        QCOMPARE(health.repliesMissing, qint64(1));
    }

    // A sample pairs a position with the set-points and speeds of the same board.
    void samplesWaitForTheBoardsOwnValues()
    {
        LinkOnPty line;
        DriveLink& link = line.link;
        const auto broadcast = [&link](uint8_t board, int16_t setPoint) {
            link.receiveFrame(liveValues(SerialMessage::LiveSetPoints, board, {setPoint}));
            link.receiveFrame(liveValues(SerialMessage::LiveSpeeds, board, {7}));
            link.receiveFrame(liveValues(SerialMessage::LivePositions, board, {100}));
        };
        link.receiveFrame(liveValues(SerialMessage::LivePositions, 1, {100}));
        QCOMPARE(link.samples(0).size(), 0);
        broadcast(1, 1000);
        QCOMPARE(link.samples(0).size(), 1);
        link.pollNextWindow();
        line.drain();
        link.selectBoard(2);
        broadcast(1, 1000); // answers the requests sent to board 1
        QCOMPARE(link.samples(0).size(), 0);
        broadcast(2, 2000);
        QCOMPARE(link.samples(0).size(), 1);
        QCOMPARE(link.samples(0).setPoint.at(0), 2000.0);
    }

    void nothingQueuedWhileDisconnected()
    {
        LinkOnPty line;
        DriveLink& link = line.link;
        link.writeParameter(SetPoint, 0, 1);
        link.pollNextWindow();
        link.close();
        QVERIFY(link.transmitQueue().isEmpty());
        link.pollNextWindow();
        link.writeParameter(SetPoint, 0, 100);
        link.writeParameter(pid_Kp, 0, 1.0);
        link.saveEeprom();
        link.queueFrame(CANMessage());
        link.queueRobotCommand(RobotCommands::Mla, {1, 2, 3});
        QVERIFY(link.transmitQueue().isEmpty());

        // Connecting again starts with an empty queue and the first window.
        QVERIFY(link.open(line.pty.slavePath()));
        QVERIFY(link.transmitQueue().isEmpty());
        link.pollNextWindow();
        QCOMPARE(int(wireBytes(link.transmitQueue().first())[SerialMessage::Cmd]), 0);
    }

    void oneFramePerTransmitTick()
    {
        LinkOnPty line;
        DriveLink& link = line.link;
        for (int value = 1; value <= 3; ++value)
            link.writeParameter(SetPoint, 0, value);
        for (int sent = 1; sent <= 3; ++sent) {
            link.sendNextFrame();
            QCOMPARE(link.transmitQueue().size(), 3 - sent);
        }
        // Whatever the polling queues while the test reads goes on the line behind them.
        const QByteArray wire = line.pty.read(3 * SerialMessage::FrameSize, 10000);
        QVERIFY(wire.size() >= 3 * SerialMessage::FrameSize);
        for (int value = 1; value <= 3; ++value)
            QCOMPARE(int(wire[(value - 1) * SerialMessage::FrameSize + SerialMessage::Data]), value);
    }

    // What counts the frames that left (an apply's summary, a script's end) must not count
    // one the port could not take.
    void frameToAHungUpLineIsNotSent()
    {
        LinkOnPty line;
        DriveLink& link = line.link;
        const qint64 write = link.writeParameter(SetPoint, 0, 1);
        QSignalSpy sent(&link, &DriveLink::frameSent);
        line.pty.closeMaster();
        link.sendNextFrame();
        QCOMPARE(sent.count(), 0);
        QVERIFY(link.lastSentFrame() < write);
    }
};

QTEST_GUILESS_MAIN(TestDriveLink)
#include "test_DriveLink.moc"
