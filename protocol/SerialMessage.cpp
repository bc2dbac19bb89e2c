#include "protocol/SerialMessage.h"

#include "protocol/CANMessage.h"

#include <QDebug>
#include <QIODevice>

#include <algorithm>
#include <cstring>

namespace {

void setBit(unsigned char& byte, unsigned char bit, bool on)
{
    byte = on ? (byte | bit) : (byte & ~bit);
}

// One debug line: the label (which ends in a blank) and each item followed by a blank.
void debugLine(const char* label, std::initializer_list<QString> items)
{
    QString line = QLatin1String(label) + QLatin1Char(' ');
    for (const QString& item : items)
        line += item + QLatin1Char(' ');
    qDebug().noquote().nospace() << line;
}

QString number(unsigned value)
{
    return QString::number(value);
}

} // namespace

SerialMessage::SerialMessage()
    : length(FrameSize)
{
    std::memset(bytes, 0, sizeof bytes);
    bytes[0] = 'c';
    bytes[1] = 'a';
    bytes[2] = 'n';
}

SerialMessage::SerialMessage(const CANMessage& message)
    : SerialMessage()
{
    bytes[Priority] = message.priority;
    bytes[Type] = message.type;
    unsigned char flags = message.dataLength & DataLengthMask;
    setBit(flags, RtrBit, message.rtr);
    setBit(flags, ReadWriteBit, message.readWrite);
    setBit(flags, EepromRamBit, message.eepromRam);
    bytes[BootRtrLength] = flags;
    bytes[Cmd] = message.cmd;
    bytes[Dest] = message.dest;
    std::memcpy(bytes + Data, message.data, sizeof message.data);
}

void SerialMessage::setMsgDataLength(unsigned char n)
{
    bytes[BootRtrLength] |= n & DataLengthMask;
}

void SerialMessage::setMsgRtr(bool on)
{
    setBit(bytes[BootRtrLength], RtrBit, on);
}

void SerialMessage::setMsgBoot(bool readWrite, bool eepromRam)
{
    setBit(bytes[BootRtrLength], ReadWriteBit, readWrite);
    setBit(bytes[BootRtrLength], EepromRamBit, eepromRam);
}

void SerialMessage::setExtendedCmd(unsigned short cmd)
{
    bytes[Cmd] = cmd & 0xFF;
    bytes[Priority] = (cmd >> 8) & 0x07;
}

void SerialMessage::print() const
{
    const unsigned flags = bytes[BootRtrLength];
    debugLine("HEADER ", {number(bytes[0]), number(bytes[1]), number(bytes[2])});
    debugLine("PRIORITY ", {number(bytes[Priority])});
    debugLine("TYPE ", {number(bytes[Type])});
    debugLine("BOOT_RTR_LENGTH ", {number(flags)});
    debugLine("DATA LENGTH ", {number(flags & DataLengthMask)});
    debugLine("RTR ", {number((flags >> 4) & 1)});
    debugLine("READ_WRITE ", {number((flags >> 5) & 1)});
    debugLine("EEPROM_RAM ", {number((flags >> 6) & 1)});
    debugLine("CMD ", {number(bytes[Cmd])});
    debugLine("DEST ", {number(bytes[Dest])});
    // A received DATA LENGTH may say up to 15, but a frame holds only 8 data bytes.
    const unsigned shown = std::min(flags & DataLengthMask, 8u);
    for (unsigned i = 0; i < shown; ++i)
        debugLine("DATA ", {number(i), QStringLiteral(" "), number(bytes[Data + i])});
}

void SerialMessage::write(QIODevice& device) const
{
    device.write(reinterpret_cast<const char*>(bytes), length);
}

bool SerialMessage::operator==(const SerialMessage& other) const
{
    return length == other.length && std::memcmp(bytes, other.bytes, sizeof bytes) == 0;
}
