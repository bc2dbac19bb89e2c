#include "core/TransmitQueue.h"

#include <algorithm>

qint64 TransmitQueue::append(const SerialMessage& frame)
{
    waiting.append({frame, ++queued});
    return queued;
}

void TransmitQueue::markSent(qint64 number)
{
    ++sent;
    lastSentNumber = number;
}

int TransmitQueue::removeRobotCommands()
{
    const int before = waiting.size();
    // Robot commands are the frames that are not the boards' fixed size.
    waiting.erase(std::remove_if(waiting.begin(), waiting.end(),
                                 [](const Entry& entry) { return entry.frame.length != SerialMessage::FrameSize; }),
                  waiting.end());
    return before - waiting.size();
}

QList<SerialMessage> TransmitQueue::frames() const
{
    QList<SerialMessage> frames;
    frames.reserve(waiting.size());
    for (const Entry& entry : waiting)
        frames.append(entry.frame);
    return frames;
}

void TransmitQueue::restart()
{
    waiting.clear();
    queued = sent = lastSentNumber = 0;
}
