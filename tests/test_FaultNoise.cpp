// Fault: noise between the frames on the line, 10% and 50% of the bytes. The noise never
// holds a "c", so no header can be made of it: every frame must reach the window, in
// order and unchanged, and nothing else.
#include "ui/MainWindow.h"
#include "ui/DriveView.h"
#include "core/SerialDriver.h"
#include "support/Frames.h"
#include "support/Pty.h"

#include <QElapsedTimer>
#include <QtTest>

#include <algorithm>
#include <cstring>
#include <random>

using namespace SharedVariables;

namespace {

struct Probe : MainWindow
{
    using MainWindow::driveViews;
    using MainWindow::mirror;
    using MainWindow::serialDriver;
};

struct Line
{
    QByteArray bytes;
    QList<QByteArray> frames;
    Block block; // the mirror once every frame has landed
    int positionBroadcasts = 0;
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
    for (int n = 0; n < frameCount; ++n) {
        for (int run = runLength(random); run > 0; --run) {
            int value = byte(random);
            while (value == 'c')
                value = byte(random);
            line.bytes.append(char(value));
        }
        CANMessage message;
        if (n % 4 == 0) {
            const int address = (n / 4 * WindowSize) % BlockSize;
            message.type = 0x20;
            message.priority = priorityOf(address);
            message.cmd = cmdOf(address);
            message.dataLength = static_cast<unsigned char>(std::min(WindowSize, BlockSize - address));
            for (int i = 0; i < 8; ++i)
                message.data[i] = static_cast<unsigned char>(byte(random));
            line.block.store(address, message.data, message.dataLength);
        } else {
            message.type = 2;
            message.cmd = static_cast<unsigned char>(0x90 + n % 3);
            message.dataLength = 8;
            for (int i = 0; i < 8; ++i)
                message.data[i] = static_cast<unsigned char>(byte(random));
            if (n % 16 == 5)
                std::memcpy(message.data + 2, "can", 3);
            const Index live[] = {Position, Speed, SetPoint};
            for (int motor = 0; motor < MotorCount; ++motor)
                line.block.setS16(address(motor, live[n % 3]),
                                  int16_t(message.data[2 * motor] | message.data[2 * motor + 1] << 8));
            if (message.cmd == 0x90)
                ++line.positionBroadcasts;
        }
        message.dest = static_cast<unsigned char>(byte(random));
        const QByteArray frame = wireBytes(SerialMessage(message));
        line.frames << frame;
        line.bytes += frame;
    }
    return line;
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
    const double measuredShare = 1.0 - double(line.frames.size() * SerialMessage::FrameSize) / line.bytes.size();
    QVERIFY2(qAbs(measuredShare - noiseShare) < 0.02, qPrintable(QString::number(measuredShare)));

    Pty pty;
    Probe window;
    window.addPort(pty.slavePath());
    window.pushButton_Connect->click();
    QVERIFY(window.serialDriver);
    QList<QByteArray> delivered;
    connect(window.serialDriver, &SerialDriver::messageReady, this, [&delivered](const SerialMessage& frame) {
        delivered << QByteArray(reinterpret_cast<const char*>(frame.bytes), SerialMessage::FrameSize);
    });

    // Each piece is read on its own, so the reads end anywhere: inside noise, a header
    // or a frame.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> pieceLength(1, std::max(1, largestPiece));
    for (int at = 0; at < line.bytes.size();) {
        const int length = largestPiece == 0 ? line.bytes.size() : pieceLength(random);
        pty.write(line.bytes.mid(at, length));
        at += length;
        QTest::qWait(0);
    }
    QElapsedTimer clock;
    clock.start();
    while (delivered.size() < line.frames.size() && clock.elapsed() < 30000)
        pty.readFor(20);
    pty.readFor(100);

    QCOMPARE(delivered.size(), line.frames.size());
    QCOMPARE(delivered, line.frames);
    QVERIFY(std::equal(line.block.data(), line.block.data() + BlockSize, window.mirror.data()));
    for (DriveView* view : window.driveViews)
        QCOMPARE(view->positionBuffer.size(), std::min(line.positionBroadcasts, DriveView::GraphSamples));
}

QTEST_MAIN(TestFaultNoise)
#include "test_FaultNoise.moc"
