#pragma once

#include "core/DriveLink.h"
#include "support/Pty.h"

#include <QByteArray>
#include <QList>

// A link open on a pseudo-terminal: the test plays the boards at the far end, or calls
// the link's ticks itself and looks at its queue.
struct LinkOnPty
{
    // Opens the link; a port that will not open ends the test program with the reason.
    LinkOnPty();

    // The frames waiting to be sent, as wire bytes in hex ("63 61 6e ...").
    QList<QByteArray> queuedHex() const;
    // Sends every waiting frame, one transmit tick each.
    void drain();
    // A board's frame written at the far end, for the link to read.
    void answer(const SerialMessage& frame);

    Pty pty;
    DriveLink link;
};
