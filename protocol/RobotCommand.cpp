#include "protocol/RobotCommand.h"

#include <algorithm>
#include <cstdint>

SerialMessage RobotCommand::frame(const QVector<int>& values) const
{
    SerialMessage message;
    std::copy(word, word + WordSize, message.bytes);
    unsigned char* out = message.bytes + WordSize;
    const int count = std::min(valueCount, int(values.size()));
    for (int i = 0; i < count; ++i) {
        const unsigned value = unsigned(values[i]);
        for (int b = 0; b < valueSize; ++b)
            *out++ = (value >> (8 * b)) & 0xFF;
    }
    message.length = frameLength();
    return message;
}

QVector<int> RobotCommand::values(const SerialMessage& frame) const
{
    QVector<int> decoded;
    const unsigned char* in = frame.bytes + WordSize;
    for (int i = 0; i < valueCount; ++i, in += valueSize)
        decoded.append(valueSize == 2 ? int(int16_t(in[0] | in[1] << 8)) : int(in[0]));
    return decoded;
}

QVector<int> RobotCommand::jointValues(const QStringList& onScreen, int* firstInvalid) const
{
    QVector<int> wire(jointCount());
    for (int position = 0; position < jointCount(); ++position) {
        bool ok = false;
        const int value = position < onScreen.size() ? onScreen[position].toInt(&ok) : 0;
        if (!ok || value < minimum || value > maximum) {
            *firstInvalid = position;
            return {};
        }
        wire[joints[size_t(position)].wireIndex] = value;
    }
    *firstInvalid = -1;
    return wire;
}

namespace RobotCommands {

const RobotCommand* find(const QString& text)
{
    for (const RobotCommand& command : all) {
        if (text == QLatin1String(command.word))
            return &command;
    }
    return nullptr;
}

const RobotCommand* find(const unsigned char* bytes)
{
    for (const RobotCommand& command : all) {
        if (std::equal(command.word, command.word + RobotCommand::WordSize, bytes))
            return &command;
    }
    return nullptr;
}

} // namespace RobotCommands
