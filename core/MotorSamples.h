#pragma once

#include "core/SampleWindow.h"

// The live samples of one motor: the last `capacity` position broadcasts with the
// set-point and speed known at that moment, as received (not scaled), against the link's
// clock in seconds. Views draw them; recordings and exports read them.
//
// Samples form segments: a break (nothing received for a while: a disconnect, a lost
// port, a silent board) starts a new one, and a view draws no line across it.
class MotorSamples
{
public:
    static constexpr int DefaultCapacity = 501;

    explicit MotorSamples(int capacity = DefaultCapacity)
        : time(capacity), position(capacity), setPoint(capacity), speed(capacity), segmentStart(capacity)
    {
    }

    void append(double seconds, double positionValue, double setPointValue, double speedValue)
    {
        time.append(seconds);
        position.append(positionValue);
        setPoint.append(setPointValue);
        speed.append(speedValue);
        segmentStart.append(gapPending ? 1.0 : 0.0);
        gapPending = false;
    }

    // The next sample starts a new segment.
    void markGap() { gapPending = size() > 0; }

    // Whether sample i (oldest first) begins a segment; the oldest always does.
    bool startsSegment(int i) const { return i == 0 || segmentStart.at(i) != 0.0; }

    void clear()
    {
        time.clear();
        position.clear();
        setPoint.clear();
        speed.clear();
        segmentStart.clear();
        gapPending = false;
    }

    // Keeps the newest samples that fit.
    void setCapacity(int capacity)
    {
        time.setCapacity(capacity);
        position.setCapacity(capacity);
        setPoint.setCapacity(capacity);
        speed.setCapacity(capacity);
        segmentStart.setCapacity(capacity);
    }

    int size() const { return time.size(); }
    int capacity() const { return time.capacity(); }

    SampleWindow time;
    SampleWindow position;
    SampleWindow setPoint;
    SampleWindow speed;

private:
    SampleWindow segmentStart; // 1 where a segment begins after a break, else 0
    bool gapPending = false;
};
