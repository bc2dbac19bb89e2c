#pragma once

#include "protocol/SerialMessage.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <array>

// One command of the robot. Its frame is a default frame whose "can" header is
// overwritten by the command word, followed by the values little-endian, each cut to
// its width in two's complement (no range check, no scaling). Only the first
// frameLength() bytes go on the wire; the rest keep the zeros of the default frame.
struct RobotCommand
{
    static constexpr int WordSize = 3;
    static constexpr int MaxJoints = 3;

    // A joint of a motion command: its name on the panel, and its place among the
    // command's values on the wire, which need not be its place on the panel.
    struct Joint
    {
        const char* name;
        int wireIndex;
    };

    const char* word;
    int valueCount;
    int valueSize; // bytes per value: 2 or 1
    // The values an operator may give it, in a panel or a script: the joints' 0 to 4096,
    // a byte's 0 to 255. The frame itself cuts whatever it is given.
    int minimum;
    int maximum;
    // A motion command's joints in on-screen order; every value of a motion command is a
    // joint. None for the other commands.
    std::array<Joint, MaxJoints> joints{};

    int frameLength() const { return WordSize + valueCount * valueSize; }
    SerialMessage frame(const QVector<int>& values) const;
    // The values of one of this command's frames, in wire order: 16-bit values signed,
    // 8-bit values 0 to 255.
    QVector<int> values(const SerialMessage& frame) const;

    bool isMotion() const { return joints[0].name != nullptr; }
    int jointCount() const { return isMotion() ? valueCount : 0; }
    // The word as panels and their messages show it: "MLA".
    QString panelName() const { return QString::fromLatin1(word).toUpper(); }
    // The joints' texts, in on-screen order, as values in wire order. The first text that
    // is no whole number within the bounds (blanks around it allowed) gives its on-screen
    // position in firstInvalid and an empty result; otherwise firstInvalid is -1.
    QVector<int> jointValues(const QStringList& onScreen, int* firstInvalid) const;
};

namespace RobotCommands {

// Every command of the robot, the motion commands first in the order their panels show.
inline constexpr RobotCommand all[] = {
    {"mla", 3, 2, 0, 4096, {{{"Elbow", 0}, {"Pitch", 2}, {"Yaw", 1}}}},
    {"mra", 3, 2, 0, 4096, {{{"Elbow", 0}, {"Pitch", 2}, {"Yaw", 1}}}},
    {"mrn", 2, 2, 0, 4096, {{{"Pitch", 0}, {"Yaw", 1}}}},
    {"mrm", 8, 1, 0, 255},
    {"meb", 4, 1, 0, 255},
    {"mre", 6, 1, 0, 255},
};
inline constexpr const RobotCommand& Mla = all[0];
inline constexpr const RobotCommand& Mra = all[1];
inline constexpr const RobotCommand& Mrn = all[2];
inline constexpr const RobotCommand& Mrm = all[3];
inline constexpr const RobotCommand& Meb = all[4];
inline constexpr const RobotCommand& Mre = all[5];

// The command whose word equals text exactly (case and blanks count), or nullptr.
const RobotCommand* find(const QString& text);
// The command whose word the bytes begin with (at least WordSize of them), or nullptr.
const RobotCommand* find(const unsigned char* bytes);

} // namespace RobotCommands
