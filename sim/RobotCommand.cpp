#include "sim/RobotCommand.h"

#include <QStringList>

#include <cstdint>
#include <cstring>

namespace RobotCommand {

namespace {

struct Command
{
    const char* word;
    int valueCount;
    bool wide;   // 16-bit signed values; otherwise 8-bit unsigned
};

constexpr Command commands[] = {
    {"mla", 3, true},
    {"mra", 3, true},
    {"mrn", 2, true},
    {"mrm", 8, false},
    {"meb", 4, false},
    {"mre", 6, false},
};

constexpr int WordSize = 3;

const Command* find(const unsigned char* word)
{
    for (const Command& command : commands) {
        if (std::memcmp(word, command.word, WordSize) == 0)
            return &command;
    }
    return nullptr;
}

int length(const Command& command)
{
    return WordSize + command.valueCount * (command.wide ? 2 : 1);
}

} // namespace

int frameLength(const unsigned char* word)
{
    const Command* command = find(word);
    return command ? length(*command) : 0;
}

QString line(const SerialMessage& frame)
{
    const Command* command = find(frame.bytes);
    if (!command || frame.length < length(*command))
        return QString();
    QStringList items{QString::fromLatin1(command->word)};
    const unsigned char* value = frame.bytes + WordSize;
    for (int i = 0; i < command->valueCount; ++i) {
        if (command->wide) {
            items << QString::number(int16_t(value[0] | value[1] << 8));
            value += 2;
        } else {
            items << QString::number(*value++);
        }
    }
    return items.join(QLatin1Char(' '));
}

} // namespace RobotCommand
