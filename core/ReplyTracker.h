#pragma once

#include "protocol/SerialMessage.h"

#include <QList>

#include <optional>

// Which read requests a board still owes, which request each reply answers, and whether
// the selected board has fallen silent. Times are the link clock's milliseconds, given
// by the caller, so the rules run without a port or a timer.
class ReplyTracker
{
public:
    // Beyond this many unanswered requests the oldest is given up as missing, so that a
    // board that stopped answering cannot make the list grow without end.
    static constexpr int OutstandingBound = 64;
    // A request unanswered this long counts as a missing reply.
    static constexpr int ReplyDeadlineMs = 200;
    // The selected board counts as silent after this long without a reply from it.
    static constexpr int SilenceMs = 1000;
    // Live value requests are matched like window reads, under keys beyond the block's
    // 11-bit addresses.
    static constexpr int LiveValueKey = 0x800;

    struct Request
    {
        int board;
        int key; // a block address, or LiveValueKey + CMD
        qint64 number; // the request frame's, in the transmit queue's numbering
        qint64 sentMs;
        bool late;
    };

    // A frame left for the line: a variable read or live value request awaits its reply.
    void noteSent(const SerialMessage& frame, qint64 number, qint64 nowMs);
    // The request a reply under key answers, removed from the outstanding ones with those
    // it overtook (a board answers in order, so those will not be answered); nothing for
    // a reply that answers no request (one that waited in the line, or a board's own).
    std::optional<Request> match(int key);
    // The selected board replied; true when this ends its silence.
    bool noteAnswer(qint64 nowMs);
    // The polling tick's look: requests past their deadline count as missing; true when
    // the selected board has just been found silent. Replies that came while the tool
    // itself was held up wait to be read before the next tick, so only a second quiet
    // tick counts.
    bool checkDeadlines(qint64 nowMs);
    // A new connection or board: it gets its own SilenceMs to answer. True when this
    // ends a silence.
    bool restartQuiet(qint64 nowMs);
    // Nothing is owed any more (the connection ended); true when this ends a silence.
    bool forgetRequests();
    // A new connection: nothing counts as missing yet, and the board has SilenceMs to answer.
    void startConnection(qint64 nowMs)
    {
        missing = 0;
        restartQuiet(nowMs);
    }

    bool isSilent() const { return silent; }
    bool hasAnswered() const { return lastReplyMs >= 0; }
    qint64 repliesMissing() const { return missing; }
    // Since the selected board last answered; -1: not yet.
    qint64 msSinceReply(qint64 nowMs) const { return lastReplyMs < 0 ? -1 : nowMs - lastReplyMs; }
    int outstandingCount() const { return outstanding.size(); }

private:
    bool endSilence();

    // Oldest first.
    QList<Request> outstanding;
    qint64 missing = 0;
    bool silent = false;
    bool silenceSuspected = false;
    qint64 quietSinceMs = 0; // the last reply from the selected board, Connect or switch
    qint64 lastReplyMs = -1; // the last reply from the selected board; -1: none yet
};
