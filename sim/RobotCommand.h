#pragma once

#include "link/SerialMessage.h"

#include <QString>

// The robot command frames: a three-letter word in place of "can", then 16-bit signed
// or 8-bit unsigned values, little-endian.
namespace RobotCommand {

// Bytes of the frame that begins with this three-byte word, or 0 for no command word.
int frameLength(const unsigned char* word);

// The frame as one line: the word and its values in wire order, such as "mla 100 200 300".
QString line(const SerialMessage& frame);

} // namespace RobotCommand
