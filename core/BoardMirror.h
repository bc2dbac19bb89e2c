#pragma once

#include "protocol/SharedVariables.h"

#include <QObject>

#include <bitset>

// The tool's copy of a board's variable block as replies and broadcasts fill it, with
// what of it is known (a reply has filled it) and what is current (it answers a request
// sent to the selected board since the last Connect, board switch and silence, and
// nothing unasked overwrote it since: only then is it the selected board's value).
class BoardMirror : public QObject
{
    Q_OBJECT

public:
    using Index = SharedVariables::Index;

    explicit BoardMirror(QObject* parent = nullptr);

    const SharedVariables::Block& block() const { return bytes; }
    bool isCurrent(int motor, Index index) const;
    bool isLoopTimeCurrent() const { return loopTimeCurrent; }

    // Stores the bytes that lie inside the block at address, current or not. With report,
    // the variables changed by these bytes and by the unreported stores before them are
    // reported once all are in, so a variable is never read half written; live values
    // store without it, and the fields are redrawn once per reply rather than once per
    // broadcast. Changes are reported before what became current.
    void store(int address, const uint8_t* source, int count, bool current, bool report);
    // Nothing is current any more: a Connect, a board switch, a silence.
    void forgetReads();

signals:
    // The bytes of a variable changed, or it was read for the first time.
    void variableChanged(int motor, SharedVariables::Index index);
    void loopTimeChanged();
    // A variable became current, or stopped being so (see isCurrent).
    void freshnessChanged(int motor, SharedVariables::Index index, bool current);
    void loopTimeFreshnessChanged(bool current);

private:
    void reportChanges(bool loopTime);
    void markRead(int address, int count, bool current);
    void updateFreshness(int motor, Index index);
    void updateLoopTimeFreshness();

    static constexpr size_t VariableBits = SharedVariables::MotorCount * SharedVariables::VariableCount;

    SharedVariables::Block bytes;
    // A variable is shown once it is known, even when its value equals the initial zero.
    std::bitset<SharedVariables::BlockSize> knownBytes;
    std::bitset<VariableBits> unreported;
    std::bitset<SharedVariables::BlockSize> currentBytes;
    std::bitset<VariableBits> currentVariables;
    bool loopTimeCurrent = false;
};
