#include "ui/LinkHealthBar.h"

#include "core/DriveLink.h"

#include <algorithm>

namespace {

QString describe(qint64 sentPerSecond, qint64 receivedPerSecond, const LinkHealth& health, const QString& lastReply)
{
    return QObject::tr("Sent %1/s, received %2/s, replies missing %3, noise %4 bytes, queue %5, %6")
        .arg(sentPerSecond)
        .arg(receivedPerSecond)
        .arg(health.repliesMissing)
        .arg(health.bytesSkipped)
        .arg(health.queueLength)
        .arg(lastReply);
}

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
    // A label of fixed size takes a new text without laying out the window again: that
    // takes two thirds of the cost of an update.
    setTextFormat(Qt::PlainText);
    LinkHealth widest;
    widest.repliesMissing = widest.bytesSkipped = 9999999;
    widest.queueLength = 999;
    setText(describe(999, 999, widest, ago(999999)));
    setFixedSize(sizeHint());
    clear();
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
    const QString text = describe(perSecond(now.framesSent - last.framesSent),
                                  perSecond(now.framesReceived - last.framesReceived), now, ago(now.msSinceReply));
    last = now;
    if (text != this->text())
        setText(text);
}
