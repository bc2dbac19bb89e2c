#include "core/SerialDriver.h"

#include "protocol/CANMessage.h"
#include "core/PortNames.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QSysInfo>

#include <cerrno>
#include <unistd.h>

// Off unless asked for, e.g. QT_LOGGING_RULES="drive.serial.debug=true".
Q_LOGGING_CATEGORY(serialLog, "drive.serial", QtInfoMsg)

namespace {

// The system's text alone ("Input/output error", or a stale "Inappropriate ioctl for
// device") rarely tells the operator what happened; the likely cause in words does.
QString likelyLossCause(const QString& device)
{
    // A pseudo-terminal's node goes with the far end, which nobody unplugs.
    if (device.startsWith(QLatin1String("/dev/pts/")))
        return QObject::tr("the program at the far end of the pseudo-terminal closed it or ended");
    const QFileInfo file(device);
    if (!file.exists())
        return QObject::tr("the device was removed or unplugged");
    if (!file.isReadable() || !file.isWritable())
        return QObject::tr("access to the device is no longer permitted");
    return QObject::tr("the far end closed the line, or the device stopped working");
}

// QSerialPort locks a device as QLockFile does, with LCK..NAME (the path below /dev/,
// slashes as '_') in the first usable of these folders. Only a lock held by a live
// process stops it: a stale one it takes over.
QString findLockHolder(const QString& device)
{
    QString name = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QStringList folders{QStringLiteral("/var/lock"), QStringLiteral("/etc/locks"), QStringLiteral("/var/spool/locks"),
                              QStringLiteral("/var/spool/uucp"), QStringLiteral("/tmp"), QStringLiteral("/var/tmp"),
                              QStringLiteral("/var/lock/lockdev"), QStringLiteral("/run/lock"), QDir::tempPath()};
    for (const QString& folder : folders) {
        qint64 pid = 0;
        QString host;
        QString application;
        if (!QLockFile(folder + QStringLiteral("/LCK..") + name).getLockInfo(&pid, &host, &application))
            continue;
        if (!host.isEmpty() && host != QSysInfo::machineHostName())
            return QObject::tr("%1 on %2 (process %3)").arg(application, host).arg(pid);
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        const QString program = comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed()
                                                               : application;
        return program.isEmpty() ? QObject::tr("process %1").arg(pid)
                                 : QObject::tr("%1 (process %2)").arg(program).arg(pid);
    }
    return QString();
}

} // namespace

SerialDriver::SerialDriver(const QString& portName, QObject* parent)
    : QObject(parent)
    , name(portName)
{
}

SerialDriver::~SerialDriver()
{
    if (port && port->isOpen())
        port->close();
}

QString SerialDriver::errorString() const
{
    if (!lostReason.isEmpty())
        return lostReason;
    return port ? port->errorString() : QString();
}

QSerialPort::SerialPortError SerialDriver::error() const
{
    return port ? port->error() : QSerialPort::NoError;
}

bool SerialDriver::openPort()
{
    port = new QSerialPort(systemPortName(name), this);
    port->setBaudRate(QSerialPort::Baud57600);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (!port->open(QIODevice::ReadWrite)) {
        // A port locked by another program is reported as a permission error too.
        if (port->error() == QSerialPort::PermissionError)
            heldBy = findLockHolder(systemPortName(name));
        emit disconnected();
        return false;
    }
    // Bytes that waited in the line before this connection belong to no request of ours.
    port->clear(QSerialPort::Input);
    connect(port, &QSerialPort::aboutToClose, this, &SerialDriver::aboutToClose);
    connect(port, &QSerialPort::readyRead, this, &SerialDriver::readyRead);
    connect(port, &QSerialPort::errorOccurred, this, &SerialDriver::portError);
    emit connected();
    return true;
}

bool SerialDriver::writeMessage(const SerialMessage& message)
{
    if (!port || !port->isOpen())
        return false;
    const char* bytes = reinterpret_cast<const char*>(message.bytes);
    qint64 length = message.length;
    // A frame goes straight to the descriptor when nothing else waits to be written: the
    // system takes it whole. The port's buffered path would switch a write notifier on
    // and off for every frame, and each switch wakes the event loop. What the system does
    // not take, and any error, goes the buffered way, which reports errors as before.
    if (port->bytesToWrite() == 0) {
        const ssize_t written = ::write(port->handle(), bytes, size_t(length));
        if (written == length)
            return true;
        if (written > 0) {
            bytes += written;
            length -= written;
        }
    }
    port->write(bytes, length);
    // Hands the bytes to the system at once without waiting for them to leave: the
    // transmit tick already spaces the frames, and a wait would stall the event loop.
    // A write that fails loses the port, which is closed by then.
    port->flush();
    return port->isOpen();
}

void SerialDriver::readyRead()
{
    if (port->bytesAvailable() <= 0)
        return;
    parseData(port->readAll());
}

void SerialDriver::holdReads(bool hold)
{
    if (!port || !port->isOpen())
        return;
    if (!readNotifier) {
        for (QSocketNotifier* notifier : port->findChildren<QSocketNotifier*>()) {
            if (notifier->type() == QSocketNotifier::Read && notifier->socket() == port->handle())
                readNotifier = notifier;
        }
        if (!readNotifier)
            return;
    }
    readNotifier->setEnabled(!hold);
}

void SerialDriver::readWaiting()
{
    if (!port || !port->isOpen())
        return;
    // What the port took in before the hold comes first.
    if (port->bytesAvailable() > 0)
        parseData(port->readAll());
    if (!readNotifier || readNotifier->isEnabled())
        return;
    char bytes[4096];
    for (;;) {
        const ssize_t count = ::read(port->handle(), bytes, sizeof bytes);
        if (count > 0) {
            framer.feed(bytes, count, [this](const SerialMessage& frame) { emit messageReady(frame); });
            // A short read took all there was; asking again would cost a call that
            // finds nothing, on every tick. What comes meanwhile waits for the next one.
            if (count < ssize_t(sizeof bytes))
                return;
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        // The port reads no bytes rather than waiting for them (VMIN 0).
        if (count == 0 || errno == EAGAIN || errno == EWOULDBLOCK)
            return;
        // A hung-up pseudo-terminal or a removed adapter: lost, as the port reports it.
        losePort(qt_error_string(errno));
        return;
    }
}

void SerialDriver::parseData(const QByteArray& data)
{
    framer.feed(data.constData(), data.size(), [this](const SerialMessage& frame) { emit messageReady(frame); });
}

void SerialDriver::aboutToClose()
{
    qCDebug(serialLog) << "SerialDriver::aboutToClose()";
    emit disconnected();
}

void SerialDriver::testTimer()
{
    if (!port)
        return;
    CANMessage test;
    test.type = 0x20;
    test.dest = 1;
    test.dataLength = 8;
    for (unsigned char i = 0; i < 8; ++i)
        test.data[i] = i;
    SerialMessage(test).write(*port);
}

void SerialDriver::portError(QSerialPort::SerialPortError error)
{
    // A hung-up or removed device reports its error again at once for as long as the
    // port stays open, so close it at the first report.
    const bool lost = error == QSerialPort::ReadError || error == QSerialPort::WriteError
        || error == QSerialPort::ResourceError;
    if (!lost || !port->isOpen())
        return;
    losePort(port->errorString());
}

void SerialDriver::losePort(const QString& systemMessage)
{
    lostReason = QObject::tr("Likely cause: %1.\nSystem message: %2")
                     .arg(likelyLossCause(systemPortName(name)), systemMessage);
    readNotifier = nullptr;
    port->close();
    emit portLost(lostReason);
}
