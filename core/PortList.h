#pragma once

#include <QList>
#include <QString>

#include <functional>

// A serial port as the system reports it.
struct SystemPort
{
    QString location;    // the device path, such as /dev/ttyUSB0
    QString description; // such as "FT232R USB UART"; may be empty
};

// One entry of the port list the operator picks from.
struct OfferedPort
{
    QString name;        // what is opened (through systemPortName)
    QString description; // the system's, when it reports the device
    bool missing = false;

    // "COM1", "/dev/ttyUSB0 - FT232R USB UART", "/dev/ttyUSB0 (missing)"
    QString text() const;
    QString toolTip() const;
    bool operator==(const OfferedPort& other) const;
};

// The ports offered to the operator: "COM1" to "COM6" first, as the tool has always
// offered them, then the ports the system reports now, then the names added for this
// run (--port, the simulator's), as missing when their device path is gone. A device is
// listed once: on Linux /dev/ttyS0 is COM1.
class PortList
{
public:
    using Enumeration = std::function<QList<SystemPort>()>;

    // The system's serial ports, through QSerialPortInfo.
    static QList<SystemPort> systemPorts();
    // Whether two names open the same device.
    static bool sameDevice(const QString& a, const QString& b);

    explicit PortList(Enumeration enumeration = systemPorts);
    void setEnumeration(Enumeration replacement) { enumeration = std::move(replacement); }

    // Keeps name in the list whether or not the system reports it.
    void keep(const QString& name);
    // A kept name whose device is known to be gone (the simulator that held it ended):
    // listed as missing even when a new device takes the same path later.
    void markGone(const QString& name);

    // The entries now. wanted, when no entry opens it, is added as missing, so that a
    // chosen port that is gone is not replaced silently by another.
    QList<OfferedPort> offer(const QString& wanted = QString()) const;

private:
    Enumeration enumeration;
    QStringList kept;
    QStringList gone;
};
