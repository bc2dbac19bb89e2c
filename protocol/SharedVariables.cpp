#include "protocol/SharedVariables.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace SharedVariables {

namespace {

// The one table of the motor record. Offsets 20..23 and 85..87 are not interpreted.
// A parameter's bounds are those its entry dialog accepts.
const std::array<Variable, VariableCount> table = {{
    {"CtrlMode", 0, Type::U8, true, 0, 3},
    {"CtrlType", 1, Type::U8, true, 0, 3},
    {"SetPointSrc", 2, Type::U8, true, 0, 4},
    {"PosMesSrc", 3, Type::U8, true, 0, 3},
    {"ErrorCode", 4, Type::U16, false},
    {"SetPoint", 6, Type::S16, true, 0, 4096},
    {"SetPointMax", 8, Type::S16, true, 0, 4096},
    {"SetPointMin", 10, Type::S16, true, 0, 4096},
    {"Current", 12, Type::S16, false},
    {"CurrentOffset", 14, Type::S16, true, 0, 4096},
    {"ADCValue", 16, Type::S16, false},
    {"ADCOffset", 18, Type::S16, true, -4096, 4096},
    {"ThermalState", 24, Type::S16, false},
    {"Speed", 26, Type::S16, false},
    {"Position", 28, Type::S16, false},
    {"Acceleration", 30, Type::S16, false},
    {"RefPoint", 32, Type::S16, false},
    {"MesPoint", 34, Type::S16, false},
    {"pid_Kp", 36, Type::F32, true, 0, 1000000},
    {"pid_Ki", 40, Type::F32, true, 0, 1000000},
    {"pid_Kd", 44, Type::F32, true, 0, 1000000},
    {"pid_Error", 48, Type::F32, false},
    {"pid_error_accum", 52, Type::F32, false},
    {"pid_error_der", 56, Type::F32, false},
    {"pid_error_max", 60, Type::F32, true, 0, 1000000},
    {"PIDOut", 64, Type::S16, false},
    {"SpeedMax", 66, Type::S16, true, 0, 4096},
    {"AccelerationStep", 68, Type::S16, true, 0, 4096},
    {"InitPoint", 70, Type::S16, false},
    {"DestPoint", 72, Type::S16, false},
    {"NextPoint", 74, Type::S16, false},
    {"CurrentLimit", 76, Type::S16, true, 0, 10000},
    {"PWM_CLimit", 78, Type::S16, false},
    {"PWM_CurrentStep", 80, Type::S16, false},
    {"CurrentLimitActive", 82, Type::U8, false},
    {"EncoderBias", 83, Type::U8, true, 0, 1},
    {"MotorBias", 84, Type::U8, true, 0, 1},
}};

} // namespace

const std::array<Variable, VariableCount>& motorVariables()
{
    return table;
}

const Variable& variable(Index index)
{
    return table[index];
}

const std::array<Index, parameterList.size() - 1>& settingParameters()
{
    static const auto settings = [] {
        std::array<Index, parameterList.size() - 1> kept{};
        std::copy_if(parameterList.begin(), parameterList.end(), kept.begin(), [](Index index) { return index != SetPoint; });
        return kept;
    }();
    return settings;
}

Index findVariable(const QString& name)
{
    for (int index = 0; index < VariableCount; ++index) {
        if (name == QLatin1String(table[index].name))
            return Index(index);
    }
    return VariableCount;
}

int width(Type type)
{
    switch (type) {
    case Type::U8:
        return 1;
    case Type::U16:
    case Type::S16:
        return 2;
    case Type::F32:
        return 4;
    }
    return 0;
}

uint8_t Block::u8(int address) const
{
    return bytes[address];
}

uint16_t Block::u16(int address) const
{
    return uint16_t(bytes[address] | (bytes[address + 1] << 8));
}

int16_t Block::s16(int address) const
{
    return int16_t(u16(address));
}

float Block::f32(int address) const
{
    const uint32_t bits = uint32_t(bytes[address]) | uint32_t(bytes[address + 1]) << 8
        | uint32_t(bytes[address + 2]) << 16 | uint32_t(bytes[address + 3]) << 24;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void Block::setU8(int address, uint8_t value)
{
    bytes[address] = value;
}

void Block::setS16(int address, int16_t value)
{
    bytes[address] = uint8_t(value);
    bytes[address + 1] = uint8_t(uint16_t(value) >> 8);
}

void Block::setF32(int address, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 4; ++i)
        bytes[address + i] = uint8_t(bits >> (8 * i));
}

int Block::store(int address, const uint8_t* source, int count)
{
    if (address < 0 || address >= BlockSize || count <= 0)
        return 0;
    const int copied = std::min(count, BlockSize - address);
    std::memcpy(bytes.data() + address, source, size_t(copied));
    return copied;
}

QString Block::format(int motor, const Variable& variable) const
{
    const int at = address(motor, variable.offset);
    switch (variable.type) {
    case Type::U8:
        return QString::number(u8(at));
    case Type::U16:
        return QString::number(u16(at));
    case Type::S16:
        return QString::number(s16(at));
    case Type::F32:
        return floatText(double(f32(at)));
    }
    return QString();
}

QString floatText(double value)
{
    constexpr int significant = 7; // what a single-precision float holds
    // Rounded first, so that the digits a float does not hold show as zeros.
    const double rounded = QString::number(value, 'g', significant).toDouble();
    if (rounded == 0 || !std::isfinite(rounded))
        return QString::number(rounded, 'g', significant);
    const int exponent = int(std::floor(std::log10(std::fabs(rounded))));
    // Beyond these the plain digits would be mostly zeros, wider than the field.
    if (exponent < -7 || exponent > 11)
        return QString::number(rounded, 'g', significant);
    QString text = QString::number(rounded, 'f', std::max(0, significant - 1 - exponent));
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text;
}

double Block::value(int motor, const Variable& variable) const
{
    const int at = address(motor, variable.offset);
    switch (variable.type) {
    case Type::U8:
        return u8(at);
    case Type::U16:
        return u16(at);
    case Type::S16:
        return s16(at);
    case Type::F32:
        return double(f32(at));
    }
    return 0;
}

void Block::setValue(int motor, const Variable& variable, double value)
{
    const int at = address(motor, variable.offset);
    switch (variable.type) {
    case Type::U8:
        setU8(at, uint8_t(int(value)));
        break;
    case Type::U16:
    case Type::S16:
        setS16(at, int16_t(int(value)));
        break;
    case Type::F32:
        setF32(at, float(value));
        break;
    }
}

} // namespace SharedVariables
