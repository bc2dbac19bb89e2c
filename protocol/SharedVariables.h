#pragma once

#include <QString>

#include <array>
#include <cmath>
#include <cstdint>

// The byte layout of a board's variable block, shared with the board firmware:
// four 88-byte motor records and an 8-byte shared area, little-endian, floats IEEE-754.
namespace SharedVariables {

constexpr int BlockSize = 360;
constexpr int MotorCount = 4;
constexpr int MotorRecordSize = 88;
constexpr int WindowSize = 8;             // bytes per polled read window
constexpr int SaveEEPROMAddress = 353;    // command byte: 1 asks the board to save to EEPROM
constexpr int LoopTimeAddress = 354;      // s16, shown in the main window

enum class Type { U8, U16, S16, F32 };

struct Variable
{
    const char* name;   // firmware name; the value field is "lineEdit_" + name
    int offset;         // within the motor record
    Type type;
    bool writable;      // a parameter the tool writes, with the type's width
    double minimum = 0; // a parameter's bounds, as its entry dialog offers them
    double maximum = 0;

    QString fieldName() const { return QStringLiteral("lineEdit_") + QLatin1String(name); }
    // Floats are entered with 6 decimals, everything else as an integer.
    bool isFloat() const { return type == Type::F32; }
    // Whether a parameter may be set to value: a finite number within its bounds. NaN
    // fails every comparison, so the bounds alone would let it through.
    bool accepts(double value) const { return std::isfinite(value) && value >= minimum && value <= maximum; }
};

// Index of each displayed motor variable in motorVariables(), in record order.
enum Index {
    CtrlMode, CtrlType, SetPointSrc, PosMesSrc, ErrorCode, SetPoint, SetPointMax, SetPointMin,
    Current, CurrentOffset, ADCValue, ADCOffset, ThermalState, Speed, Position, Acceleration,
    RefPoint, MesPoint, pid_Kp, pid_Ki, pid_Kd, pid_Error, pid_error_accum, pid_error_der,
    pid_error_max, PIDOut, SpeedMax, AccelerationStep, InitPoint, DestPoint, NextPoint,
    CurrentLimit, PWM_CLimit, PWM_CurrentStep, CurrentLimitActive, EncoderBias, MotorBias,
    VariableCount
};

const std::array<Variable, VariableCount>& motorVariables();
const Variable& variable(Index index);
// The writable ones, in the order the setup panel lists their buttons.
inline constexpr std::array parameterList{
    CtrlMode, CtrlType, SetPointSrc, PosMesSrc, SetPoint, SetPointMax, SetPointMin,
    ADCOffset, SpeedMax, AccelerationStep, CurrentOffset, CurrentLimit, EncoderBias,
    MotorBias, pid_Kp, pid_Ki, pid_Kd, pid_error_max};
inline constexpr const auto& parameters() { return parameterList; }
// The parameters that make a board's configuration, as settings files hold them: all
// but SetPoint, which is the motor's position command and so motion, not a setting.
const std::array<Index, parameterList.size() - 1>& settingParameters();
// The variable named name (the firmware's spelling), or VariableCount.
Index findVariable(const QString& name);

int width(Type type);
inline int address(int motor, int offset) { return motor * MotorRecordSize + offset; }
inline int address(int motor, Index index) { return address(motor, variable(index).offset); }

// An 11-bit address travels as PRIORITY (bits 10..8) and CMD (bits 7..0).
inline uint8_t priorityOf(int address) { return uint8_t(address >> 8); }
inline uint8_t cmdOf(int address) { return uint8_t(address & 0xFF); }
inline int joinAddress(uint8_t priority, uint8_t cmd) { return ((priority & 0x07) << 8) | cmd; }

// A float in plain decimal with up to 7 significant digits and no trailing zeros
// ("0.000000680845", "1500.25"); only magnitudes below 1e-7 or from 1e12 on, which
// would take a line of zeros, keep an exponent ("1.5e-09").
QString floatText(double value);

// A block's bytes with typed little-endian access.
class Block
{
public:
    uint8_t u8(int address) const;
    uint16_t u16(int address) const;
    int16_t s16(int address) const;
    float f32(int address) const;

    void setU8(int address, uint8_t value);
    void setS16(int address, int16_t value);
    void setF32(int address, float value);

    // Copies up to count bytes to address, keeping only those inside the block;
    // returns how many were copied.
    int store(int address, const uint8_t* source, int count);

    // The variable of a motor as the operator sees it: integers in decimal, floats as
    // floatText shows them.
    QString format(int motor, const Variable& variable) const;
    // The variable of a motor as a number, and storing one the way a parameter write
    // does: floats to single precision, integers cut to the variable's width.
    double value(int motor, const Variable& variable) const;
    void setValue(int motor, const Variable& variable, double value);

    const uint8_t* data() const { return bytes.data(); }
    uint8_t* data() { return bytes.data(); }

private:
    std::array<uint8_t, BlockSize> bytes{};
};

} // namespace SharedVariables
