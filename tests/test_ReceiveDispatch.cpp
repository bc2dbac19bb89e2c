// Received frames into the link's mirror and samples, and from there into the value
// fields and the graphs of the window.
#include "core/DriveLink.h"
#include "ui/DriveView.h"
#include "ui/MainWindow.h"
#include "support/Frames.h"
#include "support/LinkOnPty.h"

#include <qwt_plot_curve.h>

#include <QTest>

#include <algorithm>

using namespace SharedVariables;

namespace {

// A frame from a board; data in hex.
SerialMessage reply(int type, int priority, int cmd, int flags, const char* data)
{
    SerialMessage message;
    message.bytes[SerialMessage::Priority] = uint8_t(priority);
    message.bytes[SerialMessage::Type] = uint8_t(type);
    message.bytes[SerialMessage::BootRtrLength] = uint8_t(flags);
    message.bytes[SerialMessage::Cmd] = uint8_t(cmd);
    const QByteArray bytes = QByteArray::fromHex(data);
    std::copy_n(bytes.constData(), std::min(bytes.size(), 8), message.bytes + SerialMessage::Data);
    return message;
}

SerialMessage variableReply(int address, const char* data)
{
    return reply(0x20, address >> 8, address & 0xFF, QByteArray::fromHex(data).size(), data);
}

QLineEdit* field(const MainWindow& window, int motor, Index index)
{
    return window.driveView(motor)->findChild<QLineEdit*>(variable(index).fieldName());
}

// Receives frame as the answer to a request sent to the selected board: only such a
// reply is shown as the board's value.
void receiveAnswer(DriveLink& link, const SerialMessage& frame)
{
    const uint8_t* bytes = frame.bytes;
    if (bytes[SerialMessage::Type] == SerialMessage::LiveValueType)
        link.pollNextWindow();
    else
        link.requestWindow(joinAddress(bytes[SerialMessage::Priority], bytes[SerialMessage::Cmd]));
    while (!link.transmitQueue().isEmpty())
        link.sendNextFrame();
    link.receiveFrame(frame);
}

} // namespace

class TestReceiveDispatch : public QObject
{
    Q_OBJECT

private slots:
    void variableReplies_data()
    {
        QTest::addColumn<SerialMessage>("frame");
        QTest::addColumn<int>("motor");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("shown");
        const char* zeros = "0000000000000000";

        QTest::newRow("ErrorCode 0xFFFF is 65535") << variableReply(4, "ffff") << 0 << int(ErrorCode) << "65535";
        QTest::newRow("Position 0xFFFF is -1") << variableReply(88 + 28, "ffff") << 1 << int(Position) << "-1";
        QTest::newRow("pid_Kp 0.1") << variableReply(2 * 88 + 36, "cdcccc3d") << 2 << int(pid_Kp) << "0.1";
        QTest::newRow("pid_Kp 1e+08") << variableReply(3 * 88 + 36, "20bcbe4c") << 3 << int(pid_Kp) << "100000000";
        QTest::newRow("RTR set is still a reply") << reply(0x20, 0, 6, 0x12, "1000") << 0 << int(SetPoint) << "16";
        QTest::newRow("window with three variables")
            << variableReply(32, "050006000000803f") << 0 << int(MesPoint) << "6";
        QTest::newRow("u8 at the end of a record")
            << variableReply(3 * 88 + 80, "0000010101000000") << 3 << int(MotorBias) << "1";
        QTest::newRow("zero shown once read") << variableReply(88 + 64, zeros) << 1 << int(SpeedMax) << "0";
        QTest::newRow("never read stays empty") << variableReply(64, zeros) << 1 << int(SpeedMax) << "";
    }

    void variableReplies()
    {
        QFETCH(SerialMessage, frame);
        QFETCH(int, motor);
        QFETCH(int, index);
        QFETCH(QString, shown);
        LinkOnPty connected;
        MainWindow window(connected.link);
        receiveAnswer(connected.link, frame);
        QCOMPARE(field(window, motor, Index(index))->text(), shown);
    }

    void onlyChangedVariablesAreReported()
    {
        DriveLink link;
        QList<int> changed;
        connect(&link, &DriveLink::variableChanged, this, [&](int, Index index) { changed << index; });
        link.receiveFrame(variableReply(0, "0000000000000000"));
        QCOMPARE(changed, (QList<int> {CtrlMode, CtrlType, SetPointSrc, PosMesSrc, ErrorCode, SetPoint}));
        changed.clear();
        link.receiveFrame(variableReply(0, "0000000000000000"));
        QCOMPARE(changed, QList<int>());
        link.receiveFrame(variableReply(0, "0000000000010000"));
        QCOMPARE(changed, QList<int> {ErrorCode});
    }

    void loopTime_data()
    {
        QTest::addColumn<SerialMessage>("frame");
        QTest::addColumn<QString>("shown");
        QTest::newRow("priority 1") << reply(0x20, 1, 0x62, 2, "e803") << "1000";
        QTest::newRow("priority 9 counts as 1") << reply(0x20, 9, 0x62, 2, "e803") << "1000";
        QTest::newRow("shared area window") << variableReply(352, "00012c0100000000") << "300";
    }

    void loopTime()
    {
        QFETCH(SerialMessage, frame);
        QFETCH(QString, shown);
        LinkOnPty connected;
        MainWindow window(connected.link);
        receiveAnswer(connected.link, frame);
        QCOMPARE(window.form().lineEdit_LoopTime->text(), shown);
        QCOMPARE(QString::number(connected.link.mirror().s16(LoopTimeAddress)), shown);
    }

    void storedBytes_data()
    {
        QTest::addColumn<SerialMessage>("frame");
        QTest::addColumn<int>("stored");
        const char* data = "7f7f7f7f7f7f7f7f";
        QTest::newRow("length 15 at 0 stores 8") << reply(0x20, 0, 0, 0x0F, data) << 8;
        QTest::newRow("length 8 at 356 stores 4") << reply(0x20, 1, 100, 0x08, data) << 4;
        QTest::newRow("length 15 at 359 stores 1") << reply(0x20, 1, 103, 0x0F, data) << 1;
        QTest::newRow("address 0x7FF stores nothing") << reply(0x20, 7, 0xFF, 0x08, data) << 0;
        QTest::newRow("positions with length 7") << reply(2, 0, 0x90, 7, data) << 0;
        QTest::newRow("live reply with another command") << reply(2, 0, 0x93, 8, data) << 0;
        QTest::newRow("another type") << reply(3, 0, 0, 8, data) << 0;
    }

    void storedBytes()
    {
        QFETCH(SerialMessage, frame);
        QFETCH(int, stored);
        DriveLink link;
        link.receiveFrame(frame);
        const uint8_t* bytes = link.mirror().data();
        QCOMPARE(BlockSize - int(std::count(bytes, bytes + BlockSize, 0)), stored);
        QCOMPARE(link.samples(0).size(), 0);
    }

    void liveValues()
    {
        LinkOnPty connected;
        DriveLink& link = connected.link;
        MainWindow window(link);
        receiveAnswer(link, reply(2, 0, 0x91, 8, "0a00f6ff00000080"));
        receiveAnswer(link, reply(2, 0, 0x92, 8, "0001000200030004"));
        // Live values reach the fields when first read, later with the next reply of any
        // window; only positions add samples.
        QCOMPARE(field(window, 1, Speed)->text(), QStringLiteral("-10"));
        receiveAnswer(link, reply(0x20, 1, 0x62, 2, "0500"));
        QCOMPARE(field(window, 1, Speed)->text(), QStringLiteral("-10"));
        QCOMPARE(field(window, 3, Speed)->text(), QStringLiteral("-32768"));
        QCOMPARE(field(window, 2, SetPoint)->text(), QStringLiteral("768"));
        for (int motor = 0; motor < MotorCount; ++motor)
            QCOMPARE(link.samples(motor).size(), 0);

        receiveAnswer(link, reply(2, 0, 0x90, 8, "0100ffff03000400"));
        receiveAnswer(link, reply(0x20, 1, 0x62, 2, "0500"));
        QCOMPARE(field(window, 1, Position)->text(), QStringLiteral("-1"));
        const double positions[] {1, -1, 3, 4};
        const double speeds[] {10, -10, 0, -32768};
        const double setPoints[] {256, 512, 768, 1024};
        for (int motor = 0; motor < MotorCount; ++motor) {
            const MotorSamples& samples = link.samples(motor);
            QCOMPARE(samples.size(), 1);
            QCOMPARE(samples.position.last(), positions[motor]);
            QCOMPARE(samples.speed.last(), speeds[motor]);
            QCOMPARE(samples.setPoint.last(), setPoints[motor]);
            // The graph draws the speed ten times as large, without a 16-bit wrap.
            const DriveView* view = window.driveView(motor);
            QCOMPARE(view->positionCurve()->sample(0).y(), positions[motor]);
            QCOMPARE(view->setPointCurve()->sample(0).y(), setPoints[motor]);
            QCOMPARE(view->speedCurve()->sample(0).y(), 10 * speeds[motor]);
        }
    }

    void selectionSurvivesAnUnchangedRedraw()
    {
        LinkOnPty connected;
        MainWindow window(connected.link);
        receiveAnswer(connected.link, variableReply(28, "3905"));
        QLineEdit* position = field(window, 0, Position);
        position->selectAll();
        receiveAnswer(connected.link, variableReply(28, "3905"));
        QCOMPARE(position->selectedText(), QStringLiteral("1337"));
        receiveAnswer(connected.link, variableReply(28, "3a05"));
        QCOMPARE(position->text(), QStringLiteral("1338"));
    }

    void framesFromThePortReachTheFields()
    {
        LinkOnPty linked;
        MainWindow window(linked.link);
        linked.link.requestWindow(0x162);
        QCOMPARE(linked.pty.read(16).left(16), wireBytes(variableRead(0x162, 1)));
        linked.pty.write("xx" + wireBytes(reply(0x20, 1, 0x62, 2, "3412")) + "noise");
        QTRY_COMPARE_WITH_TIMEOUT(window.form().lineEdit_LoopTime->text(), QStringLiteral("4660"), 5000);
    }
};

QTEST_MAIN(TestReceiveDispatch)
#include "test_ReceiveDispatch.moc"
