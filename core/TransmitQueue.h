#pragma once

#include "protocol/SerialMessage.h"

#include <QList>

// The frames waiting for the line, oldest first, each numbered in the order it was
// queued since the connection began. The numbers let a caller tell when its frame has
// left (lastSent() reached it) and which request a reply answers.
class TransmitQueue
{
public:
    struct Entry
    {
        SerialMessage frame;
        qint64 number;
    };

    // Appends a frame; returns its number.
    qint64 append(const SerialMessage& frame);
    bool isEmpty() const { return waiting.isEmpty(); }
    int size() const { return waiting.size(); }
    Entry takeFirst() { return waiting.takeFirst(); }
    // The frame numbered number was handed to the port.
    void markSent(qint64 number);
    // Takes every robot command off the queue (the boards' frames stay); returns how many.
    int removeRobotCommands();
    QList<SerialMessage> frames() const;
    // The number of the newest frame handed to the port. A frame taken off unsent counts
    // as passed once a later frame went, since it will never go.
    qint64 lastSent() const { return lastSentNumber; }
    qint64 sentCount() const { return sent; }

    // Drops the waiting frames; the counts stay, for a last look at a closed connection.
    void clear() { waiting.clear(); }
    // A new connection: nothing waits, and numbers and counts start again.
    void restart();

private:
    QList<Entry> waiting;
    qint64 queued = 0;
    qint64 sent = 0;
    qint64 lastSentNumber = 0;
};
