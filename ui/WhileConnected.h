#pragma once

class DriveLink;
class QWidget;

// Keeps widget enabled only while the link is connected, for an action that would
// otherwise go nowhere; while disconnected its tooltip tells the operator to connect.
void enableWhileConnected(QWidget* widget, const DriveLink& link);
