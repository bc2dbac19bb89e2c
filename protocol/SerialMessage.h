#pragma once

#include <QMetaType>

class QIODevice;
struct CANMessage;

// One frame as it goes on the wire: a 16-byte "can" frame, or a 7, 9 or 11-byte
// robot command frame that replaces the header by its command word.
class SerialMessage
{
public:
    enum : int { FrameSize = 16 };
    // Byte offsets of a "can" frame.
    enum Offset : int { Priority = 3, Type = 4, BootRtrLength = 5, Cmd = 6, Dest = 7, Data = 8 };
    // Bits of BOOT_RTR_LENGTH.
    enum Flag : unsigned char { DataLengthMask = 0x0F, RtrBit = 0x10, ReadWriteBit = 0x20, EepromRamBit = 0x40 };
    // TYPE of the frames in use, and CMD of the live value frames.
    enum FrameType : unsigned char { LiveValueType = 0x02, VariableType = 0x20 };
    enum LiveValue : unsigned char { LivePositions = 0x90, LiveSpeeds = 0x91, LiveSetPoints = 0x92 };

    SerialMessage();
    explicit SerialMessage(const CANMessage& message);
    SerialMessage(const SerialMessage&) = default;
    SerialMessage& operator=(const SerialMessage&) = default;

    void setMsgDataLength(unsigned char n);
    void setMsgRtr(bool on);
    void setMsgBoot(bool readWrite, bool eepromRam);
    void setExtendedCmd(unsigned short cmd);

    void print() const;
    void write(QIODevice& device) const;

    bool operator==(const SerialMessage& other) const;

    int length;
    unsigned char bytes[FrameSize];
};

Q_DECLARE_METATYPE(SerialMessage)
