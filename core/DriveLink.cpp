#include "core/DriveLink.h"

#include "core/PortNames.h"
#include "core/SerialDriver.h"
#include "protocol/RobotCommand.h"

#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <optional>

using namespace SharedVariables;

namespace {

// A write of count bytes of an encoded block, at their address in it.
CANMessage variableWrite(const Block& encoded, int address, int count, int board)
{
    CANMessage message;
    message.priority = priorityOf(address);
    message.type = SerialMessage::VariableType;
    message.cmd = cmdOf(address);
    message.dest = uint8_t(board);
    message.dataLength = uint8_t(count);
    std::copy_n(encoded.data() + address, count, message.data);
    return message;
}

} // namespace

DriveLink::DriveLink(QObject* parent)
    : QObject(parent)
{
    transmitTimer = new QTimer(this);
    transmitTimer->setInterval(TransmitIntervalMs);
    connect(transmitTimer, &QTimer::timeout, this, &DriveLink::sendNextFrame);
    pollTimer = new QTimer(this);
    pollTimer->setInterval(PollIntervalMs);
    // Replies are taken on the ticks, which run all the while a port is open, not as each
    // comes: a wake-up of the event loop for each reply cost more than the rest of it.
    connect(pollTimer, &QTimer::timeout, this, &DriveLink::takeReplies);
    connect(pollTimer, &QTimer::timeout, this, &DriveLink::watchReplies);
    connect(pollTimer, &QTimer::timeout, this, &DriveLink::pollNextWindow);
    connect(&boardMirror, &BoardMirror::variableChanged, this, &DriveLink::variableChanged);
    connect(&boardMirror, &BoardMirror::loopTimeChanged, this, &DriveLink::loopTimeChanged);
    connect(&boardMirror, &BoardMirror::freshnessChanged, this, &DriveLink::freshnessChanged);
    connect(&boardMirror, &BoardMirror::loopTimeFreshnessChanged, this, &DriveLink::loopTimeFreshnessChanged);
    clock.start();
}

DriveLink::~DriveLink() = default;

bool DriveLink::open(const QString& portName)
{
    close();
    auto* opened = new SerialDriver(portName, this);
    if (!opened->openPort()) {
        const QString device = systemPortName(portName);
        failure = tr("Could not open the port %1").arg(portName);
        if (device != portName)
            failure += QStringLiteral(" (%1)").arg(device);
        failure += QStringLiteral(":\n");
        if (!opened->lockHolder().isEmpty())
            failure += tr("The port is in use by %1. Disconnect it there or end that program, then try again.")
                           .arg(opened->lockHolder());
        else
            failure += opened->errorString();
#ifdef Q_OS_LINUX
        if (opened->error() == QSerialPort::PermissionError && opened->lockHolder().isEmpty())
            failure += tr("\n\nTo use serial ports, your user must be in the \"dialout\" group "
                          "(sudo adduser $USER dialout, then log in again).");
#endif
        delete opened;
        return false;
    }
    driver = opened;
    port = portName;
    failure.clear();
    connect(driver, &SerialDriver::messageReady, this, &DriveLink::receiveFrame);
    driver->holdReads(true);
    // Queued, so the driver has finished its own signal before the link destroys it;
    // a report from a driver that has been replaced since is stale.
    connect(
        driver, &SerialDriver::portLost, this,
        [this, reporter = QPointer<SerialDriver>(driver)](const QString& reason) {
            if (reporter && reporter == driver)
                handlePortLost(reason);
        },
        Qt::QueuedConnection);
    pollAddress = 0;
    queue.restart();
    framesReceived = 0;
    closedBecause.clear();
    // What an earlier connection read may not be this one's.
    boardMirror.forgetReads();
    replies.startConnection(clock.elapsed());
    openedSeconds = clockSeconds();
    clearSamples();
    emit samplesCleared();
    pollTimer->start();
    emit connected();
    return true;
}

void DriveLink::close()
{
    closeBecause(tr("the connection was closed"));
}

void DriveLink::closeBecause(const QString& reason)
{
    if (!driver)
        return;
    delete driver;
    driver = nullptr;
    queue.clear();
    const bool silenceEnded = replies.forgetRequests();
    transmitTimer->stop();
    pollTimer->stop();
    pollAddress = 0;
    markGaps();
    closedBecause = reason;
    if (silenceEnded)
        emit boardSilenceChanged(false);
    emit disconnected();
}

void DriveLink::handlePortLost(const QString& reason)
{
    const QString lostPort = port;
    closeBecause(tr("the connection on %1 was lost").arg(lostPort));
    emit portLost(lostPort, reason);
}

void DriveLink::clearSamples()
{
    for (MotorSamples& samples : motorSamples)
        samples.clear();
    setPointsReceived = speedsReceived = false;
}

void DriveLink::selectBoard(int address)
{
    boardAddress = address;
    clearSamples();
    boardMirror.forgetReads();
    if (replies.restartQuiet(clock.elapsed()))
        emit boardSilenceChanged(false);
    emit boardSelected(address);
    emit samplesCleared();
}

void DriveLink::markGaps()
{
    for (MotorSamples& samples : motorSamples)
        samples.markGap();
}

void DriveLink::setSampleCapacity(int capacity)
{
    if (capacity < 1 || capacity == sampleCapacity())
        return;
    for (MotorSamples& samples : motorSamples)
        samples.setCapacity(capacity);
    emit sampleCapacityChanged(capacity);
}

qint64 DriveLink::writeParameter(Index index, int motor, double value)
{
    if (!std::isfinite(value))
        return 0;
    const Variable& parameter = variable(index);
    Block encoded;
    encoded.setValue(motor, parameter, value);
    return queueFrame(variableWrite(encoded, address(motor, index), width(parameter.type), boardAddress));
}

qint64 DriveLink::saveEeprom()
{
    Block encoded;
    encoded.setU8(SaveEEPROMAddress, 1);
    return queueFrame(variableWrite(encoded, SaveEEPROMAddress, 1, boardAddress));
}

qint64 DriveLink::queueRobotCommand(const RobotCommand& command, const QVector<int>& values)
{
    return isConnected() ? appendFrame(command.frame(values)) : 0;
}

int DriveLink::clearRobotCommands()
{
    const int taken = queue.removeRobotCommands();
    if (queue.isEmpty())
        transmitTimer->stop();
    return taken;
}

qint64 DriveLink::queueFrame(const CANMessage& message)
{
    return isConnected() ? appendFrame(SerialMessage(message)) : 0;
}

qint64 DriveLink::appendFrame(const SerialMessage& frame)
{
    const qint64 number = queue.append(frame);
    // The tick runs only while frames wait, so an idle line costs nothing.
    if (!transmitTimer->isActive())
        transmitTimer->start();
    return number;
}

void DriveLink::sendNextFrame()
{
    // The replies that came since the last tick are taken before the next request leaves.
    takeReplies();
    if (queue.isEmpty() || !driver) {
        transmitTimer->stop();
        return;
    }
    const TransmitQueue::Entry queued = queue.takeFirst();
    // A frame the port failed to take never left: it is not counted as sent, and the
    // loss of the port that follows ends the connection.
    if (!driver->writeMessage(queued.frame))
        return;
    queue.markSent(queued.number);
    emit frameSent(queued.frame);
    replies.noteSent(queued.frame, queued.number, clock.elapsed());
    if (queue.isEmpty())
        transmitTimer->stop();
}

void DriveLink::takeReplies()
{
    if (driver)
        driver->readWaiting();
}

void DriveLink::requestWindow(int address)
{
    CANMessage read;
    read.priority = priorityOf(address);
    read.type = SerialMessage::VariableType;
    read.cmd = cmdOf(address);
    read.dest = uint8_t(boardAddress);
    read.rtr = true;
    read.readWrite = true;
    read.dataLength = 8;
    queueFrame(read);
}

void DriveLink::pollNextWindow()
{
    if (!isConnected() || queue.size() > PollingQueueBound)
        return;

    requestWindow(pollAddress);

    pollAddress += WindowSize;
    if (pollAddress > BlockSize - 1)
        pollAddress = 0;

    for (unsigned char cmd : {SerialMessage::LivePositions, SerialMessage::LiveSetPoints, SerialMessage::LiveSpeeds}) {
        CANMessage live;
        live.type = SerialMessage::LiveValueType;
        live.cmd = cmd;
        live.dest = uint8_t(boardAddress);
        live.rtr = true;
        live.readWrite = true;
        live.eepromRam = true;
        live.dataLength = 8;
        queueFrame(live);
    }
}

void DriveLink::receiveFrame(const SerialMessage& frame)
{
    ++framesReceived;
    emit frameReceived(frame);
    const unsigned char* bytes = frame.bytes;
    switch (bytes[SerialMessage::Type]) {
    case SerialMessage::VariableType: {
        // A reply may claim up to 15 data bytes or run past the block: only what lies
        // inside both the frame's 8 data bytes and the mirror is taken.
        const int dataLength = bytes[SerialMessage::BootRtrLength] & SerialMessage::DataLengthMask;
        const int at = joinAddress(bytes[SerialMessage::Priority], bytes[SerialMessage::Cmd]);
        const std::optional<ReplyTracker::Request> answered = replies.match(at);
        const bool fromSelected = answered && answered->board == boardAddress;
        boardMirror.store(at, bytes + SerialMessage::Data, std::min(dataLength, 8), fromSelected, true);
        if (fromSelected)
            noteReplyFromSelectedBoard(answered->number);
        if (answered) {
            answeredNumber = answered->number;
            emit windowRead(answered->board, answered->key);
        }
        break;
    }
    case SerialMessage::LiveValueType:
        receiveLiveValues(frame);
        break;
    default:
        break;
    }
}

void DriveLink::noteReplyFromSelectedBoard(qint64 request)
{
    if (replies.noteAnswer(clock.elapsed()))
        emit boardSilenceChanged(false);
    emit boardAnswered(request);
}

void DriveLink::watchReplies()
{
    if (!isConnected() || !replies.checkDeadlines(clock.elapsed()))
        return;
    markGaps();
    boardMirror.forgetReads();
    emit boardSilenceChanged(true);
}

LinkHealth DriveLink::health() const
{
    LinkHealth health;
    health.framesSent = queue.sentCount();
    health.framesReceived = framesReceived;
    health.repliesMissing = replies.repliesMissing();
    health.bytesSkipped = driver ? driver->skippedBytes() : 0;
    health.queueLength = queue.size();
    health.msSinceReply = replies.msSinceReply(clock.elapsed());
    return health;
}

void DriveLink::receiveLiveValues(const SerialMessage& frame)
{
    const unsigned char* bytes = frame.bytes;
    const int dataLength = bytes[SerialMessage::BootRtrLength] & SerialMessage::DataLengthMask;
    const unsigned char cmd = bytes[SerialMessage::Cmd];
    if (dataLength != 8 || cmd < SerialMessage::LivePositions || cmd > SerialMessage::LiveSetPoints)
        return;
    const Index target = cmd == SerialMessage::LivePositions ? Position
        : cmd == SerialMessage::LiveSpeeds                  ? Speed
                                                            : SetPoint;
    const std::optional<ReplyTracker::Request> answered = replies.match(ReplyTracker::LiveValueKey + cmd);
    const bool fromSelected = answered && answered->board == boardAddress;
    for (int motor = 0; motor < MotorCount; ++motor)
        boardMirror.store(address(motor, target), bytes + SerialMessage::Data + 2 * motor, 2, fromSelected, false);
    if (fromSelected)
        noteReplyFromSelectedBoard(answered->number);
    if (!answered || fromSelected) {
        setPointsReceived |= cmd == SerialMessage::LiveSetPoints;
        speedsReceived |= cmd == SerialMessage::LiveSpeeds;
    }
    if (cmd != SerialMessage::LivePositions || !setPointsReceived || !speedsReceived)
        return;
    const double seconds = clockSeconds();
    const Block& block = boardMirror.block();
    for (int motor = 0; motor < MotorCount; ++motor) {
        motorSamples[size_t(motor)].append(seconds, block.s16(address(motor, Position)),
                                           block.s16(address(motor, SetPoint)),
                                           block.s16(address(motor, Speed)));
    }
    emit samplesAppended();
}
