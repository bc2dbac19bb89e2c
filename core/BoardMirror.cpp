#include "core/BoardMirror.h"

#include <algorithm>

using namespace SharedVariables;

namespace {

// Which motor variable each byte of the block belongs to (VariableCount for none).
struct ByteOwners
{
    ByteOwners()
    {
        std::fill(std::begin(index), std::end(index), VariableCount);
        for (int motor = 0; motor < MotorCount; ++motor) {
            for (int i = 0; i < VariableCount; ++i) {
                const Variable& v = motorVariables()[size_t(i)];
                for (int b = 0; b < width(v.type); ++b)
                    index[address(motor, v.offset) + b] = Index(i);
            }
        }
    }
    Index index[BlockSize];
};

const ByteOwners& byteOwners()
{
    static const ByteOwners owners;
    return owners;
}

size_t bitOf(int motor, Index index)
{
    return size_t(motor * VariableCount + index);
}

} // namespace

BoardMirror::BoardMirror(QObject* parent)
    : QObject(parent)
{
}

bool BoardMirror::isCurrent(int motor, Index index) const
{
    return currentVariables[bitOf(motor, index)];
}

void BoardMirror::store(int at, const uint8_t* source, int count, bool current, bool report)
{
    if (at < 0 || at >= BlockSize || count <= 0)
        return;
    count = std::min(count, BlockSize - at);
    bool loopTime = false;
    for (int i = 0; i < count; ++i) {
        const int b = at + i;
        if (bytes.data()[b] == source[i] && knownBytes[size_t(b)])
            continue;
        bytes.data()[b] = source[i];
        knownBytes[size_t(b)] = true;
        if (b >= MotorCount * MotorRecordSize) {
            loopTime = loopTime || b == LoopTimeAddress || b == LoopTimeAddress + 1;
            continue;
        }
        const Index owner = byteOwners().index[b];
        if (owner != VariableCount)
            unreported.set(bitOf(b / MotorRecordSize, owner));
    }
    if (report)
        reportChanges(loopTime);
    markRead(at, count, current);
}

void BoardMirror::reportChanges(bool loopTime)
{
    if (unreported.any()) {
        for (size_t bit = 0; bit < unreported.size(); ++bit) {
            if (unreported[bit])
                emit variableChanged(int(bit) / VariableCount, Index(int(bit) % VariableCount));
        }
        unreported.reset();
    }
    if (loopTime)
        emit loopTimeChanged();
}

void BoardMirror::markRead(int at, int count, bool current)
{
    for (int b = at; b < at + count; ++b)
        currentBytes[size_t(b)] = current;
    Index previous = VariableCount;
    for (int b = at; b < std::min(at + count, MotorCount * MotorRecordSize); ++b) {
        const Index owner = byteOwners().index[b];
        if (owner != VariableCount && owner != previous)
            updateFreshness(b / MotorRecordSize, owner);
        previous = owner;
    }
    if (at < LoopTimeAddress + 2 && at + count > LoopTimeAddress)
        updateLoopTimeFreshness();
}

void BoardMirror::updateFreshness(int motor, Index index)
{
    const int first = address(motor, index);
    bool current = true;
    for (int b = first; b < first + width(variable(index).type); ++b)
        current = current && currentBytes[size_t(b)];
    const size_t bit = bitOf(motor, index);
    if (currentVariables[bit] == current)
        return;
    currentVariables[bit] = current;
    emit freshnessChanged(motor, index, current);
}

void BoardMirror::updateLoopTimeFreshness()
{
    const bool current = currentBytes[LoopTimeAddress] && currentBytes[LoopTimeAddress + 1];
    if (loopTimeCurrent == current)
        return;
    loopTimeCurrent = current;
    emit loopTimeFreshnessChanged(current);
}

void BoardMirror::forgetReads()
{
    currentBytes.reset();
    for (size_t bit = 0; bit < currentVariables.size(); ++bit) {
        if (currentVariables[bit]) {
            currentVariables[bit] = false;
            emit freshnessChanged(int(bit) / VariableCount, Index(int(bit) % VariableCount), false);
        }
    }
    if (loopTimeCurrent) {
        loopTimeCurrent = false;
        emit loopTimeFreshnessChanged(false);
    }
}
