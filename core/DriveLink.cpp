#include "core/DriveLink.h"

#include "core/PortNames.h"
#include "core/SerialDriver.h"
#include "protocol/RobotCommand.h"

#include <QPointer>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <cmath>

using namespace SharedVariables;

namespace {

template <typename Value>
CANMessage variableWrite(int address, int board, Value value)
{
    CANMessage message;
    message.priority = priorityOf(address);
    message.type = SerialMessage::VariableType;
    message.cmd = cmdOf(address);
    message.dest = uint8_t(board);
    message.dataLength = sizeof value;
    qToLittleEndian(value, message.data);
    return message;
}

// Which motor variable each byte of the block belongs to (VariableCount for none).
struct ByteOwners
{
    ByteOwners()
    {
        std::fill(std::begin(index), std::end(index), VariableCount);
        for (int motor = 0; motor < MotorCount; ++motor) {
            for (int i = 0; i < VariableCount; ++i) {
                const Variable& v = motorVariables()[size_t(i)];
                for (int b = 0; b < width(v.type); ++b)
                    index[address(motor, v.offset) + b] = Index(i);
            }
        }
    }
    Index index[BlockSize];
};

const ByteOwners& byteOwners()
{
    static const ByteOwners owners;
    return owners;
}

// Live value requests are matched like window reads, under keys beyond the block's
// 11-bit addresses.
constexpr int LiveValueKey = 0x800;

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
    framesQueued = framesSent = lastSentNumber = framesReceived = repliesMissing = 0;
    closedBecause.clear();
    // What an earlier connection read may not be this one's.
    forgetReads();
    silent = false;
    lastReplyMs = -1;
    quietSinceMs = clock.elapsed();
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
    outstanding.clear();
    transmitTimer->stop();
    pollTimer->stop();
    pollAddress = 0;
    markGaps();
    closedBecause = reason;
    if (silent) {
        silent = false;
        emit boardSilenceChanged(false);
    }
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
    forgetReads();
    // The new board gets its own SilenceMs to answer.
    lastReplyMs = -1;
    quietSinceMs = clock.elapsed();
    if (silent) {
        silent = false;
        emit boardSilenceChanged(false);
    }
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
    const int at = address(motor, parameter.offset);
    if (parameter.type == Type::F32)
        return queueFrame(variableWrite(at, boardAddress, static_cast<float>(value)));
    if (parameter.type == Type::U8)
        return queueFrame(variableWrite(at, boardAddress, static_cast<uint8_t>(static_cast<int>(value))));
    return queueFrame(variableWrite(at, boardAddress, static_cast<int16_t>(static_cast<int>(value))));
}

qint64 DriveLink::saveEeprom()
{
    return queueFrame(variableWrite(SaveEEPROMAddress, boardAddress, uint8_t(1)));
}

qint64 DriveLink::queueRobotCommand(const RobotCommand& command, const QVector<int>& values)
{
    return isConnected() ? appendFrame(command.frame(values)) : 0;
}

int DriveLink::clearRobotCommands()
{
    const int before = queue.size();
    queue.erase(std::remove_if(queue.begin(), queue.end(),
                               [](const QueuedFrame& queued) { return queued.frame.length != SerialMessage::FrameSize; }),
                queue.end());
    if (queue.isEmpty())
        transmitTimer->stop();
    return before - queue.size();
}

qint64 DriveLink::queueFrame(const CANMessage& message)
{
    return isConnected() ? appendFrame(SerialMessage(message)) : 0;
}

qint64 DriveLink::appendFrame(const SerialMessage& frame)
{
    queue.append({frame, ++framesQueued});
    // The tick runs only while frames wait, so an idle line costs nothing.
    if (!transmitTimer->isActive())
        transmitTimer->start();
    return framesQueued;
}

QList<SerialMessage> DriveLink::transmitQueue() const
{
    QList<SerialMessage> frames;
    frames.reserve(queue.size());
    for (const QueuedFrame& queued : queue)
        frames.append(queued.frame);
    return frames;
}

void DriveLink::sendNextFrame()
{
    // The replies that came since the last tick are taken before the next request leaves.
    takeReplies();
    if (queue.isEmpty() || !driver) {
        transmitTimer->stop();
        return;
    }
    const QueuedFrame queued = queue.takeFirst();
    const SerialMessage& frame = queued.frame;
    // A frame the port failed to take never left: it is not counted as sent, and the
    // loss of the port that follows ends the connection.
    if (!driver->writeMessage(frame))
        return;
    ++framesSent;
    lastSentNumber = queued.number;
    emit frameSent(frame);
    const unsigned char* bytes = frame.bytes;
    if (frame.length == SerialMessage::FrameSize && (bytes[SerialMessage::BootRtrLength] & SerialMessage::RtrBit)) {
        const unsigned char type = bytes[SerialMessage::Type];
        if (type == SerialMessage::VariableType || type == SerialMessage::LiveValueType) {
            const int key = type == SerialMessage::VariableType
                ? joinAddress(bytes[SerialMessage::Priority], bytes[SerialMessage::Cmd])
                : LiveValueKey + bytes[SerialMessage::Cmd];
            outstanding.append({bytes[SerialMessage::Dest], key, queued.number, clock.elapsed(), false});
        }
        // A board that stopped answering must not make the list grow without end.
        if (outstanding.size() > PollingQueueBound) {
            repliesMissing += !outstanding.first().late;
            outstanding.removeFirst();
        }
    }
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
        const int count = std::min(dataLength, 8);
        storeBytes(at, bytes + SerialMessage::Data, count, true);
        Request answered{};
        const bool asked = matchReply(at, answered);
        const bool fromSelected = asked && answered.board == boardAddress;
        markRead(at, count, fromSelected);
        if (fromSelected)
            noteReplyFromSelectedBoard(answered.number);
        if (asked) {
            answeredNumber = answered.number;
            emit windowRead(answered.board, answered.key);
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

bool DriveLink::matchReply(int key, Request& answered)
{
    for (int i = 0; i < outstanding.size(); ++i) {
        if (outstanding[i].key != key)
            continue;
        answered = outstanding[i];
        // The requests it overtook will not be answered.
        for (int j = 0; j < i; ++j)
            repliesMissing += !outstanding[j].late;
        outstanding.erase(outstanding.begin(), outstanding.begin() + i + 1);
        return true;
    }
    return false;
}

void DriveLink::noteReplyFromSelectedBoard(qint64 request)
{
    lastReplyMs = quietSinceMs = clock.elapsed();
    if (silent) {
        silent = false;
        emit boardSilenceChanged(false);
    }
    emit boardAnswered(request);
}

void DriveLink::watchReplies()
{
    if (!isConnected())
        return;
    const qint64 now = clock.elapsed();
    for (Request& request : outstanding) {
        if (!request.late && now - request.sentMs > ReplyDeadlineMs) {
            request.late = true;
            ++repliesMissing;
        }
    }
    // Replies that came while the tool itself was held up wait to be read; the event
    // loop reads them before the next tick, so only a second quiet tick counts.
    const bool quiet = now - quietSinceMs >= SilenceMs;
    const bool confirmed = quiet && silenceSuspected;
    silenceSuspected = quiet;
    if (!silent && confirmed) {
        silent = true;
        markGaps();
        forgetReads();
        emit boardSilenceChanged(true);
    }
}

bool DriveLink::isCurrent(int motor, Index index) const
{
    return currentVariables[size_t(motor * VariableCount + index)];
}

bool DriveLink::isLoopTimeCurrent() const
{
    return loopTimeCurrent;
}

LinkHealth DriveLink::health() const
{
    LinkHealth health;
    health.framesSent = framesSent;
    health.framesReceived = framesReceived;
    health.repliesMissing = repliesMissing;
    health.bytesSkipped = driver ? driver->skippedBytes() : 0;
    health.queueLength = queue.size();
    health.msSinceReply = lastReplyMs < 0 ? -1 : clock.elapsed() - lastReplyMs;
    return health;
}

void DriveLink::markRead(int at, int count, bool current)
{
    if (at < 0 || at >= BlockSize || count <= 0)
        return;
    count = std::min(count, BlockSize - at);
    for (int b = at; b < at + count; ++b)
        currentBytes[size_t(b)] = current;
    Index previous = VariableCount;
    for (int b = at; b < std::min(at + count, MotorCount * MotorRecordSize); ++b) {
        const Index owner = byteOwners().index[b];
        if (owner != VariableCount && owner != previous)
            updateCurrency(b / MotorRecordSize, owner);
        previous = owner;
    }
    if (at < LoopTimeAddress + 2 && at + count > LoopTimeAddress)
        updateLoopTimeCurrency();
}

void DriveLink::updateCurrency(int motor, Index index)
{
    const int first = address(motor, index);
    bool current = true;
    for (int b = first; b < first + width(variable(index).type); ++b)
        current = current && currentBytes[size_t(b)];
    const size_t bit = size_t(motor * VariableCount + index);
    if (currentVariables[bit] == current)
        return;
    currentVariables[bit] = current;
    emit currencyChanged(motor, index, current);
}

void DriveLink::updateLoopTimeCurrency()
{
    const bool current = currentBytes[LoopTimeAddress] && currentBytes[LoopTimeAddress + 1];
    if (loopTimeCurrent == current)
        return;
    loopTimeCurrent = current;
    emit loopTimeCurrencyChanged(current);
}

void DriveLink::forgetReads()
{
    currentBytes.reset();
    for (size_t bit = 0; bit < currentVariables.size(); ++bit) {
        if (currentVariables[bit]) {
            currentVariables[bit] = false;
            emit currencyChanged(int(bit) / VariableCount, Index(int(bit) % VariableCount), false);
        }
    }
    if (loopTimeCurrent) {
        loopTimeCurrent = false;
        emit loopTimeCurrencyChanged(false);
    }
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
    Request answered{};
    const bool matched = matchReply(LiveValueKey + cmd, answered);
    const bool fromSelected = matched && answered.board == boardAddress;
    for (int motor = 0; motor < MotorCount; ++motor) {
        storeBytes(address(motor, target), bytes + SerialMessage::Data + 2 * motor, 2, false);
        markRead(address(motor, target), 2, fromSelected);
    }
    if (fromSelected)
        noteReplyFromSelectedBoard(answered.number);
    if (!matched || fromSelected) {
        setPointsReceived |= cmd == SerialMessage::LiveSetPoints;
        speedsReceived |= cmd == SerialMessage::LiveSpeeds;
    }
    if (cmd != SerialMessage::LivePositions || !setPointsReceived || !speedsReceived)
        return;
    const double seconds = clockSeconds();
    for (int motor = 0; motor < MotorCount; ++motor) {
        motorSamples[size_t(motor)].append(seconds, block.s16(address(motor, Position)),
                                           block.s16(address(motor, SetPoint)),
                                           block.s16(address(motor, Speed)));
    }
    emit samplesAppended();
}

void DriveLink::storeBytes(int at, const uint8_t* bytes, int count, bool report)
{
    if (at < 0 || at >= BlockSize || count <= 0)
        return;
    count = std::min(count, BlockSize - at);
    bool loopTime = false;
    for (int i = 0; i < count; ++i) {
        const int b = at + i;
        if (block.data()[b] == bytes[i] && knownBytes[size_t(b)])
            continue;
        block.data()[b] = bytes[i];
        knownBytes[size_t(b)] = true;
        if (b >= MotorCount * MotorRecordSize) {
            loopTime = loopTime || b == LoopTimeAddress || b == LoopTimeAddress + 1;
            continue;
        }
        const Index owner = byteOwners().index[b];
        if (owner != VariableCount)
            unreported.set(size_t((b / MotorRecordSize) * VariableCount + owner));
    }
    if (!report)
        return;
    // Reported after all bytes are in, so a variable is never read half written.
    if (unreported.any()) {
        for (size_t bit = 0; bit < unreported.size(); ++bit) {
            if (unreported[bit])
                emit variableChanged(int(bit) / VariableCount, Index(int(bit) % VariableCount));
        }
        unreported.reset();
    }
    if (loopTime)
        emit loopTimeChanged();
}
