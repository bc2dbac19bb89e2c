#include "support/Frames.h"

#include "protocol/SharedVariables.h"
#include "protocol/CANMessage.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint8_t VariableType = 0x20;
constexpr uint8_t LiveValueType = 0x02;

CANMessage variableMessage(int address, uint8_t board)
{
    CANMessage message;
    message.priority = SharedVariables::priorityOf(address);
    message.type = VariableType;
    message.cmd = SharedVariables::cmdOf(address);
    message.dest = board;
    return message;
}

} // namespace

SerialMessage variableRead(int address, uint8_t board)
{
    CANMessage message = variableMessage(address, board);
    message.rtr = message.readWrite = true;
    message.dataLength = 8;
    return SerialMessage(message);
}

SerialMessage liveValueRequest(uint8_t cmd, uint8_t board)
{
    CANMessage message;
    message.type = LiveValueType;
    message.cmd = cmd;
    message.dest = board;
    message.rtr = message.readWrite = message.eepromRam = true;
    message.dataLength = 8;
    return SerialMessage(message);
}

SerialMessage variableWrite(int address, uint8_t board, const QByteArray& value)
{
    CANMessage message = variableMessage(address, board);
    message.dataLength = uint8_t(value.size());
    std::memcpy(message.data, value.constData(), size_t(std::min(value.size(), 8)));
    return SerialMessage(message);
}

SerialMessage liveValues(uint8_t cmd, uint8_t board, const std::array<int16_t, 4>& values)
{
    CANMessage message;
    message.type = LiveValueType;
    message.cmd = cmd;
    message.dest = board;
    message.dataLength = 8;
    for (size_t motor = 0; motor < values.size(); ++motor) {
        message.data[2 * motor] = uint8_t(values[motor]);
        message.data[2 * motor + 1] = uint8_t(uint16_t(values[motor]) >> 8);
    }
    return SerialMessage(message);
}

QByteArray wireBytes(const SerialMessage& frame)
{
    return QByteArray(reinterpret_cast<const char*>(frame.bytes), frame.length);
}

QByteArray taggedFrame(char tag)
{
    QByteArray bytes("can");
    for (int i = 3; i < SerialMessage::FrameSize; ++i)
        bytes.append(char(tag + i));
    return bytes;
}
