#pragma once

#include <QString>
#include <QStringList>

// "COM1" to "COM6", the names the tool has always offered first (see PortList).
QStringList comPortNames();

// The device to open for an offered name. On Linux "COMn" is /dev/ttyS<n-1>;
// anything else (a device path, a pseudo-terminal) is used as it stands.
QString systemPortName(const QString& name);
