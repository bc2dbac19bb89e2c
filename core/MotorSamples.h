#pragma once

#include "core/SampleWindow.h"

// The live samples of one motor: the last `capacity` position broadcasts with the
// set-point and speed known at that moment, as received (not scaled), against the link's
// clock in seconds. Views draw them; recordings and exports read them.
class MotorSamples
{
public:
    static constexpr int DefaultCapacity = 501;

    explicit MotorSamples(int capacity = DefaultCapacity)
        : time(capacity), position(capacity), setPoint(capacity), speed(capacity)
    {
    }

    void append(double seconds, double positionValue, double setPointValue, double speedValue)
    {
        time.append(seconds);
        position.append(positionValue);
        setPoint.append(setPointValue);
        speed.append(speedValue);
    }

    void clear()
    {
        time.clear();
        position.clear();
        setPoint.clear();
        speed.clear();
    }

    // Keeps the newest samples that fit.
    void setCapacity(int capacity)
    {
        time.setCapacity(capacity);
        position.setCapacity(capacity);
        setPoint.setCapacity(capacity);
        speed.setCapacity(capacity);
    }

    int size() const { return time.size(); }
    int capacity() const { return time.capacity(); }

    SampleWindow time;
    SampleWindow position;
    SampleWindow setPoint;
    SampleWindow speed;
};
