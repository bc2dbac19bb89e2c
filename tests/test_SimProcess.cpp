#include "protocol/Framer.h"
#include "sim/SimulatedBoard.h"
#include "support/Frames.h"
#include "support/SimProcess.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

using namespace SharedVariables;

namespace {

// A board at rest answers a read with its defaults, all but the jittering LoopTime.
void verifyReadReply(const SerialMessage& reply, int address, uint8_t board)
{
    const int length = std::min(WindowSize, BlockSize - address);
    QByteArray data(reinterpret_cast<const char*>(SimulatedBoard(board).block().data()) + address, length);
    for (int at = LoopTimeAddress; at < LoopTimeAddress + 2; ++at) {
        if (at >= address && at < address + length)
            data[at - address] = char(reply.bytes[SerialMessage::Data + at - address]);
    }
    QCOMPARE(wireBytes(reply), QByteArray("can", 3) + char(address >> 8) + char(SerialMessage::VariableType)
             + char(length) + char(address & 0xFF) + char(board) + data + QByteArray(WindowSize - length, '\0'));
}

// drive-sim with its line opened as the tool opens a port.
class Sim : public SimProcess
{
public:
    explicit Sim(const QStringList& arguments = {})
        : SimProcess(arguments)
    {
        line.setPortName(port());
        line.setBaudRate(QSerialPort::Baud57600);
        if (!line.open(QIODevice::ReadWrite))
            qWarning("cannot open the simulator's line \"%s\": %s", qPrintable(port()), qPrintable(line.errorString()));
    }

    void send(const QByteArray& bytes)
    {
        line.write(bytes);
        line.waitForBytesWritten(1000);
    }
    void send(const SerialMessage& frame) { send(wireBytes(frame)); }

    // The next count frames the tool's own framer cuts from the replies.
    QVector<SerialMessage> replies(int count)
    {
        QVector<SerialMessage> frames;
        QDeadlineTimer deadline(20000);
        while (frames.size() < count && !deadline.hasExpired()) {
            if (line.bytesAvailable() > 0 || line.waitForReadyRead(100)) {
                const QByteArray bytes = line.readAll();
                received += bytes;
                framer.feed(bytes.constData(), bytes.size(), [&](const SerialMessage& frame) { frames << frame; });
            }
        }
        return frames;
    }
    SerialMessage reply(const SerialMessage& requested)
    {
        send(requested);
        const QVector<SerialMessage> frames = replies(1);
        return frames.isEmpty() ? SerialMessage() : frames.first();
    }

    QSerialPort line;
    Framer framer;
    QByteArray received;
};

} // namespace

class TestSimProcess : public QObject
{
    Q_OBJECT

private slots:
    void readWindow_data();
    void readWindow();
    void otherDestGetsNoAnswer();
    void liveValues_data();
    void liveValues();
    void writeThenReadBack();
    void motorMovesToNewSetPoint();
    void saveEEPROMSurvivesRestart();
    void robotCommandsPrintedInOrder();
    void noiseLosesNothing();
    void splitWritesAndGarbage();
    void tolerantOfReopen();
    void linkMadeAndRemoved();
};

void TestSimProcess::readWindow_data()
{
    QTest::addColumn<int>("board");
    QTest::addColumn<int>("address");

    QTest::newRow("board 1 window 0") << 1 << 0;
    QTest::newRow("board 2 window 32") << 2 << 32;
    QTest::newRow("board 2 window 264, PRIORITY 1") << 2 << 264;
    QTest::newRow("board 1 window 352 carries 8 bytes") << 1 << 352;
    QTest::newRow("board 2 request at 356 gets 4 bytes") << 2 << 356;
}

void TestSimProcess::readWindow()
{
    QFETCH(int, board);
    QFETCH(int, address);

    Sim sim;
    QVERIFY(sim.line.isOpen());
    verifyReadReply(sim.reply(variableRead(address, uint8_t(board))), address, uint8_t(board));
}

void TestSimProcess::otherDestGetsNoAnswer()
{
    Sim sim;
    sim.send(variableRead(0, 3));
    sim.send(variableRead(8, 1));
    const QVector<SerialMessage> replies = sim.replies(1);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(replies[0].bytes[SerialMessage::Cmd], uint8_t(8));
}

void TestSimProcess::liveValues_data()
{
    QTest::addColumn<int>("board");
    QTest::addColumn<int>("cmd");
    QTest::addColumn<int>("variable");

    QTest::newRow("board 1 positions") << 1 << 0x90 << int(Position);
    QTest::newRow("board 2 speeds") << 2 << 0x91 << int(Speed);
    QTest::newRow("board 2 set-points") << 2 << 0x92 << int(SetPoint);
}

void TestSimProcess::liveValues()
{
    QFETCH(int, board);
    QFETCH(int, cmd);
    QFETCH(int, variable);

    Sim sim;
    const SerialMessage reply = sim.reply(liveValueRequest(uint8_t(cmd), uint8_t(board)));
    const SimulatedBoard expected{uint8_t(board)};
    QByteArray values;
    for (int m = 0; m < MotorCount; ++m)
        values += QByteArray(reinterpret_cast<const char*>(expected.block().data()) + address(m, Index(variable)), 2);
    QCOMPARE(wireBytes(reply), QByteArray("can\x00\x02\x08", 6) + char(cmd) + char(board) + values);
}

void TestSimProcess::writeThenReadBack()
{
    Sim sim;
    const QByteArray kp = QByteArray::fromHex("00002040");   // 2.5
    sim.send(variableWrite(address(1, pid_Kp), 2, kp));
    const SerialMessage reply = sim.reply(variableRead(address(1, RefPoint), 2));
    QCOMPARE(wireBytes(reply).mid(SerialMessage::Data + 4, 4), kp);
}

void TestSimProcess::motorMovesToNewSetPoint()
{
    Sim sim;
    sim.send(variableWrite(address(2, SetPoint), 1, QByteArray::fromHex("f401")));   // 500
    const SerialMessage setPoints = sim.reply(liveValueRequest(0x92, 1));
    QCOMPARE(wireBytes(setPoints).mid(SerialMessage::Data + 4, 2), QByteArray::fromHex("f401"));
    int position = 0;
    QDeadlineTimer deadline(30000);
    do {
        const SerialMessage positions = sim.reply(liveValueRequest(0x90, 1));
        position = int16_t(positions.bytes[SerialMessage::Data + 4] | positions.bytes[SerialMessage::Data + 5] << 8);
    } while (position != 500 && !deadline.hasExpired());
    QCOMPARE(position, 500);
}

void TestSimProcess::saveEEPROMSurvivesRestart()
{
    QTemporaryDir dir;
    const QStringList arguments{QStringLiteral("--eeprom"), dir.filePath(QStringLiteral("eeprom"))};
    const QByteArray speedMax = QByteArray::fromHex("3700");
    {
        Sim sim(arguments);
        sim.send(variableWrite(address(3, SpeedMax), 2, speedMax));
        sim.send(variableWrite(SaveEEPROMAddress, 2, QByteArray(1, '\x01')));
        sim.send(variableWrite(address(0, SpeedMax), 1, speedMax));
        const SerialMessage shared = sim.reply(variableRead(352, 2));
        QCOMPARE(shared.bytes[SerialMessage::Data + 1], uint8_t(0));
        QVERIFY(sim.stop());
    }
    Sim sim(arguments);
    QCOMPARE(wireBytes(sim.reply(variableRead(address(3, SpeedMax), 2))).mid(SerialMessage::Data, 2), speedMax);
    verifyReadReply(sim.reply(variableRead(address(0, SpeedMax), 1)), address(0, SpeedMax), 1);
}

void TestSimProcess::robotCommandsPrintedInOrder()
{
    Sim sim;
    sim.send(QByteArray::fromHex("6d6c61" "64002c01c800") + wireBytes(variableRead(0, 1))
             + QByteArray::fromHex("6d726e" "0010ffff" "6d726d" "0102030405060708")
             + QByteArray::fromHex("6d6562" "ff000102" "6d7265" "0a0b0c0d0e0f" "6d7261" "0080ff7f0000"));
    QTRY_COMPARE_WITH_TIMEOUT(sim.commands(), (QStringList{"mla 100 300 200", "mrn 4096 -1", "mrm 1 2 3 4 5 6 7 8",
                                        "meb 255 0 1 2", "mre 10 11 12 13 14 15", "mra -32768 32767 0"}),
                              20000);
}

void TestSimProcess::noiseLosesNothing()
{
    Sim sim({QStringLiteral("--noise"), QStringLiteral("0.5"), QStringLiteral("--seed"), QStringLiteral("7")});
    QByteArray requests;
    for (int address = 0; address < BlockSize; address += WindowSize)
        requests += wireBytes(variableRead(address, 1)) + wireBytes(variableRead(address, 2));
    sim.send(requests);
    const QVector<SerialMessage> replies = sim.replies(2 * BlockSize / WindowSize);
    QCOMPARE(replies.size(), 2 * BlockSize / WindowSize);
    for (int i = 0; i < replies.size() && !QTest::currentTestFailed(); ++i)
        verifyReadReply(replies[i], i / 2 * WindowSize, uint8_t(1 + i % 2));
    QVERIFY(sim.received.size() > replies.size() * SerialMessage::FrameSize);
}

void TestSimProcess::splitWritesAndGarbage()
{
    Sim sim;
    const QByteArray frame = wireBytes(variableRead(176, 2));
    sim.send("xyz" + frame.left(2));
    QTest::qWait(50);
    sim.send(frame.mid(2, 7));
    QTest::qWait(50);
    sim.send(frame.mid(9));
    const QVector<SerialMessage> replies = sim.replies(1);
    QCOMPARE(replies.size(), 1);
    verifyReadReply(replies[0], 176, 2);
}

void TestSimProcess::tolerantOfReopen()
{
    Sim sim;
    verifyReadReply(sim.reply(variableRead(16, 1)), 16, 1);
    sim.line.close();
    QTest::qWait(100);
    QVERIFY(sim.line.open(QIODevice::ReadWrite));
    verifyReadReply(sim.reply(variableRead(24, 2)), 24, 2);
}

void TestSimProcess::linkMadeAndRemoved()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttySIM"));
    Sim sim({QStringLiteral("--link"), link});
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.port());
    sim.line.close();
    QVERIFY(sim.stop());
    QVERIFY(!QFileInfo::exists(link));
    QVERIFY(!QFileInfo(link).isSymLink());
}

QTEST_MAIN(TestSimProcess)
#include "test_SimProcess.moc"
