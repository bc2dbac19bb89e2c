#include "ui/WhileConnected.h"

#include "core/DriveLink.h"

#include <QPointer>
#include <QWidget>

QString notConnectedToolTip()
{
    return QStringLiteral("Not connected: choose a port and press Connect first.");
}

std::function<void()> enableWhileConnected(QWidget* widget, const DriveLink& link, std::function<bool()> ready)
{
    const QString toolTip = widget->toolTip();
    const auto show = [widget = QPointer<QWidget>(widget), toolTip, &link, ready] {
        if (!widget)
            return;
        const bool connected = link.isConnected();
        widget->setEnabled(connected && (!ready || ready()));
        widget->setToolTip(connected ? toolTip : notConnectedToolTip());
    };
    show();
    QObject::connect(&link, &DriveLink::connected, widget, show);
    QObject::connect(&link, &DriveLink::disconnected, widget, show);
    return show;
}
