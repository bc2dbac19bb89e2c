#pragma once

#include <QtGlobal>

// How one connection fares, counted from Connect: enough to tell a noisy, slow or silent
// line from a healthy one at a glance.
struct LinkHealth
{
    qint64 framesSent = 0;
    qint64 framesReceived = 0;
    qint64 repliesMissing = 0; // requests not answered within DriveLink::ReplyDeadlineMs
    qint64 bytesSkipped = 0;   // received bytes the framer dropped as noise
    int queueLength = 0;
    qint64 msSinceReply = -1;  // since the selected board last answered; -1: not yet
};
