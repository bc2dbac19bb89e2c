#pragma once

#include "protocol/SharedVariables.h"

#include <QVector>

// The parameters entered and written but not yet read back. The board answers in order:
// a read of the variable's window that left after the write shows what the write made of
// the variable, whether the board took the value or not; until then the entered value is
// what the operator sees, marked as pending.
class PendingWrites
{
public:
    struct Variable
    {
        int motor;
        SharedVariables::Index index;
        bool operator==(const Variable& other) const { return motor == other.motor && index == other.index; }
    };

    // The write numbered request (the link's transmit number); it replaces an earlier one
    // of the same variable.
    void add(int motor, SharedVariables::Index index, qint64 request);
    bool contains(int motor, SharedVariables::Index index) const;
    void remove(int motor, SharedVariables::Index index);
    // Drops and returns the writes a read of the window at windowAddress confirms, the
    // board having answered every request up to answeredRequest.
    QVector<Variable> confirm(int windowAddress, qint64 answeredRequest);

private:
    struct Write
    {
        Variable variable;
        qint64 request;
    };
    // Few at a time: only what the operator entered since the last reads.
    QVector<Write> writes;
};
