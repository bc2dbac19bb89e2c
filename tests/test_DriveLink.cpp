// The transmit queue, the polling cycle, parameter writes and the EEPROM save:
// the exact frames queued and what the transmit tick puts on the line.
#include "ui/MainWindow.h"
#include "ui/DriveView.h"
#include "support/Modal.h"
#include "support/Pty.h"

#include <QTest>
#include <QTimer>

namespace {

struct Probe : MainWindow
{
    using MainWindow::driveAddress;
    using MainWindow::driveViews;
    using MainWindow::handleTxMessage;
    using MainWindow::pid_KpChanged;
    using MainWindow::sendCANMessage;
    using MainWindow::SetPointChanged;
    using MainWindow::pollIndex;
    using MainWindow::pollTimer;
    using MainWindow::sendVariableData;
    using MainWindow::txQueue;
    using MainWindow::txTimer;
    using MainWindow::updateTimer;

    // Connected on a pseudo-terminal, with both timers stopped so each test ticks by hand.
    explicit Probe(Pty& pty)
    {
        txTimer->stop();
        addPort(pty.slavePath());
        pushButton_Connect->click();
        pollTimer->stop();
    }
};

QByteArray hex(const SerialMessage& message)
{
    return QByteArray(reinterpret_cast<const char*>(message.bytes), message.length).toHex(' ');
}

QList<QByteArray> hexQueue(const QList<SerialMessage>& queue)
{
    QList<QByteArray> frames;
    for (const SerialMessage& message : queue)
        frames << hex(message);
    return frames;
}

} // namespace

class TestDriveLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<SerialMessage>(); }

    void pollingTickQueuesFourRequests()
    {
        Pty pty;
        Probe window(pty);
        window.updateTimer();
        QCOMPARE(hexQueue(window.txQueue), (QList<QByteArray> {
                                               "63 61 6e 00 20 38 00 01 00 00 00 00 00 00 00 00",
                                               "63 61 6e 00 02 78 90 01 00 00 00 00 00 00 00 00",
                                               "63 61 6e 00 02 78 92 01 00 00 00 00 00 00 00 00",
                                               "63 61 6e 00 02 78 91 01 00 00 00 00 00 00 00 00",
                                           }));
    }

    void sweepVisitsEveryWindowAndWraps()
    {
        Pty pty;
        Probe window(pty);
        window.addressComboBox->setCurrentText(QStringLiteral("0x02"));
        QList<int> windows;
        for (int tick = 0; tick < 47; ++tick) {
            window.txQueue.clear();
            window.updateTimer();
            const SerialMessage& read = window.txQueue.first();
            QCOMPARE(int(read.bytes[SerialMessage::Dest]), 2);
            windows << (read.bytes[SerialMessage::Priority] << 8 | read.bytes[SerialMessage::Cmd]);
        }
        QList<int> expected;
        for (int at = 0; at <= 352; at += 8)
            expected << at;
        expected << 0 << 8;
        QCOMPARE(windows, expected);
        QCOMPARE(hex(SerialMessage(window.txQueue.first())).left(23), QByteArray("63 61 6e 00 20 38 08 02"));
    }

    void windowAt352()
    {
        Pty pty;
        Probe window(pty);
        for (int tick = 0; tick < 45; ++tick) {
            window.txQueue.clear();
            window.updateTimer();
        }
        QCOMPARE(hex(window.txQueue.first()), QByteArray("63 61 6e 01 20 38 60 01 00 00 00 00 00 00 00 00"));
        QCOMPARE(window.pollIndex, 0);
    }

    void pollingHoldsBackWhileTheQueueIsLong()
    {
        Pty pty;
        Probe window(pty);
        for (int i = 0; i < 65; ++i)
            window.txQueue.append(SerialMessage());
        window.updateTimer();
        QCOMPARE(window.txQueue.size(), 65);
        QCOMPARE(window.pollIndex, 0);
        window.SetPointChanged(1, 0);
        QCOMPARE(window.txQueue.size(), 66);
        answerNextModal(acceptModal);
        window.pushButton_SaveEEPROM->click();
        QCOMPARE(window.txQueue.size(), 67);
        window.txQueue.clear();
        window.updateTimer();
        QCOMPARE(window.txQueue.size(), 4);
    }

    void parameterWrites_data()
    {
        QTest::addColumn<QString>("slot");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("address");
        QTest::addColumn<QByteArray>("data");

        // Each parameter for one motor, with a value that shows its width and encoding.
        QTest::newRow("CtrlMode") << "CtrlModeChanged" << 3.0 << 0 << 0 << QByteArray("01 03");
        QTest::newRow("CtrlType") << "CtrlTypeChanged" << 2.0 << 1 << 89 << QByteArray("01 02");
        QTest::newRow("SetPointSrc") << "SetPointSrcChanged" << 4.0 << 2 << 178 << QByteArray("01 04");
        QTest::newRow("PosMesSrc") << "PosMesSrcChanged" << 1.0 << 3 << 267 << QByteArray("01 01");
        QTest::newRow("SetPoint") << "SetPointChanged" << 4096.0 << 3 << 270 << QByteArray("02 00 10");
        QTest::newRow("SetPointMax") << "SetPointMaxChanged" << 4000.0 << 0 << 8 << QByteArray("02 a0 0f");
        QTest::newRow("SetPointMin") << "SetPointMinChanged" << 1.0 << 1 << 98 << QByteArray("02 01 00");
        QTest::newRow("ADCOffset negative") << "ADCOffsetChanged" << -1.0 << 0 << 18 << QByteArray("02 ff ff");
        QTest::newRow("SpeedMax") << "SpeedMaxChanged" << 1000.0 << 1 << 154 << QByteArray("02 e8 03");
        QTest::newRow("AccelerationStep") << "AccelerationStepChanged" << 4096.0 << 2 << 244 << QByteArray("02 00 10");
        QTest::newRow("CurrentOffset") << "CurrentOffsetChanged" << 512.0 << 3 << 278 << QByteArray("02 00 02");
        QTest::newRow("CurrentLimit high") << "CurrentLimitChanged" << 10000.0 << 0 << 76 << QByteArray("02 10 27");
        QTest::newRow("EncoderBias") << "EncoderBiasChanged" << 1.0 << 1 << 171 << QByteArray("01 01");
        QTest::newRow("MotorBias") << "MotorBiasChanged" << 1.0 << 2 << 260 << QByteArray("01 01");
        QTest::newRow("pid_Kp 1.0") << "pid_KpChanged" << 1.0 << 0 << 36 << QByteArray("04 00 00 80 3f");
        QTest::newRow("pid_Ki") << "pid_KiChanged" << 0.5 << 1 << 128 << QByteArray("04 00 00 00 3f");
        QTest::newRow("pid_Kd") << "pid_KdChanged" << 100000000.0 << 2 << 220 << QByteArray("04 20 bc be 4c");
        QTest::newRow("pid_error_max 0.1") << "pid_error_maxChanged" << 0.1 << 0 << 60 << QByteArray("04 cd cc cc 3d");
        QTest::newRow("low 16 bits of a wide value") << "SetPointChanged" << 65537.0 << 0 << 6 << QByteArray("02 01 00");
        QTest::newRow("low 8 bits of a wide value") << "CtrlModeChanged" << 257.0 << 0 << 0 << QByteArray("01 01");
    }

    void parameterWrites()
    {
        QFETCH(QString, slot);
        QFETCH(double, value);
        QFETCH(int, id);
        QFETCH(int, address);
        QFETCH(QByteArray, data);
        Pty pty;
        Probe window(pty);
        window.addressComboBox->setCurrentText(QStringLiteral("0x02"));
        const bool isFloat = slot.startsWith(QLatin1String("pid_"));
        const QByteArray signature = (slot + (isFloat ? "(double,int)" : "(int,int)")).toLatin1();
        const int index = window.metaObject()->indexOfMethod(signature);
        QVERIFY2(index >= 0, signature);
        const QMetaMethod method = window.metaObject()->method(index);
        if (isFloat)
            QVERIFY(method.invoke(&window, Qt::DirectConnection, Q_ARG(double, value), Q_ARG(int, id)));
        else
            QVERIFY(method.invoke(&window, Qt::DirectConnection, Q_ARG(int, int(value)), Q_ARG(int, id)));

        QCOMPARE(window.txQueue.size(), 1);
        const QList<QByteArray> fields = data.split(' ');
        QByteArray expected = QByteArray("63 61 6e ") + QByteArray::number(address >> 8, 16).rightJustified(2, '0')
            + " 20 " + fields.first() + " " + QByteArray::number(address & 0xFF, 16).rightJustified(2, '0') + " 02";
        for (int i = 0; i < 8; ++i)
            expected += " " + (i + 1 < fields.size() ? fields[i + 1] : QByteArray("00"));
        QCOMPARE(hex(window.txQueue.first()), expected);
    }

    void saveEEPROMQueuesAndConfirms()
    {
        Pty pty;
        Probe window(pty);
        window.addressComboBox->setCurrentText(QStringLiteral("0x02"));
        QString text;
        answerNextModal([&](QWidget* modal) {
            text = messageBoxText(modal);
            acceptModal(modal);
        });
        window.pushButton_SaveEEPROM->click();
        QCOMPARE(text, QStringLiteral("Configuration saved to EEPROM for drive :2"));
        QCOMPARE(hexQueue(window.txQueue),
                 QList<QByteArray> {"63 61 6e 01 20 01 61 02 01 00 00 00 00 00 00 00"});
    }

    void nothingQueuedWhileDisconnected()
    {
        Pty pty;
        Probe window(pty);
        window.pushButton_Disconnect->click();
        window.updateTimer();
        window.SetPointChanged(100, 0);
        window.pid_KpChanged(1.0, 0);
        window.sendCANMessage(CANMessage());
        window.sendVariableData(36u, 1.0f);
        QVERIFY(window.txQueue.isEmpty());
    }

    void oneFramePerTransmitTick()
    {
        Pty pty;
        Probe window(pty);
        window.handleTxMessage();
        QCOMPARE(pty.readFor(50), QByteArray());
        window.SetPointChanged(1, 0);
        window.SetPointChanged(2, 0);
        window.SetPointChanged(3, 0);
        for (int value = 1; value <= 3; ++value) {
            window.handleTxMessage();
            const QByteArray bytes = pty.read(16, 2000);
            QCOMPARE(bytes.size(), 16);
            QCOMPARE(int(bytes[8]), value);
            QCOMPARE(window.txQueue.size(), 3 - value);
        }
    }

    void framesAreDiscardedAfterDisconnect()
    {
        Pty pty;
        Probe window(pty);
        window.SetPointChanged(1, 0);
        window.SetPointChanged(2, 0);
        window.pushButton_Disconnect->click();
        window.handleTxMessage();
        QVERIFY(window.txQueue.isEmpty());
        window.pushButton_Connect->click();
        window.pollTimer->stop();
        window.handleTxMessage();
        QCOMPARE(pty.readFor(100), QByteArray());
    }
};

QTEST_MAIN(TestDriveLink)
#include "test_DriveLink.moc"
