#pragma once

#include <QString>

#include <functional>

class DriveLink;
class QWidget;

// What a widget that waits for a connection says meanwhile.
QString notConnectedToolTip();

// Keeps widget enabled only while the link is connected (and ready() holds, when given),
// for an action that would otherwise go nowhere; while disconnected its tooltip tells the
// operator to connect. Returns what shows the state again, for when ready() may have
// changed.
std::function<void()> enableWhileConnected(QWidget* widget, const DriveLink& link,
                                           std::function<bool()> ready = {});
