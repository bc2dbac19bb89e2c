#pragma once

#include "protocol/SerialMessage.h"

#include <QString>

// A robot command frame as the line the simulator and drive-ctl print: the word and its values in
// wire order, such as "mla 100 300 200"; empty for a frame that is no whole command.
QString robotCommandLine(const SerialMessage& frame);
