#pragma once

#include "core/BoardMirror.h"
#include "core/LinkHealth.h"
#include "core/MotorSamples.h"
#include "core/ReplyTracker.h"
#include "core/TransmitQueue.h"
#include "protocol/CANMessage.h"
#include "protocol/SerialMessage.h"
#include "protocol/SharedVariables.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QVector>

#include <array>

class QTimer;
class SerialDriver;
struct RobotCommand;

// The link to the boards on one serial line: the port while connected, the ticks that
// send the transmit queue's frames and poll the selected board, and the live samples of
// its motors. The queue, the reply tracker and the board mirror keep their own rules;
// this is the one face the window, the command line and the tests drive. It reports by
// signals.
class DriveLink : public QObject
{
    Q_OBJECT

public:
    static constexpr int TransmitIntervalMs = 10;
    static constexpr int PollIntervalMs = 50;
    // Beyond this many waiting frames the polling tick asks for nothing, so that a slow
    // or stalled line cannot make the queue grow without end; it asks again later.
    static constexpr int PollingQueueBound = 64;
    static constexpr int ReplyDeadlineMs = ReplyTracker::ReplyDeadlineMs;
    static constexpr int SilenceMs = ReplyTracker::SilenceMs;

    explicit DriveLink(QObject* parent = nullptr);
    ~DriveLink() override;

    // Opens the port and starts polling; false when it cannot be opened, with
    // openFailure() saying why in words for the operator.
    bool open(const QString& portName);
    void close();
    bool isConnected() const { return driver != nullptr; }
    QString portName() const { return port; }
    QString openFailure() const { return failure; }
    // Why the last connection ended, in words for the operator; set before disconnected.
    QString closeReason() const { return closedBecause; }

    // The board (1 or 2) that requests and writes go to.
    void selectBoard(int address);
    int board() const { return boardAddress; }
    // A board as the operator knows it: "0x01", "0x02".
    static QString boardName(int address) { return QStringLiteral("0x%1").arg(address, 2, 16, QLatin1Char('0')); }

    // Writes a parameter of a motor encoded as the variable table stores it (floats as
    // single precision, integers cut to their width). Nothing is queued while
    // disconnected, nor a value that is not finite: the board would take it and could no
    // longer be saved. This and saveEeprom return the frame's number, as
    // queueRobotCommand does.
    qint64 writeParameter(SharedVariables::Index index, int motor, double value);
    qint64 saveEeprom();
    // Robot commands go to the robot, not to a board; dropped while disconnected. Returns
    // the frame's number in this connection's order of queued frames (0 when dropped): it
    // has left the queue once lastSentFrame() reaches that number.
    qint64 queueRobotCommand(const RobotCommand& command, const QVector<int>& values);
    // Takes every robot command still waiting off the queue, so nothing more reaches the
    // robot; the boards' frames stay. Returns how many were taken.
    int clearRobotCommands();
    // A frame for the selected board; dropped while disconnected.
    qint64 queueFrame(const CANMessage& message);
    // Asks the selected board for the WindowSize bytes at a block address (a multiple of
    // WindowSize); windowRead reports the answer.
    void requestWindow(int address);

    const SharedVariables::Block& mirror() const { return boardMirror.block(); }
    // Whether a variable's bytes in the mirror are the selected board's values (see BoardMirror).
    bool isCurrent(int motor, SharedVariables::Index index) const { return boardMirror.isCurrent(motor, index); }
    bool isLoopTimeCurrent() const { return boardMirror.isLoopTimeCurrent(); }
    // No reply has come from the selected board for SilenceMs while connected.
    bool isBoardSilent() const { return replies.isSilent(); }
    // The selected board has replied since Connect and the board switch, and is not silent.
    bool isBoardAnswering() const { return isConnected() && replies.hasAnswered() && !replies.isSilent(); }
    LinkHealth health() const;
    // The number of the newest frame handed to the port (see TransmitQueue::lastSent).
    qint64 lastSentFrame() const { return queue.lastSent(); }
    // The number of the request the newest read reply answered (see windowRead): a reply
    // to a request numbered after a write shows the board's value after that write.
    qint64 answeredRequest() const { return answeredNumber; }
    const MotorSamples& samples(int motor) const { return motorSamples[size_t(motor)]; }
    // How many samples each motor keeps: the graphs' time window. The newest that fit
    // are kept.
    void setSampleCapacity(int capacity);
    int sampleCapacity() const { return motorSamples[0].capacity(); }
    // The clock of the samples' times, in seconds.
    double clockSeconds() const { return clock.elapsed() / 1000.0; }
    // When the port was opened, on that clock: meaningful while connected.
    double connectedSeconds() const { return openedSeconds; }
    QList<SerialMessage> transmitQueue() const { return queue.frames(); }

    // The transmit tick: the oldest waiting frame goes on the line.
    void sendNextFrame();
    // The polling tick: one read window of the sweep and the three live value requests.
    void pollNextWindow();
    // One frame received from the line: replies fill the mirror, broadcasts the samples.
    void receiveFrame(const SerialMessage& frame);
    // The polling tick's look at the replies: those missing, and a board fallen silent.
    void watchReplies();

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
    // reported when a reply arrives (see BoardMirror::store).
    void variableChanged(int motor, SharedVariables::Index index);
    void loopTimeChanged();
    // A reply answered a read request that went on the line to board at address: its
    // bytes, now in the mirror, are that board's. A reply that answers no request (one
    // that waited in the line, or a board's own) fills the mirror but is not reported.
    void windowRead(int board, int address);
    // A variable became current for the selected board, or stopped being so (see isCurrent).
    void freshnessChanged(int motor, SharedVariables::Index index, bool current);
    void loopTimeFreshnessChanged(bool current);
    void boardSilenceChanged(bool silent);
    // The selected board answered the request that went as frame number request (see
    // lastSentFrame). A board answers in order: every frame before it has reached it.
    void boardAnswered(qint64 request);
    // One position broadcast was appended to the samples of every motor.
    void samplesAppended();
    void samplesCleared();
    void sampleCapacityChanged(int capacity);

private:
    void receiveLiveValues(const SerialMessage& frame);
    qint64 appendFrame(const SerialMessage& frame);
    void handlePortLost(const QString& reason);
    void closeBecause(const QString& reason);
    void noteReplyFromSelectedBoard(qint64 request);
    void takeReplies();
    void markGaps();
    void clearSamples();

    SerialDriver* driver = nullptr;
    QString port;
    QString failure;
    TransmitQueue queue;
    ReplyTracker replies;
    BoardMirror boardMirror;
    QTimer* transmitTimer = nullptr;
    QTimer* pollTimer = nullptr;
    int pollAddress = 0;
    int boardAddress = 1;
    qint64 answeredNumber = 0;
    qint64 framesReceived = 0;
    QString closedBecause;
    QElapsedTimer clock;
    double openedSeconds = 0;
    std::array<MotorSamples, SharedVariables::MotorCount> motorSamples;
    // Set-points and speeds received since the samples were cleared (Connect, a board
    // switch): until both came, a position broadcast would be paired with another
    // connection's or board's values, so it makes no sample.
    bool setPointsReceived = false;
    bool speedsReceived = false;
};
