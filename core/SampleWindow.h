#pragma once

#include <algorithm>
#include <vector>

// The last `capacity` samples of one graph series, oldest first, always contiguous in
// memory so that a curve can copy them from one pointer.
//
// Each sample is stored twice, at index i and at index i + capacity, so the live window
// [head, head + size) never wraps: appending and dropping the oldest sample are O(1)
// and never move the other samples.
class SampleWindow
{
public:
    explicit SampleWindow(int capacity)
        : storage(2 * static_cast<std::size_t>(capacity)), cap(capacity)
    {
    }

    int capacity() const { return cap; }
    int size() const { return count; }

    // The samples, oldest first; size() of them. Valid until the next change.
    const double* data() const { return storage.data() + head; }
    double at(int i) const { return storage[static_cast<std::size_t>(head + i)]; }
    double first() const { return at(0); }
    double last() const { return at(count - 1); }

    // Adds a sample after the newest one. A full window drops its oldest sample first.
    void append(double value)
    {
        if (count == cap)
            removeFirst();
        const int index = (head + count) % cap;
        storage[static_cast<std::size_t>(index)] = value;
        storage[static_cast<std::size_t>(index + cap)] = value;
        ++count;
    }

    void clear()
    {
        head = 0;
        count = 0;
    }

    // Keeps the newest samples that fit; memory follows the new capacity.
    void setCapacity(int capacity)
    {
        SampleWindow resized(capacity);
        for (int i = std::max(0, count - capacity); i < count; ++i)
            resized.append(at(i));
        *this = std::move(resized);
    }

private:
    // Drops the oldest sample; nothing when empty.
    void removeFirst()
    {
        if (count == 0)
            return;
        head = (head + 1) % cap;
        --count;
    }

    std::vector<double> storage;
    int cap;
    int head = 0;
    int count = 0;
};
