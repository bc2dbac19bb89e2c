#include "ui/LinkHealthBar.h"

#include "core/DriveLink.h"

#include <algorithm>

namespace {

QString ago(qint64 ms)
{
    if (ms < 0)
        return QObject::tr("no reply yet");
    if (ms < 1000)
        return QObject::tr("last reply %1 ms ago").arg(ms);
    return QObject::tr("last reply %1 s ago").arg(ms / 1000.0, 0, 'f', 1);
}

} // namespace

LinkHealthBar::LinkHealthBar(const DriveLink& link, QWidget* parent)
    : QLabel(parent), link(link)
{
    timer.setInterval(UpdateIntervalMs);
    connect(&timer, &QTimer::timeout, this, &LinkHealthBar::refresh);
    connect(&link, &DriveLink::connected, this, [this] {
        last = LinkHealth();
        sinceLast.start();
        timer.start();
    });
    connect(&link, &DriveLink::disconnected, this, [this] {
        timer.stop();
        clear();
    });
}

void LinkHealthBar::refresh()
{
    const LinkHealth now = link.health();
    const double seconds = std::max<qint64>(sinceLast.restart(), 1) / 1000.0;
    const auto perSecond = [seconds](qint64 count) { return qRound64(double(count) / seconds); };
    const QString text = tr("Sent %1/s, received %2/s, replies missing %3, noise %4 bytes, queue %5, %6")
                             .arg(perSecond(now.framesSent - last.framesSent))
                             .arg(perSecond(now.framesReceived - last.framesReceived))
                             .arg(now.repliesMissing)
                             .arg(now.bytesSkipped)
                             .arg(now.queueLength)
                             .arg(ago(now.msSinceReply));
    last = now;
    if (text != this->text())
        setText(text);
}
