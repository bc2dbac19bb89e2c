// The numbered transmit queue without a port: what is waiting, the numbers frames get and
// what counts as sent.
#include "core/TransmitQueue.h"
#include "protocol/RobotCommand.h"
#include "support/Frames.h"

#include <QTest>

class TestTransmitQueue : public QObject
{
    Q_OBJECT

private slots:
    // Clearing robot commands keeps the boards' frames in their order; the numbers of the
    // frames taken are never given again, and count as passed once a later frame went.
    void robotCommandsAreTakenOff()
    {
        TransmitQueue queue;
        const SerialMessage read = variableRead(8, 1);
        const SerialMessage write = variableWrite(8, 1, "\x01");
        const SerialMessage command = RobotCommands::Mla.frame({1, 2, 3});
        for (const SerialMessage& frame : {read, command, write, command})
            queue.append(frame);
        QCOMPARE(queue.removeRobotCommands(), 2);
        QCOMPARE(queue.frames(), (QList<SerialMessage>{read, write}));
        QCOMPARE(queue.append(read), qint64(5));
        queue.markSent(queue.takeFirst().number);
        const TransmitQueue::Entry next = queue.takeFirst();
        QCOMPARE(next.number, qint64(3));
        queue.markSent(next.number);
        QCOMPARE(queue.lastSent(), qint64(3));
        QCOMPARE(queue.sentCount(), qint64(2));
    }

    // A closed connection keeps its counts; a new one starts them again.
    void countsLastTheConnection()
    {
        TransmitQueue queue;
        queue.append(variableRead(8, 1));
        queue.markSent(queue.takeFirst().number);
        queue.append(variableRead(16, 1));
        queue.clear();
        QVERIFY(queue.isEmpty());
        QCOMPARE(queue.lastSent(), qint64(1));
        QCOMPARE(queue.sentCount(), qint64(1));
        queue.restart();
        QCOMPARE(queue.sentCount(), qint64(0));
        QCOMPARE(queue.append(variableRead(8, 1)), qint64(1));
    }
};

QTEST_GUILESS_MAIN(TestTransmitQueue)
#include "test_TransmitQueue.moc"
