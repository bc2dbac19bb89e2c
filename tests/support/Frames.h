#pragma once

#include "protocol/SerialMessage.h"

#include <QByteArray>

#include <array>
#include <cstdint>

// The frames the tool sends a board, built field by field from a CANMessage.
SerialMessage variableRead(int address, uint8_t board);
SerialMessage liveValueRequest(uint8_t cmd, uint8_t board);
SerialMessage variableWrite(int address, uint8_t board, const QByteArray& value);
// A board's live value broadcast: one signed 16-bit value per motor.
SerialMessage liveValues(uint8_t cmd, uint8_t board, const std::array<int16_t, 4>& values);

// The bytes of a frame as they go on the wire.
QByteArray wireBytes(const SerialMessage& frame);

// A recognisable 16-byte "can" frame: the header, then the bytes tag + 3 to tag + 15.
QByteArray taggedFrame(char tag);
