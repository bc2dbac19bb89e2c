#include "ui/WhileConnected.h"

#include "core/DriveLink.h"

#include <QWidget>

QString notConnectedToolTip()
{
    return QStringLiteral("Not connected: choose a port and press Connect first.");
}

void enableWhileConnected(QWidget* widget, const DriveLink& link)
{
    const QString toolTip = widget->toolTip();
    const auto show = [widget, toolTip](bool connected) {
        widget->setEnabled(connected);
        widget->setToolTip(connected ? toolTip : notConnectedToolTip());
    };
    show(link.isConnected());
    QObject::connect(&link, &DriveLink::connected, widget, [show] { show(true); });
    QObject::connect(&link, &DriveLink::disconnected, widget, [show] { show(false); });
}
