#include "core/ReplyTracker.h"

#include "protocol/SharedVariables.h"

void ReplyTracker::noteSent(const SerialMessage& frame, qint64 number, qint64 nowMs)
{
    const unsigned char* bytes = frame.bytes;
    if (frame.length != SerialMessage::FrameSize || !(bytes[SerialMessage::BootRtrLength] & SerialMessage::RtrBit))
        return;
    const unsigned char type = bytes[SerialMessage::Type];
    if (type == SerialMessage::VariableType || type == SerialMessage::LiveValueType) {
        const int key = type == SerialMessage::VariableType
            ? SharedVariables::joinAddress(bytes[SerialMessage::Priority], bytes[SerialMessage::Cmd])
            : LiveValueKey + bytes[SerialMessage::Cmd];
        outstanding.append({bytes[SerialMessage::Dest], key, number, nowMs, false});
    }
    if (outstanding.size() > OutstandingBound) {
        missing += !outstanding.first().late;
        outstanding.removeFirst();
    }
}

std::optional<ReplyTracker::Request> ReplyTracker::match(int key)
{
    for (int i = 0; i < outstanding.size(); ++i) {
        if (outstanding[i].key != key)
            continue;
        const Request answered = outstanding[i];
        for (int j = 0; j < i; ++j)
            missing += !outstanding[j].late;
        outstanding.erase(outstanding.begin(), outstanding.begin() + i + 1);
        return answered;
    }
    return std::nullopt;
}

bool ReplyTracker::noteAnswer(qint64 nowMs)
{
    lastReplyMs = quietSinceMs = nowMs;
    return endSilence();
}

bool ReplyTracker::checkDeadlines(qint64 nowMs)
{
    for (Request& request : outstanding) {
        if (!request.late && nowMs - request.sentMs > ReplyDeadlineMs) {
            request.late = true;
            ++missing;
        }
    }
    const bool quiet = nowMs - quietSinceMs >= SilenceMs;
    const bool confirmed = quiet && silenceSuspected;
    silenceSuspected = quiet;
    if (silent || !confirmed)
        return false;
    silent = true;
    return true;
}

bool ReplyTracker::restartQuiet(qint64 nowMs)
{
    lastReplyMs = -1;
    quietSinceMs = nowMs;
    return endSilence();
}

bool ReplyTracker::forgetRequests()
{
    outstanding.clear();
    return endSilence();
}

bool ReplyTracker::endSilence()
{
    if (!silent)
        return false;
    silent = false;
    return true;
}
