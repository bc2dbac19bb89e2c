#include "core/SerialDriver.h"

#include "protocol/CANMessage.h"
#include "core/PortNames.h"

#include <QFileInfo>
#include <QLoggingCategory>

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
    message.write(*port);
    // Hands the bytes to the system at once without waiting for them to leave: the
    // transmit tick already spaces the frames, and a wait would stall the event loop.
    port->flush();
    return true;
}

void SerialDriver::readyRead()
{
    if (port->bytesAvailable() <= 0)
        return;
    parseData(port->readAll());
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
    lostReason = QObject::tr("Likely cause: %1.\nSystem message: %2")
                     .arg(likelyLossCause(systemPortName(name)), port->errorString());
    port->close();
    emit portLost(lostReason);
}
