#include "sim/MotorModel.h"

#include <algorithm>
#include <cmath>
#include <limits>

using namespace SharedVariables;

namespace {

// Heating follows the current and settles within a few seconds.
constexpr double ThermalPerCurrent = 0.05;
constexpr double ThermalRate = 0.01;

double bounded(double value, double low, double high)
{
    return std::min(std::max(value, low), high);
}

int16_t rounded(double value)
{
    return int16_t(std::lround(bounded(value, std::numeric_limits<int16_t>::min(),
                                       std::numeric_limits<int16_t>::max())));
}

} // namespace

MotorModel::MotorModel(int motor)
    : motor(motor)
{
}

void MotorModel::sweepSetPoint(Block& block)
{
    // Each motor sweeps at its own pace, so the four graphs differ.
    const double period = SweepPeriodSteps * (1 + 0.25 * motor);
    const double low = block.s16(at(SetPointMin));
    const double high = block.s16(at(SetPointMax));
    const double phase = 2 * M_PI * double(steps % long(period)) / period;
    block.setS16(at(SetPoint), rounded((low + high) / 2 + (high - low) / 4 * std::sin(phase)));
}

void MotorModel::step(Block& block)
{
    ++steps;
    if (block.u8(at(SetPointSrc)) == SweepSource)
        sweepSetPoint(block);

    // A Position written from outside (a homed encoder) moves the motor there.
    if (!started || block.s16(at(Position)) != published)
        position = block.s16(at(Position));
    started = true;

    const int16_t target = int16_t(std::min(std::max(block.s16(at(SetPoint)), block.s16(at(SetPointMin))),
                                            block.s16(at(SetPointMax))));
    if (target != destination) {
        initPoint = rounded(position);
        destination = target;
    }

    double error = 0;
    double accum = 0;
    double derivative = 0;
    double output = 0;
    if (block.u8(at(CtrlMode)) == PositionControl) {
        error = target - position;
        const double accumMax = std::fabs(block.f32(at(pid_error_max)));
        accum = bounded(block.f32(at(pid_error_accum)) + error, -accumMax, accumMax);
        derivative = error - block.f32(at(pid_Error));
        output = block.f32(at(pid_Kp)) * error + block.f32(at(pid_Ki)) * accum
            + block.f32(at(pid_Kd)) * derivative;
        if (!std::isfinite(output))
            output = 0;
        output = bounded(output, -OutputMax, OutputMax);
    }

    const int currentLimit = block.s16(at(CurrentLimit));
    double current = std::fabs(output) * CurrentPerOutput;
    const bool limited = currentLimit > 0 && current > currentLimit;
    if (limited) {
        output *= currentLimit / current;
        current = currentLimit;
    }

    double wanted = output * SpeedPerOutput;
    const int speedMax = block.s16(at(SpeedMax));
    if (speedMax > 0)
        wanted = bounded(wanted, -speedMax, speedMax);
    const int accelerationStep = block.s16(at(AccelerationStep));
    const double change = accelerationStep > 0
        ? bounded(wanted - speed, -accelerationStep, accelerationStep)
        : wanted - speed;
    speed += change;
    position += speed;
    if (position < 0 || position > PositionRange) {
        position = bounded(position, 0, PositionRange);
        speed = 0;
    }
    thermal += (current * ThermalPerCurrent - thermal) * ThermalRate;

    published = rounded(position);
    block.setS16(at(Position), published);
    block.setS16(at(MesPoint), published);
    block.setS16(at(Speed), rounded(speed));
    block.setS16(at(Acceleration), rounded(change));
    block.setS16(at(RefPoint), target);
    block.setS16(at(InitPoint), initPoint);
    block.setS16(at(DestPoint), destination);
    block.setS16(at(NextPoint), rounded(position + speed));
    block.setS16(at(ADCValue), rounded(bounded(position / 4 + block.s16(at(ADCOffset)), 0, 1023)));
    block.setS16(at(Current), rounded(current));
    block.setS16(at(ThermalState), rounded(thermal));
    block.setS16(at(PIDOut), rounded(output));
    const double outputLimit = currentLimit > 0 ? currentLimit / CurrentPerOutput : OutputMax;
    block.setS16(at(PWM_CLimit), rounded(std::min(outputLimit, double(OutputMax))));
    block.setU8(at(CurrentLimitActive), limited ? 1 : 0);
    block.setF32(at(pid_Error), float(error));
    block.setF32(at(pid_error_accum), float(accum));
    block.setF32(at(pid_error_der), float(derivative));
}
