#include "sim/EepromFile.h"
#include "sim/MotorModel.h"
#include "sim/SimulatedBoard.h"
#include "support/Frames.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <cstring>

using namespace SharedVariables;

namespace {

QByteArray s16(int16_t value)
{
    return QByteArray(1, char(value & 0xFF)) + char(value >> 8);
}

QByteArray blockBytes(const SimulatedBoard& board, int address, int count)
{
    return QByteArray(reinterpret_cast<const char*>(board.block().data()) + address, count);
}

} // namespace

class TestSimBoard : public QObject
{
    Q_OBJECT

private slots:
    void noReply_data();
    void noReply();
    void writeStores_data();
    void writeStores();
    void boardsDiffer();
    void saveEEPROMPersists();
    void restStaysPut();
    void sweepMovesTheMotorUntilSwitchedOff();
    void motorReachesTarget_data();
    void motorReachesTarget();
    void currentLimitCapsCurrent();
    void ctrlModeOffCoasts();
};

void TestSimBoard::noReply_data()
{
    QTest::addColumn<SerialMessage>("frame");

    SerialMessage robot;
    std::memcpy(robot.bytes, "mla\x01\x00\x01\x00\x01\x00", 9);
    robot.length = 9;
    QTest::newRow("read for board 2") << variableRead(0, 2);
    QTest::newRow("read for DEST 3") << variableRead(0, 3);
    QTest::newRow("read at 360, past the block") << variableRead(360, 1);
    QTest::newRow("read at 0x700, past the block") << variableRead(0x700, 1);
    QTest::newRow("live value request with CMD 0x93") << liveValueRequest(0x93, 1);
    QTest::newRow("variable write") << variableWrite(6, 1, s16(100));
    QTest::newRow("robot command frame") << robot;
}

void TestSimBoard::noReply()
{
    QFETCH(SerialMessage, frame);

    SimulatedBoard board(1);
    QVERIFY(board.handle(frame).isEmpty());
}

void TestSimBoard::writeStores_data()
{
    QTest::addColumn<SerialMessage>("frame");
    QTest::addColumn<int>("address");
    QTest::addColumn<QByteArray>("stored");

    SerialMessage tooLong = variableWrite(100, 1, QByteArray(8, '\x55'));
    tooLong.bytes[SerialMessage::BootRtrLength] = 0x0F;
    const QByteArray one = QByteArray::fromHex("0000803f");
    QTest::newRow("pid_Kp 1.0 of motor 0") << variableWrite(36, 1, one) << 36 << one;
    QTest::newRow("SetPoint -1 of motor 3") << variableWrite(270, 1, s16(-1)) << 270 << s16(-1);
    QTest::newRow("MotorBias of motor 2") << variableWrite(260, 1, "\x01") << 260 << QByteArray("\x01");
    QTest::newRow("DATA LENGTH 15 stores 8 bytes")
        << tooLong << 100 << QByteArray(8, '\x55') + blockBytes(SimulatedBoard(1), 108, 1);
    QTest::newRow("write across the end keeps inside")
        << variableWrite(358, 1, "\x11\x22\x33\x44") << 358 << QByteArray("\x11\x22");
}

void TestSimBoard::writeStores()
{
    QFETCH(SerialMessage, frame);
    QFETCH(int, address);
    QFETCH(QByteArray, stored);

    SimulatedBoard board(1);
    QVERIFY(board.handle(frame).isEmpty());
    QCOMPARE(blockBytes(board, address, stored.size()), stored);
}

void TestSimBoard::boardsDiffer()
{
    const SimulatedBoard first(1);
    const SimulatedBoard second(2);
    QVERIFY(first.block().f32(address(0, pid_Kp)) != second.block().f32(address(0, pid_Kp)));
    QVERIFY(first.block().s16(address(0, Position)) != second.block().s16(address(0, Position)));
    QVERIFY(first.block().s16(LoopTimeAddress) != second.block().s16(LoopTimeAddress));
}

void TestSimBoard::saveEEPROMPersists()
{
    QTemporaryDir dir;
    EepromFile eeprom(dir.filePath(QStringLiteral("eeprom")));
    const QByteArray kp = QByteArray::fromHex("0000a03f");   // 1.25
    {
        SimulatedBoard first(1, &eeprom);
        SimulatedBoard second(2, &eeprom);
        second.handle(variableWrite(address(3, pid_Kp), 2, kp));
        second.handle(variableWrite(SaveEEPROMAddress, 2, "\x01"));
        QCOMPARE(second.block().u8(SaveEEPROMAddress), uint8_t(0));
        first.handle(variableWrite(address(0, SetPoint), 1, s16(3000)));
        first.handle(variableWrite(SaveEEPROMAddress, 1, "\x01"));
        first.handle(variableWrite(address(0, SpeedMax), 1, s16(5)));
    }
    QCOMPARE(QFileInfo(eeprom.path()).size(), qint64(2 * (1 + BlockSize)));
    const SimulatedBoard first(1, &eeprom);
    const SimulatedBoard second(2, &eeprom);
    QCOMPARE(blockBytes(second, address(3, pid_Kp), 4), kp);
    QCOMPARE(first.block().s16(address(0, SetPoint)), int16_t(3000));
    QCOMPARE(first.block().s16(address(0, Position)), int16_t(3000));
    QCOMPARE(first.block().s16(address(0, SpeedMax)), SimulatedBoard(1).block().s16(address(0, SpeedMax)));
}

void TestSimBoard::restStaysPut()
{
    SimulatedBoard board(1);
    const QByteArray start = blockBytes(board, 0, LoopTimeAddress);
    for (int i = 0; i < 500; ++i)
        board.step();
    QCOMPARE(blockBytes(board, 0, LoopTimeAddress), start);
}

void TestSimBoard::motorReachesTarget_data()
{
    QTest::addColumn<int>("board");
    QTest::addColumn<int>("motor");
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("reached");

    QTest::newRow("board 1 motor 0 far up") << 1 << 0 << 4000 << 4000;
    QTest::newRow("board 2 motor 3 far down") << 2 << 3 << 100 << 100;
    QTest::newRow("board 1 motor 2 small step") << 1 << 2 << 3080 << 3080;
    QTest::newRow("beyond SetPointMax stops at it") << 2 << 1 << 5000 << 4096;
    QTest::newRow("below SetPointMin stops at it") << 1 << 1 << -50 << 0;
}

void TestSimBoard::motorReachesTarget()
{
    QFETCH(int, board);
    QFETCH(int, motor);
    QFETCH(int, target);
    QFETCH(int, reached);

    SimulatedBoard simulated{uint8_t(board)};
    const Block& block = simulated.block();
    const int speedMax = block.s16(address(motor, SpeedMax));
    const int accelerationStep = block.s16(address(motor, AccelerationStep));
    const int direction = reached > block.s16(address(motor, Position)) ? 1 : -1;
    simulated.handle(variableWrite(address(motor, SetPoint), uint8_t(board), s16(int16_t(target))));
    int overshoot = 0;
    int lastSpeed = 0;
    for (int i = 0; i < 1000; ++i) {
        simulated.step();
        const int speed = block.s16(address(motor, Speed));
        QVERIFY(std::abs(speed) <= speedMax);
        QVERIFY(std::abs(speed - lastSpeed) <= accelerationStep + 1);   // +1: both are rounded
        lastSpeed = speed;
        overshoot = std::max(overshoot, (block.s16(address(motor, Position)) - reached) * direction);
    }
    QVERIFY(overshoot <= 2);
    QVERIFY(std::abs(block.s16(address(motor, Position)) - reached) <= 1);
    QCOMPARE(block.s16(address(motor, Speed)), int16_t(0));
}

void TestSimBoard::currentLimitCapsCurrent()
{
    SimulatedBoard board(1);
    const Block& block = board.block();
    board.handle(variableWrite(address(2, CurrentLimit), 1, s16(300)));
    board.handle(variableWrite(address(2, SetPoint), 1, s16(100)));
    bool limited = false;
    for (int i = 0; i < 1000; ++i) {
        board.step();
        QVERIFY(block.s16(address(2, Current)) <= 300);
        limited = limited || block.u8(address(2, CurrentLimitActive)) == 1;
    }
    QVERIFY(limited);
    QCOMPARE(block.u8(address(2, CurrentLimitActive)), uint8_t(0));
    QVERIFY(std::abs(block.s16(address(2, Position)) - 100) <= 1);
}

void TestSimBoard::ctrlModeOffCoasts()
{
    SimulatedBoard board(2);
    const Block& block = board.block();
    board.handle(variableWrite(address(0, SetPoint), 2, s16(4000)));
    for (int i = 0; i < 50; ++i)
        board.step();
    QVERIFY(block.s16(address(0, Speed)) > 0);
    board.handle(variableWrite(address(0, CtrlMode), 2, QByteArray(1, '\0')));
    for (int i = 0; i < 50; ++i)
        board.step();
    QCOMPARE(block.s16(address(0, Speed)), int16_t(0));
    QCOMPARE(block.s16(address(0, PIDOut)), int16_t(0));
    QVERIFY(block.s16(address(0, Position)) < 4000);
}

QTEST_GUILESS_MAIN(TestSimBoard)
#include "test_SimBoard.moc"

void TestSimBoard::sweepMovesTheMotorUntilSwitchedOff()
{
    SimulatedBoard board(1);
    board.sweep(1);
    const Block& block = board.block();
    int lowest = 4096, highest = 0, travelled = 0;
    int last = block.s16(address(1, Position));
    for (int i = 0; i < 2 * MotorModel::SweepPeriodSteps; ++i) {
        board.step();
        const int setPoint = block.s16(address(1, SetPoint));
        lowest = std::min(lowest, setPoint);
        highest = std::max(highest, setPoint);
        travelled += std::abs(block.s16(address(1, Position)) - last);
        last = block.s16(address(1, Position));
    }
    QVERIFY(lowest >= 1024 && highest <= 3072);
    QVERIFY(highest - lowest > 1500);
    QVERIFY(travelled > 2000);
    QCOMPARE(block.s16(address(0, Position)), SimulatedBoard(1).block().s16(address(0, Position)));

    board.handle(variableWrite(address(1, SetPointSrc), 1, QByteArray(1, 0)));
    const int16_t held = block.s16(address(1, SetPoint));
    for (int i = 0; i < 100; ++i)
        board.step();
    QCOMPARE(block.s16(address(1, SetPoint)), held);
}
