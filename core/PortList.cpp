#include "core/PortList.h"

#include "core/PortNames.h"

#include <QCollator>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

namespace {

bool listed(const QList<OfferedPort>& ports, const QString& name)
{
    return std::any_of(ports.begin(), ports.end(),
                       [&](const OfferedPort& port) { return PortList::sameDevice(port.name, name); });
}

} // namespace

QString OfferedPort::text() const
{
    if (missing)
        return QCoreApplication::translate("PortList", "%1 (missing)").arg(name);
    if (description.isEmpty() || comPortNames().contains(name))
        return name;
    return name + QStringLiteral(" - ") + description;
}

QString OfferedPort::toolTip() const
{
    if (missing)
        return QCoreApplication::translate("PortList", "%1 is not there now. Plug it in, or choose another port.")
            .arg(name);
    const QString device = systemPortName(name);
    QString tip = device;
    if (device != name)
        tip = QCoreApplication::translate("PortList", "%1 opens %2").arg(name, device);
    if (!description.isEmpty())
        tip += QStringLiteral(" - ") + description;
    return tip;
}

bool OfferedPort::operator==(const OfferedPort& other) const
{
    return name == other.name && description == other.description && missing == other.missing;
}

// Asking the system reads the properties of every terminal device, tens of milliseconds
// on the window's thread, once a second. Where there is a /dev, it is asked again only
// when a device node came or went there, or the device manager recorded a change (a
// description is filled in after the node appears).
QList<SystemPort> PortList::systemPorts()
{
    static QList<SystemPort> ports;
    static QDateTime devChanged, udevChanged;
    const QDateTime dev = QFileInfo(QStringLiteral("/dev")).lastModified();
    const QDateTime udev = QFileInfo(QStringLiteral("/run/udev/data")).lastModified();
    if (dev.isValid() && dev == devChanged && udev == udevChanged)
        return ports;
    ports.clear();
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos)
        ports.append({info.systemLocation(), info.description()});
    devChanged = dev;
    udevChanged = udev;
    return ports;
}

bool PortList::sameDevice(const QString& a, const QString& b)
{
    return systemPortName(a) == systemPortName(b);
}

PortList::PortList(Enumeration enumeration)
    : enumeration(std::move(enumeration))
{
}

void PortList::keep(const QString& name)
{
    gone.removeAll(name); // a new simulator may get the same path
    if (!kept.contains(name))
        kept.append(name);
}

void PortList::markGone(const QString& name)
{
    if (!gone.contains(name))
        gone.append(name);
}

QList<OfferedPort> PortList::offer(const QString& wanted) const
{
    QList<SystemPort> reported = enumeration();
    // The system's order may change from one look to the next; the operator's list should
    // not. Numbers count as numbers: ttyUSB2 before ttyUSB10, which the C locale's
    // collation does not do.
    QCollator collator{QLocale(QLocale::English)};
    collator.setNumericMode(true);
    std::stable_sort(reported.begin(), reported.end(), [&](const SystemPort& a, const SystemPort& b) {
        return collator.compare(a.location, b.location) < 0;
    });

    QList<OfferedPort> ports;
    const QStringList comNames = comPortNames();
    for (const QString& name : comNames)
        ports.append({name, QString()});
    for (const SystemPort& port : qAsConst(reported)) {
        auto same = std::find_if(ports.begin(), ports.end(), [&](const OfferedPort& offered) {
            return sameDevice(offered.name, port.location);
        });
        if (same == ports.end())
            ports.append({port.location, port.description});
        else if (same->description.isEmpty())
            same->description = port.description; // a COM name tells what it opens
    }
    // A pseudo-terminal is never reported by the system; a device path kept is missing
    // when its node is gone (the simulator that held it ended, the adapter was pulled).
    for (const QString& name : kept) {
        if (!listed(ports, name))
            ports.append({name, QString(),
                          gone.contains(name) || (QDir::isAbsolutePath(name) && !QFileInfo::exists(systemPortName(name)))});
    }
    if (!wanted.isEmpty() && !listed(ports, wanted))
        ports.append({wanted, QString(), true});
    return ports;
}
