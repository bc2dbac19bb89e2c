// Fault: noise between the frames on the line, 10% and 50% of the bytes. The noise never
// holds a "c", so no header can be made of it: the link must take every frame, in
// order, and nothing else.
#include "core/DriveLink.h"
#include "support/Frames.h"
#include "support/LinkOnPty.h"

#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <cstring>
#include <random>

using namespace SharedVariables;

namespace {

struct Line
{
    QByteArray bytes;
    int frameCount = 0;
    Block block; // the mirror once every frame has landed
    // Per motor, what each position broadcast brings: position, set-point and speed.
    QVector<double> samples[MotorCount];
};

// Frames a board sends (variable replies for every window, live values of all three
// kinds) with random contents, "can" and "c" among them; before each frame a run of
// noise bytes, so that noise is about noiseShare of all bytes.
Line makeLine(int frameCount, double noiseShare, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    // Runs of 0 to 2m bytes have a mean of m; m = 16 s / (1 - s) gives the share s.
    const int meanRun = int(std::lround(SerialMessage::FrameSize * noiseShare / (1 - noiseShare)));
    std::uniform_int_distribution<int> runLength(0, 2 * meanRun);

    Line line;
    for (; line.frameCount < frameCount; ++line.frameCount) {
        const int n = line.frameCount;
        for (int run = runLength(random); run > 0; --run) {
            int value = byte(random);
            while (value == 'c')
                value = byte(random);
            line.bytes.append(char(value));
        }
        CANMessage message;
        for (unsigned char& data : message.data)
            data = uint8_t(byte(random));
        if (n % 4 == 0) {
            const int address = (n / 4 * WindowSize) % BlockSize;
            message.type = SerialMessage::VariableType;
            message.priority = priorityOf(address);
            message.cmd = cmdOf(address);
            message.dataLength = uint8_t(std::min(WindowSize, BlockSize - address));
            line.block.store(address, message.data, message.dataLength);
        } else {
            message.type = SerialMessage::LiveValueType;
            message.cmd = uint8_t(SerialMessage::LivePositions + n % 3);
            message.dataLength = 8;
            if (n % 16 == 5)
                std::memcpy(message.data + 2, "can", 3);
            const Index live[] = {Position, Speed, SetPoint};
            for (int motor = 0; motor < MotorCount; ++motor) {
                const int at = address(motor, live[n % 3]);
                line.block.store(at, message.data + 2 * motor, 2);
                if (message.cmd == SerialMessage::LivePositions)
                    line.samples[motor] << line.block.s16(at) << line.block.s16(address(motor, SetPoint))
                                        << line.block.s16(address(motor, Speed));
            }
        }
        message.dest = uint8_t(byte(random));
        line.bytes += wireBytes(SerialMessage(message));
    }
    return line;
}

QVector<double> samplesOf(const MotorSamples& samples)
{
    QVector<double> values;
    for (int i = 0; i < samples.size(); ++i)
        values << samples.position.at(i) << samples.setPoint.at(i) << samples.speed.at(i);
    return values;
}

} // namespace

class TestFaultNoise : public QObject
{
    Q_OBJECT

private slots:
    void everyFrameAndNothingElse_data();
    void everyFrameAndNothingElse();
};

void TestFaultNoise::everyFrameAndNothingElse_data()
{
    QTest::addColumn<double>("noiseShare");
    QTest::addColumn<int>("largestPiece"); // 0: all bytes in one write
    QTest::newRow("10% noise, written at once") << 0.1 << 0;
    QTest::newRow("10% noise, pieces of 1 to 37 bytes") << 0.1 << 37;
    QTest::newRow("50% noise, written at once") << 0.5 << 0;
    QTest::newRow("50% noise, pieces of 1 to 37 bytes") << 0.5 << 37;
    QTest::newRow("50% noise, pieces of 1 to 3 bytes") << 0.5 << 3;
}

void TestFaultNoise::everyFrameAndNothingElse()
{
    QFETCH(double, noiseShare);
    QFETCH(int, largestPiece);

    const Line line = makeLine(2000, noiseShare, unsigned(largestPiece * 1000 + noiseShare * 100));
    const int positionBroadcasts = line.samples[0].size() / 3;
    QVERIFY2(positionBroadcasts <= MotorSamples::DefaultCapacity, "the samples must keep every broadcast");
    const double measuredShare = 1.0 - double(line.frameCount * SerialMessage::FrameSize) / line.bytes.size();
    QVERIFY2(qAbs(measuredShare - noiseShare) < 0.02, qPrintable(QString::number(measuredShare)));

    LinkOnPty linked;
    DriveLink& link = linked.link;
    QSignalSpy broadcasts(&link, &DriveLink::samplesAppended);

    // Each piece is read on its own, so the reads end anywhere: inside noise, a header
    // or a frame.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> pieceLength(1, std::max(1, largestPiece));
    for (int at = 0; at < line.bytes.size();) {
        const int length = largestPiece == 0 ? line.bytes.size() : pieceLength(random);
        linked.pty.write(line.bytes.mid(at, length));
        at += length;
        QTest::qWait(0);
    }
    QTRY_VERIFY_WITH_TIMEOUT(std::equal(line.block.data(), line.block.data() + BlockSize, link.mirror().data()),
                             30000);
    QCOMPARE(broadcasts.count(), positionBroadcasts);
    for (int motor = 0; motor < MotorCount; ++motor)
        QCOMPARE(samplesOf(link.samples(motor)), line.samples[motor]);
}

QTEST_GUILESS_MAIN(TestFaultNoise)
#include "test_FaultNoise.moc"
