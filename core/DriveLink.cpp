#include "core/DriveLink.h"

#include "core/PortNames.h"
#include "core/SerialDriver.h"
#include "protocol/RobotCommand.h"

#include <QPointer>
#include <QTimer>
#include <QtEndian>

#include <algorithm>

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

} // namespace

DriveLink::DriveLink(QObject* parent)
    : QObject(parent)
{
    transmitTimer = new QTimer(this);
    transmitTimer->setInterval(TransmitIntervalMs);
    connect(transmitTimer, &QTimer::timeout, this, &DriveLink::sendNextFrame);
    pollTimer = new QTimer(this);
    pollTimer->setInterval(PollIntervalMs);
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
        failure += QStringLiteral(":\n") + opened->errorString();
#ifdef Q_OS_LINUX
        if (opened->error() == QSerialPort::PermissionError)
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
    pollTimer->start();
    emit connected();
    return true;
}

void DriveLink::close()
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
    emit disconnected();
}

void DriveLink::handlePortLost(const QString& reason)
{
    const QString lostPort = port;
    close();
    emit portLost(lostPort, reason);
}

void DriveLink::selectBoard(int address)
{
    boardAddress = address;
    for (MotorSamples& samples : motorSamples)
        samples.clear();
    emit boardSelected(address);
    emit samplesCleared();
}

void DriveLink::setSampleCapacity(int capacity)
{
    if (capacity < 1 || capacity == sampleCapacity())
        return;
    for (MotorSamples& samples : motorSamples)
        samples.setCapacity(capacity);
    emit sampleCapacityChanged(capacity);
}

void DriveLink::writeParameter(Index index, int motor, double value)
{
    const Variable& parameter = variable(index);
    const int at = address(motor, parameter.offset);
    if (parameter.type == Type::F32)
        queueFrame(variableWrite(at, boardAddress, static_cast<float>(value)));
    else if (parameter.type == Type::U8)
        queueFrame(variableWrite(at, boardAddress, static_cast<uint8_t>(static_cast<int>(value))));
    else
        queueFrame(variableWrite(at, boardAddress, static_cast<int16_t>(static_cast<int>(value))));
}

void DriveLink::saveEeprom()
{
    queueFrame(variableWrite(SaveEEPROMAddress, boardAddress, uint8_t(1)));
}

void DriveLink::queueRobotCommand(const RobotCommand& command, const QVector<int>& values)
{
    if (isConnected())
        appendFrame(command.frame(values));
}

void DriveLink::queueFrame(const CANMessage& message)
{
    if (isConnected())
        appendFrame(SerialMessage(message));
}

void DriveLink::appendFrame(const SerialMessage& frame)
{
    queue.append(frame);
    // The tick runs only while frames wait, so an idle line costs nothing.
    if (!transmitTimer->isActive())
        transmitTimer->start();
}

void DriveLink::sendNextFrame()
{
    if (queue.isEmpty() || !driver) {
        transmitTimer->stop();
        return;
    }
    const SerialMessage frame = queue.takeFirst();
    driver->writeMessage(frame);
    emit frameSent(frame);
    const unsigned char* bytes = frame.bytes;
    if (frame.length == SerialMessage::FrameSize && bytes[SerialMessage::Type] == SerialMessage::VariableType
        && (bytes[SerialMessage::BootRtrLength] & SerialMessage::RtrBit)) {
        outstanding.append({bytes[SerialMessage::Dest],
                            joinAddress(bytes[SerialMessage::Priority], bytes[SerialMessage::Cmd])});
        // A board that stopped answering must not make the list grow without end.
        if (outstanding.size() > PollingQueueBound)
            outstanding.removeFirst();
    }
    if (queue.isEmpty())
        transmitTimer->stop();
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
    emit frameReceived(frame);
    const unsigned char* bytes = frame.bytes;
    switch (bytes[SerialMessage::Type]) {
    case SerialMessage::VariableType: {
        // A reply may claim up to 15 data bytes or run past the block: only what lies
        // inside both the frame's 8 data bytes and the mirror is taken.
        const int dataLength = bytes[SerialMessage::BootRtrLength] & SerialMessage::DataLengthMask;
        const int at = joinAddress(bytes[SerialMessage::Priority], bytes[SerialMessage::Cmd]);
        storeBytes(at, bytes + SerialMessage::Data, std::min(dataLength, 8), true);
        matchReply(at);
        break;
    }
    case SerialMessage::LiveValueType:
        receiveLiveValues(frame);
        break;
    default:
        break;
    }
}

void DriveLink::matchReply(int address)
{
    for (int i = 0; i < outstanding.size(); ++i) {
        if (outstanding[i].address != address)
            continue;
        const Request answered = outstanding[i];
        outstanding.erase(outstanding.begin(), outstanding.begin() + i + 1);
        emit windowRead(answered.board, answered.address);
        return;
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
    for (int motor = 0; motor < MotorCount; ++motor)
        storeBytes(address(motor, target), bytes + SerialMessage::Data + 2 * motor, 2, false);
    if (cmd != SerialMessage::LivePositions)
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
