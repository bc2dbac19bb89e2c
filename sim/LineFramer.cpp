#include "sim/LineFramer.h"

#include "protocol/RobotCommand.h"

#include <cstring>

namespace {

constexpr int WordSize = RobotCommand::WordSize;
const char BoardWord[] = "can";

// Frame length for the word at data, 0 if none begins there.
int frameLength(const unsigned char* data)
{
    if (std::memcmp(data, BoardWord, WordSize) == 0)
        return SerialMessage::FrameSize;
    const RobotCommand* command = RobotCommands::find(data);
    return command ? command->frameLength() : 0;
}

// The last few bytes may be the start of a word still arriving.
bool beginsWord(const char* data, int size)
{
    if (std::memcmp(data, BoardWord, size_t(size)) == 0)
        return true;
    for (const RobotCommand& command : RobotCommands::all) {
        if (std::memcmp(data, command.word, size_t(size)) == 0)
            return true;
    }
    return false;
}

} // namespace

QVector<SerialMessage> LineFramer::feed(const QByteArray& bytes)
{
    buffer.append(bytes);
    QVector<SerialMessage> frames;
    const auto* data = reinterpret_cast<const unsigned char*>(buffer.constData());
    const int end = buffer.size();
    int pos = 0;
    while (pos < end) {
        const int rest = end - pos;
        if (rest < WordSize) {
            if (beginsWord(buffer.constData() + pos, rest))
                break;
            ++pos;
            ++skippedBytes;
            continue;
        }
        const int length = frameLength(data + pos);
        if (length == 0) {
            ++pos;
            ++skippedBytes;
            continue;
        }
        if (rest < length)
            break;
        SerialMessage frame;
        std::memcpy(frame.bytes, data + pos, size_t(length));
        frame.length = length;
        frames.append(frame);
        pos += length;
    }
    buffer.remove(0, pos);
    return frames;
}
