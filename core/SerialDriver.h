#pragma once

#include "protocol/Framer.h"
#include "protocol/SerialMessage.h"

#include <QObject>
#include <QSerialPort>
#include <QString>

// Owns the serial port of one connection: opens it at 57600 baud 8N1, cuts the
// received bytes into frames and writes outgoing frames.
class SerialDriver : public QObject
{
    Q_OBJECT

public:
    SerialDriver(const QString& portName, QObject* parent);
    ~SerialDriver() override;

    QString portName() const { return name; }
    // Why the port failed to open or was lost, in the system's words.
    QString errorString() const;
    QSerialPort::SerialPortError error() const;

signals:
    void messageReady(const SerialMessage& message);
    void connected();
    void disconnected();
    // The open port failed (device removed, far end hung up); the port is closed already.
    void portLost(const QString& reason);

public slots:
    bool writeMessage(const SerialMessage& message);
    bool openPort();

protected slots:
    void readyRead();
    void aboutToClose();
    void testTimer();

private slots:
    void portError(QSerialPort::SerialPortError error);

private:
    void parseData(const QByteArray& data);

    QString name;
    QSerialPort* port = nullptr;
    Framer framer;
    QString lostReason;
};
