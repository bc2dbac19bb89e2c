#pragma once

#include "protocol/SharedVariables.h"

class DriveView;

// Asks the operator before a set-point value that contradicts the limits the view shows:
// SetPointMin above SetPointMax, SetPointMax below SetPointMin, SetPoint outside them.
// True when the value may be written: nothing contradicts it, or the operator said Yes.
bool confirmSetPointLimits(DriveView& view, SharedVariables::Index index, double value);
