#pragma once

#include <QMetaType>

// One CAN message for a board, field by field; SerialMessage turns it into a wire frame.
struct CANMessage
{
    unsigned char priority = 0;   // for TYPE 0x20: bits 10..8 of the variable address
    unsigned char type = 0;
    unsigned char cmd = 0;        // command, or bits 7..0 of the variable address
    unsigned char dest = 0;       // board address, 1 or 2
    bool rtr = false;
    bool readWrite = false;
    bool eepromRam = false;
    unsigned char dataLength = 0; // only the low 4 bits reach the frame
    unsigned char data[8] = {};   // little-endian values from data[0]
};

Q_DECLARE_METATYPE(CANMessage)
