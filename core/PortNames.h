#pragma once

#include <QString>
#include <QStringList>

// The names the operator picks from: "COM1" to "COM6", then the ports the system reports.
QStringList offeredPortNames();

// The device to open for an offered name. On Linux "COMn" is /dev/ttyS<n-1>;
// anything else (a device path, a pseudo-terminal) is used as it stands.
QString systemPortName(const QString& name);
