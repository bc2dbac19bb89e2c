#pragma once

#include "core/MotorSamples.h"
#include "protocol/CANMessage.h"
#include "protocol/SerialMessage.h"
#include "protocol/SharedVariables.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QVector>

#include <array>
#include <bitset>

class QTimer;
class SerialDriver;
struct RobotCommand;

// The link to the boards on one serial line: the port while connected, the transmit
// queue and its tick, the polling cycle, the mirror of the selected board's variable
// block and the live samples of its motors. It reports by signals; the window, the
// command line and the tests all drive it.
class DriveLink : public QObject
{
    Q_OBJECT

public:
    static constexpr int TransmitIntervalMs = 10;
    static constexpr int PollIntervalMs = 50;
    // Beyond this many waiting frames the polling tick asks for nothing, so that a slow
    // or stalled line cannot make the queue grow without end; it asks again later.
    static constexpr int PollingQueueBound = 64;

    explicit DriveLink(QObject* parent = nullptr);
    ~DriveLink() override;

    // Opens the port and starts polling; false when it cannot be opened, with
    // openFailure() saying why in words for the operator.
    bool open(const QString& portName);
    void close();
    bool isConnected() const { return driver != nullptr; }
    QString portName() const { return port; }
    QString openFailure() const { return failure; }

    // The board (1 or 2) that requests and writes go to.
    void selectBoard(int address);
    int board() const { return boardAddress; }

    // Writes a parameter of a motor with its variable's width; floats as single precision,
    // integers cut to their low 8 or 16 bits. Nothing is queued while disconnected.
    void writeParameter(SharedVariables::Index index, int motor, double value);
    void saveEeprom();
    // Robot commands go to the robot, not to a board; dropped while disconnected.
    void queueRobotCommand(const RobotCommand& command, const QVector<int>& values);
    // A frame for the selected board; dropped while disconnected.
    void queueFrame(const CANMessage& message);
    // Asks the selected board for the WindowSize bytes at a block address (a multiple of
    // WindowSize); windowRead reports the answer.
    void requestWindow(int address);

    const SharedVariables::Block& mirror() const { return block; }
    const MotorSamples& samples(int motor) const { return motorSamples[size_t(motor)]; }
    // How many samples each motor keeps: the graphs' time window. The newest that fit
    // are kept.
    void setSampleCapacity(int capacity);
    int sampleCapacity() const { return motorSamples[0].capacity(); }
    // The clock of the samples' times, in seconds.
    double clockSeconds() const { return clock.elapsed() / 1000.0; }
    const QList<SerialMessage>& transmitQueue() const { return queue; }
    // The next read window of the polling sweep, a block address.
    int nextPollAddress() const { return pollAddress; }

    // The transmit tick: the oldest waiting frame goes on the line.
    void sendNextFrame();
    // The polling tick: one read window of the sweep and the three live value requests.
    void pollNextWindow();
    // One frame received from the line: replies fill the mirror, broadcasts the samples.
    void receiveFrame(const SerialMessage& frame);

signals:
    void connected();
    void disconnected();
    // The open port failed (device removed, far end hung up); the link is closed already.
    void portLost(const QString& port, const QString& reason);
    void boardSelected(int address);
    // Every frame as it is handed to the port, and as it comes from the framer.
    void frameSent(const SerialMessage& frame);
    void frameReceived(const SerialMessage& frame);
    // The bytes of a variable changed in the mirror, or it was read for the first time;
    // reported when a reply arrives (see storeBytes).
    void variableChanged(int motor, SharedVariables::Index index);
    void loopTimeChanged();
    // A reply answered a read request that went on the line to board at address: its
    // bytes, now in the mirror, are that board's. A reply that answers no request (one
    // that waited in the line, or a board's own) fills the mirror but is not reported.
    void windowRead(int board, int address);
    // One position broadcast was appended to the samples of every motor.
    void samplesAppended();
    void samplesCleared();
    void sampleCapacityChanged(int capacity);

private:
    // Stores bytes into the mirror. A reply reports its changed variables at once, with
    // those the live values changed since; live values alone report nothing, so the
    // fields are redrawn once per reply rather than once per broadcast.
    void storeBytes(int address, const uint8_t* bytes, int count, bool report);
    void receiveLiveValues(const SerialMessage& frame);
    void appendFrame(const SerialMessage& frame);
    void handlePortLost(const QString& reason);
    void matchReply(int address);

    SerialDriver* driver = nullptr;
    QString port;
    QString failure;
    QList<SerialMessage> queue;
    struct Request
    {
        int board;
        int address;
    };
    // Read requests sent and not yet answered, oldest first. A board answers in order,
    // so a reply answers the oldest request for its address and any older request is
    // no longer answered.
    QList<Request> outstanding;
    QTimer* transmitTimer = nullptr;
    QTimer* pollTimer = nullptr;
    int pollAddress = 0;
    int boardAddress = 1;
    SharedVariables::Block block;
    // Bytes of the mirror that a reply has filled: a variable is shown once it is known,
    // even when its value equals the mirror's initial zero.
    std::bitset<SharedVariables::BlockSize> knownBytes;
    std::bitset<SharedVariables::MotorCount * SharedVariables::VariableCount> unreported;
    QElapsedTimer clock;
    std::array<MotorSamples, SharedVariables::MotorCount> motorSamples;
};
