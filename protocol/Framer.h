#pragma once

#include "protocol/SerialMessage.h"

#include <QByteArray>

#include <cstring>

// Cuts received bytes into 16-byte "can" frames. Bytes that do not line up with a
// header are dropped, except a trailing "c" or "ca" that may begin the next header.
// A frame is cut by position only: a "can" inside a payload is not looked for.
// The buffer is walked with a read position and compacted once per call, so the
// cost is linear in the bytes received. Dropped bytes are counted: a noisy line shows.
class Framer
{
public:
    // Appends the bytes and calls emitFrame(const SerialMessage&) for each whole frame,
    // in order, before the next one is cut.
    template <typename Sink>
    void feed(const char* data, int size, Sink&& emitFrame)
    {
        buffer.append(data, size);
        const int end = buffer.size();
        const char* base = buffer.constData();
        int pos = 0;
        int framed = 0;
        while (end - pos >= SerialMessage::FrameSize) {
            const int header = buffer.indexOf("can", pos);
            if (header < 0) {
                pos = end - partialHeaderAtEnd();
                break;
            }
            if (header > pos) {
                pos = header;
                continue;
            }
            SerialMessage frame;
            std::memcpy(frame.bytes, base + pos, SerialMessage::FrameSize);
            pos += SerialMessage::FrameSize;
            framed += SerialMessage::FrameSize;
            emitFrame(frame);
        }
        skippedBytes += pos - framed;
        buffer.remove(0, pos);
    }

    // Bytes kept for the next feed: a partial frame or a trailing "c" or "ca".
    int pending() const { return buffer.size(); }
    // Bytes dropped so far because they began no frame.
    qint64 skipped() const { return skippedBytes; }

private:
    int partialHeaderAtEnd() const
    {
        if (buffer.endsWith("ca"))
            return 2;
        if (buffer.endsWith('c'))
            return 1;
        return 0;
    }

    QByteArray buffer;
    qint64 skippedBytes = 0;
};
