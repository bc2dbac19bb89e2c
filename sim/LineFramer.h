#pragma once

#include "protocol/SerialMessage.h"

#include <QByteArray>
#include <QVector>

// Cuts the bytes the tool sends into frames: 16-byte "can" frames and the shorter robot
// command frames, whose length follows from their word. Bytes that begin no frame are
// skipped one at a time; a frame cut short waits for the rest in the next read.
class LineFramer
{
public:
    // The whole frames the bytes complete, in order; each carries its own length.
    QVector<SerialMessage> feed(const QByteArray& bytes);

    // Bytes skipped so far because no frame began with them.
    qint64 skipped() const { return skippedBytes; }
    int pending() const { return buffer.size(); }

private:
    QByteArray buffer;
    qint64 skippedBytes = 0;
};
