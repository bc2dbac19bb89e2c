#pragma once

#include "protocol/Framer.h"
#include "protocol/SerialMessage.h"

#include <QObject>
#include <QPointer>
#include <QSerialPort>
#include <QString>

class QSocketNotifier;

// Owns the serial port of one connection: opens it at 57600 baud 8N1, cuts the
// received bytes into frames and writes outgoing frames.
class SerialDriver : public QObject
{
    Q_OBJECT

public:
    SerialDriver(const QString& portName, QObject* parent);
    ~SerialDriver() override;

    QString portName() const { return name; }
    // Why the port failed to open, in the system's words; after a loss, the likely cause
    // in plain words followed by the system's.
    QString errorString() const;
    QSerialPort::SerialPortError error() const;
    // Who holds the port's lock when it could not be opened for that reason: "NAME
    // (process PID)" as far as the lock file and the system tell; empty otherwise.
    QString lockHolder() const { return heldBy; }
    // Received bytes dropped because they began no frame: noise on the line.
    qint64 skippedBytes() const { return framer.skipped(); }

    // Held, the port does not wake the event loop for each reply: the owner takes what
    // came with readWaiting() on a tick of its own. Released, bytes are reported as they
    // come. Holding needs the port's own read notifier; where it cannot be found, bytes
    // are reported as they come all the same.
    void holdReads(bool hold);
    // Cuts into frames every byte waiting; a read error loses the port as usual.
    void readWaiting();

signals:
    void messageReady(const SerialMessage& message);
    void connected();
    void disconnected();
    // The open port failed (device removed, far end hung up); the port is closed already.
    // The reason names the likely cause in plain words, then the system's own text.
    void portLost(const QString& reason);

public slots:
    // False when the frame did not reach the system: no port, or the write failed.
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
    void losePort(const QString& systemMessage);

    QString name;
    QSerialPort* port = nullptr;
    Framer framer;
    QString lostReason;
    QString heldBy;
    QPointer<QSocketNotifier> readNotifier;
};
