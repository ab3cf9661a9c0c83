// The panel of a check's errors, shared by cal's picture and check's.
#pragma once

#include "picture/picture.h"
#include "picture/svg_writer.h"

namespace vextal {

/// The error of the firmware's answer against stage position, its heading at
/// `heading_y`: judged records as dots (beyond the tolerance in vermillion),
/// the tolerance band where one was given, records without an answer as
/// crosses on the x axis, and the largest and the rms error at the right. A
/// check's panel draws every record of the run, those it did not judge in
/// grey; cal's draws the branch.
void error_panel(Svg& svg, double heading_y, const PictureContent& c);

}  // namespace vextal
