#include "support/LinkOnPty.h"

#include "support/Frames.h"

#include <QtGlobal>

LinkOnPty::LinkOnPty()
{
    if (!link.open(pty.slavePath()))
        qFatal("The link did not open on %s: %s", qPrintable(pty.slavePath()), qPrintable(link.openFailure()));
}

QList<QByteArray> LinkOnPty::queuedHex() const
{
    QList<QByteArray> frames;
    for (const SerialMessage& frame : link.transmitQueue())
        frames << wireBytes(frame).toHex(' ');
    return frames;
}

void LinkOnPty::drain()
{
    while (!link.transmitQueue().isEmpty())
        link.sendNextFrame();
}

void LinkOnPty::answer(const SerialMessage& frame)
{
    pty.write(wireBytes(frame));
}
