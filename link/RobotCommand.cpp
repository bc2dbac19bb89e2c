#include "link/RobotCommand.h"

#include <algorithm>

SerialMessage RobotCommand::frame(const QVector<int>& values) const
{
    SerialMessage message;
    std::copy(word, word + 3, message.bytes);
    unsigned char* out = message.bytes + 3;
    const int count = std::min(valueCount, int(values.size()));
    for (int i = 0; i < count; ++i) {
        const unsigned value = unsigned(values[i]);
        for (int b = 0; b < valueSize; ++b)
            *out++ = (value >> (8 * b)) & 0xFF;
    }
    message.length = frameLength();
    return message;
}

namespace RobotCommands {

const RobotCommand* find(const QString& text)
{
    static const RobotCommand* const all[] = {&Mrm, &Mre, &Meb, &Mla, &Mra, &Mrn};
    for (const RobotCommand* command : all) {
        if (text == QLatin1String(command->word))
            return command;
    }
    return nullptr;
}

} // namespace RobotCommands
