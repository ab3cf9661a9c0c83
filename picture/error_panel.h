// The panel of a check's errors, shared by cal's picture and check's.
#pragma once

#include "picture/picture.h"
#include "picture/svg_writer.h"

namespace vextal {

/// The error of the firmware's answer against stage position at every
/// record the check judged, its heading at `heading_y`: answered records as
/// dots (beyond the tolerance in vermillion), the tolerance band where one
/// was given, records without an answer as crosses along the plot's top,
/// and the largest and the rms error at the right.
void error_panel(Svg& svg, double heading_y, const PictureContent& c);

}  // namespace vextal
