// Received frames into the mirror, the value fields and the graphs.
#include "ui/MainWindow.h"
#include "ui/DriveView.h"
#include "support/Frames.h"
#include "support/Pty.h"

#include <QLineEdit>
#include <QTest>

namespace {

struct Probe : MainWindow
{
    using MainWindow::driveViews;
    using MainWindow::mirror;
    using MainWindow::SerialMessageReady;
    using MainWindow::updateView;
};

SerialMessage reply(int type, int priority, int cmd, int flags, const QByteArray& data)
{
    SerialMessage message;
    message.bytes[SerialMessage::Priority] = static_cast<unsigned char>(priority);
    message.bytes[SerialMessage::Type] = static_cast<unsigned char>(type);
    message.bytes[SerialMessage::BootRtrLength] = static_cast<unsigned char>(flags);
    message.bytes[SerialMessage::Cmd] = static_cast<unsigned char>(cmd);
    for (int i = 0; i < data.size() && i < 8; ++i)
        message.bytes[SerialMessage::Data + i] = static_cast<unsigned char>(data[i]);
    return message;
}

SerialMessage variableReply(int address, const QByteArray& data)
{
    return reply(0x20, address >> 8, address & 0xFF, data.size(), data);
}


QString field(Probe& window, int motor, const char* name)
{
    return window.driveViews[motor]->findChild<QLineEdit*>(QStringLiteral("lineEdit_") + QLatin1String(name))->text();
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
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");

        QTest::newRow("ErrorCode 0xFFFF is 65535") << variableReply(4, "\xFF\xFF") << 0 << "ErrorCode" << "65535";
        QTest::newRow("Position 0xFFFF is -1") << variableReply(88 + 28, "\xFF\xFF") << 1 << "Position" << "-1";
        QTest::newRow("pid_Kp 0.1") << variableReply(2 * 88 + 36, "\xCD\xCC\xCC\x3D") << 2 << "pid_Kp" << "0.1";
        QTest::newRow("pid_Kp one hundred million")
            << variableReply(3 * 88 + 36, QByteArray("\x20\xBC\xBE\x4C", 4)) << 3 << "pid_Kp" << "1e+08";
        QTest::newRow("RTR set is still a reply")
            << reply(0x20, 0, 6, 0x12, "\x10\x00") << 0 << "SetPoint" << "16";
        QTest::newRow("window with three variables")
            << variableReply(32, QByteArray("\x05\x00\x06\x00\x00\x00\x80\x3F", 8)) << 0 << "MesPoint" << "6";
        QTest::newRow("u8 at the end of a record") << variableReply(3 * 88 + 80, QByteArray("\x00\x00\x01\x01\x01\x00\x00\x00", 8))
                                                   << 3 << "MotorBias" << "1";
    }

    void variableReplies()
    {
        QFETCH(SerialMessage, frame);
        QFETCH(int, motor);
        QFETCH(QString, name);
        QFETCH(QString, shown);
        Probe window;
        window.SerialMessageReady(frame);
        QCOMPARE(field(window, motor, name.toLatin1().constData()), shown);
    }

    void loopTime_data()
    {
        QTest::addColumn<int>("priority");
        QTest::newRow("priority 1") << 1;
        QTest::newRow("priority 9 counts as 1") << 9;
    }

    void loopTime()
    {
        QFETCH(int, priority);
        Probe window;
        window.SerialMessageReady(reply(0x20, priority, 0x62, 2, "\xE8\x03"));
        QCOMPARE(window.lineEdit_LoopTime->text(), QStringLiteral("1000"));
        QCOMPARE(window.mirror.s16(354), int16_t(1000));
    }

    void sharedAreaWindow()
    {
        Probe window;
        window.SerialMessageReady(variableReply(352, QByteArray("\x00\x01\x2C\x01\x00\x00\x00\x00", 8)));
        QCOMPARE(int(window.mirror.u8(353)), 1);
        QCOMPARE(window.lineEdit_LoopTime->text(), QStringLiteral("300"));
    }

    void emptyReplyStillRedraws()
    {
        Probe window;
        window.SerialMessageReady(reply(0x20, 0, 0, 0, QByteArray()));
        QCOMPARE(field(window, 0, "Position"), QStringLiteral("0"));
        QCOMPARE(field(window, 3, "pid_Kd"), QStringLiteral("0"));
        QCOMPARE(window.lineEdit_LoopTime->text(), QStringLiteral("0"));
    }

    void oversizedRepliesStayInside_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("changed");
        QTest::newRow("length 15 at 0 copies 8") << 0 << 0x0F << 8;
        QTest::newRow("length 8 at 356 copies 4") << 356 << 0x08 << 4;
        QTest::newRow("length 15 at 359 copies 1") << 359 << 0x0F << 1;
        QTest::newRow("address 0x7FF copies nothing") << 0x7FF << 0x08 << 0;
    }

    void oversizedRepliesStayInside()
    {
        QFETCH(int, address);
        QFETCH(int, flags);
        QFETCH(int, changed);
        Probe window;
        window.SerialMessageReady(reply(0x20, address >> 8, address & 0xFF, flags, QByteArray(8, '\x7F')));
        int nonZero = 0;
        for (int i = 0; i < SharedVariables::BlockSize; ++i)
            nonZero += window.mirror.u8(i) != 0;
        QCOMPARE(nonZero, changed);
    }

    void liveValues()
    {
        Probe window;
        window.SerialMessageReady(reply(2, 0, 0x91, 8, QByteArray("\x0A\x00\xF6\xFF\x00\x00\x00\x80", 8)));
        window.SerialMessageReady(reply(2, 0, 0x92, 8, QByteArray("\x00\x01\x00\x02\x00\x03\x00\x04", 8)));
        for (DriveView* view : window.driveViews)
            QCOMPARE(view->positionBuffer.size(), 0);

        window.SerialMessageReady(reply(2, 0, 0x90, 8, QByteArray("\x01\x00\xFF\xFF\x03\x00\x04\x00", 8)));
        const QList<double> positions {1, -1, 3, 4};
        const QList<double> speeds {100, -100, 0, 0}; // speed times 10; -32768 * 10 wraps to 0
        const QList<double> setPoints {256, 512, 768, 1024};
        for (int motor = 0; motor < 4; ++motor) {
            DriveView* view = window.driveViews[motor];
            QCOMPARE(view->positionBuffer.size(), 1);
            QCOMPARE(view->positionBuffer.last(), positions[motor]);
            QCOMPARE(view->speedBuffer.last(), speeds[motor]);
            QCOMPARE(view->setPointBuffer.last(), setPoints[motor]);
        }
        // Live values reach the fields with the next variable reply.
        QCOMPARE(field(window, 1, "Speed"), QString());
        window.SerialMessageReady(variableReply(0, QByteArray()));
        QCOMPARE(field(window, 1, "Speed"), QStringLiteral("-10"));
        QCOMPARE(field(window, 3, "Speed"), QStringLiteral("-32768"));
        QCOMPARE(field(window, 1, "Position"), QStringLiteral("-1"));
        QCOMPARE(field(window, 2, "SetPoint"), QStringLiteral("768"));
    }

    void ignoredFrames_data()
    {
        QTest::addColumn<SerialMessage>("frame");
        QTest::newRow("positions with length 7") << reply(2, 0, 0x90, 7, QByteArray(8, '\x01'));
        QTest::newRow("live reply with another command") << reply(2, 0, 0x93, 8, QByteArray(8, '\x01'));
        QTest::newRow("another type") << reply(3, 0, 0, 8, QByteArray(8, '\x01'));
    }

    void ignoredFrames()
    {
        QFETCH(SerialMessage, frame);
        Probe window;
        window.SerialMessageReady(frame);
        for (int i = 0; i < SharedVariables::BlockSize; ++i)
            QCOMPARE(int(window.mirror.u8(i)), 0);
        for (DriveView* view : window.driveViews)
            QCOMPARE(view->positionBuffer.size(), 0);
        QCOMPARE(field(window, 0, "Position"), QString());
    }

    void selectionSurvivesAnUnchangedRedraw()
    {
        Probe window;
        window.SerialMessageReady(variableReply(28, "\x39\x05"));
        QLineEdit* position = window.driveViews[0]->lineEdit_Position;
        position->selectAll();
        window.SerialMessageReady(variableReply(28, "\x39\x05"));
        QCOMPARE(position->selectedText(), QStringLiteral("1337"));
        window.SerialMessageReady(variableReply(28, "\x3A\x05"));
        QCOMPARE(position->text(), QStringLiteral("1338"));
    }

    void framesFromThePortReachTheFields()
    {
        Pty pty;
        Probe window;
        window.addPort(pty.slavePath());
        window.pushButton_Connect->click();
        pty.write("xx" + wireBytes(reply(0x20, 1, 0x62, 2, "\x34\x12")) + "noise");
        QTRY_COMPARE_WITH_TIMEOUT(window.lineEdit_LoopTime->text(), QStringLiteral("4660"), 5000);
    }
};

QTEST_MAIN(TestReceiveDispatch)
#include "test_ReceiveDispatch.moc"
