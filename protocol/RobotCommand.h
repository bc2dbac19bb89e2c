#pragma once

#include "protocol/SerialMessage.h"

#include <QString>
#include <QVector>

// One command of the robot. Its frame is a default frame whose "can" header is
// overwritten by the command word, followed by the values little-endian, each cut to
// its width in two's complement (no range check, no scaling). Only the first
// frameLength() bytes go on the wire; the rest keep the zeros of the default frame.
struct RobotCommand
{
    const char* word;
    int valueCount;
    int valueSize; // bytes per value: 2 or 1
    // The values an operator may give it, in a panel or a script: the joints' 0 to 4096,
    // a byte's 0 to 255. The frame itself cuts whatever it is given.
    int minimum;
    int maximum;

    static constexpr int WordSize = 3;

    int frameLength() const { return WordSize + valueCount * valueSize; }
    SerialMessage frame(const QVector<int>& values) const;
    // The values of one of this command's frames, in wire order: 16-bit values signed,
    // 8-bit values 0 to 255.
    QVector<int> values(const SerialMessage& frame) const;
};

namespace RobotCommands {

inline constexpr RobotCommand Mla{"mla", 3, 2, 0, 4096};
inline constexpr RobotCommand Mra{"mra", 3, 2, 0, 4096};
inline constexpr RobotCommand Mrn{"mrn", 2, 2, 0, 4096};
inline constexpr RobotCommand Mrm{"mrm", 8, 1, 0, 255};
inline constexpr RobotCommand Meb{"meb", 4, 1, 0, 255};
inline constexpr RobotCommand Mre{"mre", 6, 1, 0, 255};

// The command whose word equals text exactly (case and blanks count), or nullptr.
const RobotCommand* find(const QString& text);
// The command whose word the bytes begin with (at least WordSize of them), or nullptr.
const RobotCommand* find(const unsigned char* bytes);

} // namespace RobotCommands
