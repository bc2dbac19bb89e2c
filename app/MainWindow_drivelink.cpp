// Drive link: the transmit queue, the polling cycle and the receive dispatch.
#include "app/MainWindow.h"

#include "drive/DriveView.h"
#include "link/SerialDriver.h"

#include <QLineEdit>
#include <QtEndian>

#include <algorithm>

using namespace SharedVariables;

namespace {

// Beyond this many waiting frames the polling tick asks for nothing, so that a slow
// or stalled line cannot make the queue grow without end; it asks again later.
constexpr int PollingQueueBound = 64;

constexpr auto VariableType = SerialMessage::VariableType;
constexpr auto LiveValueType = SerialMessage::LiveValueType;
constexpr auto LivePositions = SerialMessage::LivePositions;
constexpr auto LiveSpeeds = SerialMessage::LiveSpeeds;
constexpr auto LiveSetPoints = SerialMessage::LiveSetPoints;

template <typename Value>
CANMessage variableWrite(unsigned int address, unsigned char dest, Value value)
{
    CANMessage message;
    message.priority = static_cast<unsigned char>(address >> 8);
    message.type = VariableType;
    message.cmd = static_cast<unsigned char>(address & 0xFF);
    message.dest = dest;
    message.dataLength = sizeof value;
    qToLittleEndian(value, message.data);
    return message;
}

void showText(QLineEdit* field, const QString& text)
{
    // An unchanged text is not set again, so the operator's selection survives the redraw.
    if (field->text() != text)
        field->setText(text);
}

} // namespace

void MainWindow::handleTxMessage()
{
    if (!isConnected()) {
        txQueue.clear();
        return;
    }
    if (txQueue.isEmpty())
        return;
    const SerialMessage message = txQueue.takeFirst();
    serialDriver->writeMessage(message);
}

void MainWindow::updateTimer()
{
    if (isConnected() && txQueue.size() > PollingQueueBound)
        return;

    CANMessage read;
    read.priority = static_cast<unsigned char>(pollIndex >> 8);
    read.type = VariableType;
    read.cmd = static_cast<unsigned char>(pollIndex & 0xFF);
    read.dest = driveAddress;
    read.rtr = true;
    read.readWrite = true;
    read.dataLength = 8;
    sendCANMessage(read);

    pollIndex += WindowSize;
    if (pollIndex > BlockSize - 1)
        pollIndex = 0;

    for (unsigned char cmd : {LivePositions, LiveSetPoints, LiveSpeeds}) {
        CANMessage live;
        live.type = LiveValueType;
        live.cmd = cmd;
        live.dest = driveAddress;
        live.rtr = true;
        live.readWrite = true;
        live.eepromRam = true;
        live.dataLength = 8;
        sendCANMessage(live);
    }
}

void MainWindow::sendCANMessage(const CANMessage& message)
{
    if (isConnected())
        txQueue.append(SerialMessage(message));
}

void MainWindow::sendVariableData(unsigned int address, float value)
{
    sendCANMessage(variableWrite(address, driveAddress, value));
}

void MainWindow::sendVariableData(unsigned int address, short value)
{
    sendCANMessage(variableWrite(address, driveAddress, value));
}

void MainWindow::sendVariableData(unsigned int address, unsigned char value)
{
    sendCANMessage(variableWrite(address, driveAddress, value));
}

void MainWindow::SerialMessageReady(const SerialMessage& message)
{
    const unsigned char* bytes = message.bytes;
    const int dataLength = bytes[SerialMessage::BootRtrLength] & SerialMessage::DataLengthMask;
    switch (bytes[SerialMessage::Type]) {
    case VariableType: {
        // A reply may claim up to 15 data bytes or run past the block: only what lies
        // inside both the frame's 8 data bytes and the mirror is taken.
        const int address = joinAddress(bytes[SerialMessage::Priority], bytes[SerialMessage::Cmd]);
        mirror.store(address, bytes + SerialMessage::Data, std::min(dataLength, 8));
        updateView();
        break;
    }
    case LiveValueType: {
        const unsigned char cmd = bytes[SerialMessage::Cmd];
        if (dataLength != 8 || cmd < LivePositions || cmd > LiveSetPoints)
            break;
        const Index target = cmd == LivePositions ? Position : cmd == LiveSpeeds ? Speed : SetPoint;
        for (int motor = 0; motor < MotorCount; ++motor) {
            const int16_t value = int16_t(bytes[SerialMessage::Data + 2 * motor]
                                          | bytes[SerialMessage::Data + 2 * motor + 1] << 8);
            mirror.setS16(address(motor, target), value);
        }
        if (cmd == LivePositions) {
            for (int motor = 0; motor < MotorCount; ++motor) {
                driveViews[motor]->pushGraphPosition(mirror.s16(address(motor, Position)),
                                                     short(mirror.s16(address(motor, Speed)) * 10),
                                                     mirror.s16(address(motor, SetPoint)));
            }
        }
        break;
    }
    default:
        break;
    }
}

void MainWindow::updateView()
{
    const auto& variables = motorVariables();
    for (int motor = 0; motor < MotorCount; ++motor) {
        for (int index = 0; index < VariableCount; ++index)
            showText(valueFields[motor][index], mirror.format(motor, variables[index]));
    }
    showText(lineEdit_LoopTime, QString::number(mirror.s16(LoopTimeAddress)));
}
