#pragma once

#include "protocol/SharedVariables.h"
#include "protocol/SerialMessage.h"
#include "sim/MotorModel.h"

#include <QRandomGenerator>
#include <QVector>

#include <array>
#include <cstdint>

class EepromFile;

// One drive board: its variable block, four moving motors and the answers to the frames
// addressed to it. Boards 1 and 2 start from different defaults; with an EEPROM file a
// board takes the parameters it saved last instead.
class SimulatedBoard
{
public:
    explicit SimulatedBoard(uint8_t address, EepromFile* eeprom = nullptr);

    uint8_t address() const { return boardAddress; }
    const SharedVariables::Block& block() const { return variables; }

    // The replies to a frame; frames for other boards and writes get none.
    QVector<SerialMessage> handle(const SerialMessage& frame);
    // One control period of all four motors.
    void step();
    // Lets a motor follow the board's own set-point sweep.
    void sweep(int motor);

private:
    void setDefaults();
    void restoreParameters(const SharedVariables::Block& saved);
    SerialMessage variableReply(int address) const;
    SerialMessage liveValueReply(uint8_t cmd) const;
    void write(int address, const uint8_t* data, int count);

    uint8_t boardAddress;
    EepromFile* eeprom;
    SharedVariables::Block variables;
    std::array<MotorModel, SharedVariables::MotorCount> motors;
    int16_t loopTime = 0;
    QRandomGenerator jitter;
};
