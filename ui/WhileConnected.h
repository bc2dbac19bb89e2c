#pragma once

#include <QString>

class DriveLink;
class QWidget;

// What a widget that waits for a connection says meanwhile.
QString notConnectedToolTip();

// Keeps widget enabled only while the link is connected, for an action that would
// otherwise go nowhere; while disconnected its tooltip tells the operator to connect.
void enableWhileConnected(QWidget* widget, const DriveLink& link);
