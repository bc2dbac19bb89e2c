#pragma once

#include "protocol/SharedVariables.h"
#include "support/Pty.h"

#include <QStringList>
#include <QTimer>

#include <functional>

// Board 1 at the far end of a pseudo-terminal: answers window reads from its block and
// stores writes, with the fault a test asks for. Writes are kept as hex, the EEPROM save
// among them.
struct FakeBoard
{
    enum Fault { None, StaleReply, KeepsValue, Silent, HangsUpAfterWrite, SilentAfterSave };

    explicit FakeBoard(Fault fault);
    // Reads what came and answers it; the poll timer calls it while events are processed.
    void serve();

    Pty pty;
    Fault fault;
    SharedVariables::Block block; // motor 1's SpeedMax is 30, all else 0
    QStringList writes;
    // Called after each frame that came, answered or not.
    std::function<void()> afterFrame = [] {};

private:
    // False once the far end hung up.
    bool handle(const uint8_t* bytes);
    void reply(int at, const SharedVariables::Block& from);

    SharedVariables::Block before;
    int stale = 0;
    QByteArray pending;
    QTimer poll;
};
