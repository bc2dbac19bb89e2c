// The robot command set on the wire: exact bytes of every command, as the frame builder
// makes them and as the link puts them on the line.
#include "core/DriveLink.h"
#include "protocol/RobotCommand.h"
#include "support/LinkOnPty.h"

#include <QtTest>

namespace {

// Behind the bytes sent, a frame keeps the zeros of the default frame.
QByteArray whole(const SerialMessage& message)
{
    return QByteArray(reinterpret_cast<const char*>(message.bytes), SerialMessage::FrameSize);
}

} // namespace

class TestRobotCommands : public QObject
{
    Q_OBJECT

private slots:
    void frameBytes_data();
    void frameBytes();
    void onTheLine_data() { frameBytes_data(); }
    void onTheLine();
    void findMatchesWholeWordOnly_data();
    void findMatchesWholeWordOnly();
    void jointValues_data();
    void jointValues();
};

void TestRobotCommands::frameBytes_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QVector<int>>("values");
    QTest::addColumn<QByteArray>("wire");

    QTest::newRow("mla 100 200 300") << "mla" << QVector<int>{100, 200, 300}
                                     << QByteArray::fromHex("6D6C61 6400 C800 2C01");
    QTest::newRow("mla -1 as FF FF, 32767, -32768") << "mla" << QVector<int>{-1, 32767, -32768}
                                                    << QByteArray::fromHex("6D6C61 FFFF FF7F 0080");
    QTest::newRow("mla 70000 keeps the low 16 bits") << "mla" << QVector<int>{70000, 65536, 4096}
                                                     << QByteArray::fromHex("6D6C61 7011 0000 0010");
    QTest::newRow("mra 1 2 3") << "mra" << QVector<int>{1, 2, 3}
                               << QByteArray::fromHex("6D7261 0100 0200 0300");
    QTest::newRow("mrn 4096 0") << "mrn" << QVector<int>{4096, 0} << QByteArray::fromHex("6D726E 0010 0000");
    QTest::newRow("mrn -1 0") << "mrn" << QVector<int>{-1, 0} << QByteArray::fromHex("6D726E FFFF 0000");
    QTest::newRow("mrm 1 to 8") << "mrm" << QVector<int>{1, 2, 3, 4, 5, 6, 7, 8}
                                << QByteArray::fromHex("6D726D 0102030405060708");
    QTest::newRow("mrm 256 as 00, -1 as FF") << "mrm" << QVector<int>{256, -1, 255, 128, -128, 0, 127, 511}
                                             << QByteArray::fromHex("6D726D 00FFFF8080007FFF");
    QTest::newRow("meb 256 -1 127 -128") << "meb" << QVector<int>{256, -1, 127, -128}
                                         << QByteArray::fromHex("6D6562 00FF7F80");
    QTest::newRow("mre 1 to 6") << "mre" << QVector<int>{1, 2, 3, 4, 5, 6}
                                << QByteArray::fromHex("6D7265 010203040506");
}

void TestRobotCommands::frameBytes()
{
    QFETCH(QString, word);
    QFETCH(QVector<int>, values);
    QFETCH(QByteArray, wire);

    const RobotCommand* command = RobotCommands::find(word);
    QVERIFY(command);
    const SerialMessage frame = command->frame(values);
    QCOMPARE(frame.length, wire.size());
    QCOMPARE(whole(frame), wire + QByteArray(SerialMessage::FrameSize - wire.size(), '\0'));
}

void TestRobotCommands::onTheLine()
{
    QFETCH(QString, word);
    QFETCH(QVector<int>, values);
    QFETCH(QByteArray, wire);

    LinkOnPty linked;
    linked.link.queueRobotCommand(*RobotCommands::find(word), values);
    QCOMPARE(linked.link.transmitQueue().size(), 1);
    // The command's bytes and nothing else: the next frame on the line is a poll request.
    QCOMPARE(linked.pty.read(wire.size() + 3, 10000).left(wire.size() + 3), wire + "can");
}

void TestRobotCommands::findMatchesWholeWordOnly_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("found");

    for (const RobotCommand& command : RobotCommands::all)
        QTest::newRow(command.word) << command.word << command.word;
    QTest::newRow("capitals") << "MLA" << "";
    QTest::newRow("leading blank") << " mla" << "";
    QTest::newRow("line terminator") << "mla\r\n" << "";
    QTest::newRow("wait is no frame") << "wait" << "";
    QTest::newRow("end is no frame") << "end" << "";
    QTest::newRow("empty") << "" << "";
}

void TestRobotCommands::findMatchesWholeWordOnly()
{
    QFETCH(QString, text);
    QFETCH(QString, found);

    const RobotCommand* command = RobotCommands::find(text);
    QCOMPARE(command ? QString::fromLatin1(command->word) : QString(), found);
}

void TestRobotCommands::jointValues_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QStringList>("onScreen");
    QTest::addColumn<int>("firstInvalid");
    QTest::addColumn<QVector<int>>("wire");

    QTest::newRow("mla: Elbow Pitch Yaw go as Elbow Yaw Pitch")
        << "mla" << QStringList{"100", "200", "300"} << -1 << QVector<int>{100, 300, 200};
    QTest::newRow("mra: signs and blanks") << "mra" << QStringList{" 1 ", "+5", "4096"} << -1 << QVector<int>{1, 4096, 5};
    QTest::newRow("mrn: Pitch Yaw go as they are") << "mrn" << QStringList{"4096", "0"} << -1 << QVector<int>{4096, 0};
    QTest::newRow("all empty: the first") << "mla" << QStringList{"", "", ""} << 0 << QVector<int>{};
    QTest::newRow("only the first given") << "mla" << QStringList{"100", "", ""} << 1 << QVector<int>{};
    QTest::newRow("no number") << "mla" << QStringList{"1", "2", "3x"} << 2 << QVector<int>{};
    QTest::newRow("beyond 32 bits") << "mla" << QStringList{"3000000000", "1", "2"} << 0 << QVector<int>{};
    QTest::newRow("above the bounds") << "mla" << QStringList{"1", "2", "4097"} << 2 << QVector<int>{};
    QTest::newRow("below the bounds") << "mra" << QStringList{"-1", "5", "7"} << 0 << QVector<int>{};
    QTest::newRow("blank") << "mra" << QStringList{"1", " ", "3"} << 1 << QVector<int>{};
    QTest::newRow("neck's second") << "mrn" << QStringList{"1", "z"} << 1 << QVector<int>{};
}

// The panels' joints, read in on-screen order and sent in wire order.
void TestRobotCommands::jointValues()
{
    QFETCH(QString, word);
    QFETCH(QStringList, onScreen);
    QFETCH(int, firstInvalid);
    QFETCH(QVector<int>, wire);

    int invalid = -2;
    QCOMPARE(RobotCommands::find(word)->jointValues(onScreen, &invalid), wire);
    QCOMPARE(invalid, firstInvalid);
}

QTEST_MAIN(TestRobotCommands)
#include "test_RobotCommands.moc"
