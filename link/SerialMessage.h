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
