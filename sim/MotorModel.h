#pragma once

#include "protocol/SharedVariables.h"

#include <cstdint>

// One motor of a board and its controller, advanced one control period at a time. The
// block holds the motor's parameters, which are read afresh on every step, and receives
// its live values. Positions run 0 to PositionRange between two end stops; speeds are in
// position counts per period.
//
// CtrlMode 1 is position control: a PID on SetPoint - Position gives PIDOut (clamped to
// +-OutputMax, the accumulated error to +-pid_error_max). The current drawn follows
// PIDOut; above CurrentLimit the output is cut back until it fits. PIDOut asks for a speed
// that SpeedMax bounds and that may change by at most AccelerationStep per period. Any
// other CtrlMode switches the output off and the motor coasts to a stop.
//
// SetPointSrc 1 makes the set-point on the board itself: a slow sweep over the middle
// half of SetPointMin..SetPointMax, so there is motion to watch without an operator.
class MotorModel
{
public:
    static constexpr int PositionRange = 4096;
    static constexpr int OutputMax = 1000;
    static constexpr double SpeedPerOutput = 0.1;
    static constexpr double CurrentPerOutput = 1.5;
    static constexpr int PositionControl = 1;
    static constexpr int SweepSource = 1;
    static constexpr int SweepPeriodSteps = 800;

    explicit MotorModel(int motor);

    void step(SharedVariables::Block& block);

private:
    int at(SharedVariables::Index index) const { return SharedVariables::address(motor, index); }

    void sweepSetPoint(SharedVariables::Block& block);

    int motor;
    long steps = 0;
    double position = 0;
    double speed = 0;
    double thermal = 0;
    int16_t published = 0;   // the Position last written to the block
    bool started = false;
    int16_t destination = 0;
    int16_t initPoint = 0;
};
