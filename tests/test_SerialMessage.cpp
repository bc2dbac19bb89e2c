// The wire layout of frames and their debug dump.
#include "protocol/CANMessage.h"
#include "protocol/SerialMessage.h"
#include "support/Frames.h"
#include "support/DebugCapture.h"

#include <QBuffer>
#include <QTest>

namespace {


CANMessage flags(bool rtr, bool readWrite, bool eepromRam, unsigned char dataLength)
{
    CANMessage message;
    message.rtr = rtr;
    message.readWrite = readWrite;
    message.eepromRam = eepromRam;
    message.dataLength = dataLength;
    return message;
}

SerialMessage withFlags(unsigned char bootRtrLength)
{
    SerialMessage message;
    message.bytes[SerialMessage::BootRtrLength] = bootRtrLength;
    return message;
}

} // namespace

class TestSerialMessage : public QObject
{
    Q_OBJECT

private slots:
    void defaultFrame()
    {
        const SerialMessage message;
        QCOMPARE(message.length, 16);
        QCOMPARE(wireBytes(message).toHex(' '), QByteArray("63 61 6e 00 00 00 00 00 00 00 00 00 00 00 00 00"));
    }

    void fromCANMessage_data()
    {
        QTest::addColumn<CANMessage>("message");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("all flags, length 8") << flags(true, true, true, 8)
                                             << QByteArray("63 61 6e 00 00 78 00 00 00 00 00 00 00 00 00 00");
        QTest::newRow("no flags, length 4") << flags(false, false, false, 4)
                                            << QByteArray("63 61 6e 00 00 04 00 00 00 00 00 00 00 00 00 00");
        QTest::newRow("length masked to 4 bits") << flags(false, false, false, 0x1C)
                                                 << QByteArray("63 61 6e 00 00 0c 00 00 00 00 00 00 00 00 00 00");
        CANMessage beyond = flags(false, false, false, 1);
        beyond.data[5] = 0x33;
        QTest::newRow("data beyond the length copied") << beyond
                                                       << QByteArray("63 61 6e 00 00 01 00 00 00 00 00 00 00 33 00 00");
        CANMessage fields = flags(true, true, false, 8);
        fields.priority = 1;
        fields.type = 0x20;
        fields.cmd = 0x60;
        fields.dest = 2;
        QTest::newRow("fields in place") << fields << QByteArray("63 61 6e 01 20 38 60 02 00 00 00 00 00 00 00 00");
    }

    void fromCANMessage()
    {
        QFETCH(CANMessage, message);
        QFETCH(QByteArray, expected);
        const SerialMessage frame(message);
        QCOMPARE(frame.length, 16);
        QCOMPARE(wireBytes(frame).toHex(' '), expected);
    }

    void setters_data()
    {
        QTest::addColumn<SerialMessage>("frame");
        QTest::addColumn<int>("expectedPriority");
        QTest::addColumn<int>("expectedCmd");
        QTest::addColumn<int>("expectedFlags");

        SerialMessage widest;
        widest.setExtendedCmd(0x7FF);
        QTest::newRow("extended cmd 0x7FF") << widest << 0x07 << 0xFF << 0;
        SerialMessage eeprom;
        eeprom.setExtendedCmd(0x0961);
        QTest::newRow("extended cmd drops bits 11 and up") << eeprom << 0x01 << 0x61 << 0;
        SerialMessage replaced;
        replaced.bytes[SerialMessage::Priority] = 0xF8;
        replaced.setExtendedCmd(0x100);
        QTest::newRow("extended cmd replaces the whole priority") << replaced << 0x01 << 0x00 << 0;
        SerialMessage rtrOff = withFlags(0x78);
        rtrOff.setMsgRtr(false);
        QTest::newRow("rtr cleared") << rtrOff << 0 << 0 << 0x68;
        SerialMessage rtrOn = withFlags(0x00);
        rtrOn.setMsgRtr(true);
        QTest::newRow("rtr set") << rtrOn << 0 << 0 << 0x10;
        SerialMessage boot = withFlags(0x78);
        boot.setMsgBoot(false, true);
        QTest::newRow("boot bits") << boot << 0 << 0 << 0x58;
        SerialMessage length = withFlags(0x04);
        length.setMsgDataLength(3);
        QTest::newRow("data length is ORed in") << length << 0 << 0 << 0x07;
    }

    void setters()
    {
        QFETCH(SerialMessage, frame);
        QFETCH(int, expectedPriority);
        QFETCH(int, expectedCmd);
        QFETCH(int, expectedFlags);
        QCOMPARE(int(frame.bytes[SerialMessage::Priority]), expectedPriority);
        QCOMPARE(int(frame.bytes[SerialMessage::Cmd]), expectedCmd);
        QCOMPARE(int(frame.bytes[SerialMessage::BootRtrLength]), expectedFlags);
    }

    void print_data()
    {
        QTest::addColumn<SerialMessage>("frame");
        QTest::addColumn<QStringList>("lines");

        const QStringList head = {"HEADER  99 97 110 ", "PRIORITY  1 ", "TYPE  32 "};
        CANMessage two = flags(true, false, false, 2);
        two.priority = 1;
        two.type = 32;
        two.cmd = 98;
        two.dest = 2;
        two.data[0] = 0xE8;
        two.data[1] = 0x03;
        QTest::newRow("two data bytes")
            << SerialMessage(two)
            << (head + QStringList {"BOOT_RTR_LENGTH  18 ", "DATA LENGTH  2 ", "RTR  1 ", "READ_WRITE  0 ",
                                    "EEPROM_RAM  0 ", "CMD  98 ", "DEST  2 ", "DATA  0   232 ", "DATA  1   3 "});

        QStringList none = {"HEADER  99 97 110 ", "PRIORITY  0 ", "TYPE  0 ", "BOOT_RTR_LENGTH  0 ",
                            "DATA LENGTH  0 ", "RTR  0 ", "READ_WRITE  0 ", "EEPROM_RAM  0 ", "CMD  0 ", "DEST  0 "};
        QTest::newRow("no data: ten lines") << SerialMessage() << none;

        SerialMessage claimed = withFlags(0x0F);
        QStringList eight = {"HEADER  99 97 110 ", "PRIORITY  0 ", "TYPE  0 ", "BOOT_RTR_LENGTH  15 ",
                             "DATA LENGTH  15 ", "RTR  0 ", "READ_WRITE  0 ", "EEPROM_RAM  0 ", "CMD  0 ", "DEST  0 "};
        for (int i = 0; i < 8; ++i)
            eight << QStringLiteral("DATA  %1   0 ").arg(i);
        QTest::newRow("length 15 shows the 8 bytes there are") << claimed << eight;
    }

    void print()
    {
        QFETCH(SerialMessage, frame);
        QFETCH(QStringList, lines);
        DebugCapture capture;
        frame.print();
        QCOMPARE(capture.lines(), lines);
    }

    void write_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("robot command of 7 bytes") << 7;
        QTest::newRow("robot command of 11 bytes") << 11;
        QTest::newRow("can frame") << 16;
    }

    void write()
    {
        QFETCH(int, length);
        SerialMessage frame;
        for (int i = 3; i < 16; ++i)
            frame.bytes[i] = static_cast<unsigned char>(i);
        frame.length = length;
        QBuffer device;
        device.open(QIODevice::WriteOnly);
        frame.write(device);
        QCOMPARE(device.data(), wireBytes(frame).left(length));
    }

    void copyKeepsEveryByte()
    {
        SerialMessage original;
        original.length = 9;
        original.bytes[15] = 0xAB;
        SerialMessage copy;
        copy = original;
        QVERIFY(copy == original);
        QCOMPARE(SerialMessage(original).bytes[15], static_cast<unsigned char>(0xAB));
    }
};

QTEST_GUILESS_MAIN(TestSerialMessage)
#include "test_SerialMessage.moc"
