#include "sim/SimulatedBoard.h"

#include "protocol/CANMessage.h"
#include "sim/EepromFile.h"

#include <QtGlobal>

#include <algorithm>

using namespace SharedVariables;

namespace {

// RTR in BOOT_RTR_LENGTH marks a request; without it the frame is a write.
constexpr auto RtrBit = SerialMessage::RtrBit;
constexpr auto DataLengthMask = SerialMessage::DataLengthMask;
constexpr auto VariableType = SerialMessage::VariableType;
constexpr auto LiveValueType = SerialMessage::LiveValueType;
constexpr auto Positions = SerialMessage::LivePositions;
constexpr auto Speeds = SerialMessage::LiveSpeeds;
constexpr auto SetPoints = SerialMessage::LiveSetPoints;
constexpr int LoopTimeJitter = 4;

struct BoardDefaults
{
    std::array<int16_t, MotorCount> positions;
    float kp, ki, kd, errorMax;
    int16_t speedMax, accelerationStep, currentLimit, currentOffset, adcOffset;
    uint8_t posMesSrc;
    int16_t loopTime;
};

// Board 1 and board 2 differ in every parameter, so a reply shows which board sent it.
const BoardDefaults firstBoard = {{1024, 2048, 3072, 2048}, 0.5f, 0.001f, 1.0f, 200.0f,
                                  30, 3, 1200, 512, 0, 0, 1000};
const BoardDefaults secondBoard = {{512, 1536, 2560, 3584}, 0.4f, 0.002f, 0.5f, 250.0f,
                                   40, 4, 1400, 500, 8, 1, 1250};

} // namespace

SimulatedBoard::SimulatedBoard(uint8_t address, EepromFile* eeprom)
    : boardAddress(address)
    , eeprom(eeprom)
    , motors{{MotorModel(0), MotorModel(1), MotorModel(2), MotorModel(3)}}
    , jitter(address)
{
    setDefaults();
    if (eeprom) {
        if (const auto saved = eeprom->load(address))
            restoreParameters(*saved);
    }
    // The board comes up at rest where it was last told to go.
    for (int m = 0; m < MotorCount; ++m)
        variables.setS16(SharedVariables::address(m, Position), variables.s16(SharedVariables::address(m, SetPoint)));
    step();
}

void SimulatedBoard::setDefaults()
{
    const BoardDefaults& defaults = boardAddress == 2 ? secondBoard : firstBoard;
    for (int m = 0; m < MotorCount; ++m) {
        const auto at = [m](Index index) { return SharedVariables::address(m, index); };
        variables.setU8(at(CtrlMode), MotorModel::PositionControl);
        variables.setU8(at(PosMesSrc), defaults.posMesSrc);
        variables.setS16(at(SetPoint), defaults.positions[m]);
        variables.setS16(at(SetPointMin), 0);
        variables.setS16(at(SetPointMax), MotorModel::PositionRange);
        variables.setS16(at(CurrentOffset), defaults.currentOffset);
        variables.setS16(at(ADCOffset), defaults.adcOffset);
        variables.setF32(at(pid_Kp), defaults.kp);
        variables.setF32(at(pid_Ki), defaults.ki);
        variables.setF32(at(pid_Kd), defaults.kd);
        variables.setF32(at(pid_error_max), defaults.errorMax);
        variables.setS16(at(SpeedMax), defaults.speedMax);
        variables.setS16(at(AccelerationStep), defaults.accelerationStep);
        variables.setS16(at(CurrentLimit), defaults.currentLimit);
        variables.setS16(at(PWM_CurrentStep), 10);
    }
    loopTime = defaults.loopTime;
}

void SimulatedBoard::restoreParameters(const Block& saved)
{
    for (int m = 0; m < MotorCount; ++m) {
        for (const Variable& variable : motorVariables()) {
            if (!variable.writable)
                continue;
            const int at = SharedVariables::address(m, variable.offset);
            variables.store(at, saved.data() + at, width(variable.type));
        }
    }
}

QVector<SerialMessage> SimulatedBoard::handle(const SerialMessage& frame)
{
    if (frame.length != SerialMessage::FrameSize || frame.bytes[SerialMessage::Dest] != boardAddress)
        return {};
    const uint8_t flags = frame.bytes[SerialMessage::BootRtrLength];
    const bool request = flags & RtrBit;
    const uint8_t cmd = frame.bytes[SerialMessage::Cmd];
    switch (frame.bytes[SerialMessage::Type]) {
    case VariableType: {
        const int at = joinAddress(frame.bytes[SerialMessage::Priority], cmd);
        if (!request) {
            write(at, frame.bytes + SerialMessage::Data, std::min(flags & DataLengthMask, WindowSize));
            return {};
        }
        if (at < BlockSize)
            return {variableReply(at)};
        return {};
    }
    case LiveValueType:
        if (request && (cmd == Positions || cmd == Speeds || cmd == SetPoints))
            return {liveValueReply(cmd)};
        return {};
    default:
        return {};
    }
}

SerialMessage SimulatedBoard::variableReply(int at) const
{
    CANMessage reply;
    reply.priority = priorityOf(at);
    reply.type = VariableType;
    reply.cmd = cmdOf(at);
    reply.dest = boardAddress;
    reply.dataLength = uint8_t(std::min(WindowSize, BlockSize - at));
    std::copy_n(variables.data() + at, reply.dataLength, reply.data);
    return SerialMessage(reply);
}

SerialMessage SimulatedBoard::liveValueReply(uint8_t cmd) const
{
    const Index index = cmd == Positions ? Position : cmd == Speeds ? Speed : SetPoint;
    CANMessage reply;
    reply.type = LiveValueType;
    reply.cmd = cmd;
    reply.dest = boardAddress;
    reply.dataLength = 8;
    for (int m = 0; m < MotorCount; ++m) {
        const uint16_t value = variables.u16(SharedVariables::address(m, index));
        reply.data[2 * m] = uint8_t(value);
        reply.data[2 * m + 1] = uint8_t(value >> 8);
    }
    return SerialMessage(reply);
}

void SimulatedBoard::write(int at, const uint8_t* data, int count)
{
    const int stored = variables.store(at, data, count);
    const bool savesEEPROM = at <= SaveEEPROMAddress && SaveEEPROMAddress < at + stored
        && variables.u8(SaveEEPROMAddress) == 1;
    if (!savesEEPROM)
        return;
    variables.setU8(SaveEEPROMAddress, 0);
    if (!eeprom) {
        qWarning("drive-sim: board %d: no EEPROM file given, configuration not kept", boardAddress);
        return;
    }
    if (eeprom->save(boardAddress, variables))
        qInfo("drive-sim: board %d saved its configuration to %s", boardAddress, qPrintable(eeprom->path()));
}

void SimulatedBoard::sweep(int motor)
{
    variables.setU8(SharedVariables::address(motor, SetPointSrc), MotorModel::SweepSource);
}

void SimulatedBoard::step()
{
    for (MotorModel& motor : motors)
        motor.step(variables);
    variables.setS16(LoopTimeAddress, int16_t(loopTime + jitter.bounded(-LoopTimeJitter, LoopTimeJitter + 1)));
}
