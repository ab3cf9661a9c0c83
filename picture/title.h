// The title of a picture: the name, the run's header values and stretch, the
// note, the comment and the warnings, or a check's summary; and how far they
// move what stands below them.
#pragma once

#include <cstdint>

#include "picture/picture.h"
#include "picture/svg_writer.h"

namespace vextal {

/// The records of the run that the picture draws, held within the table.
int32_t record_count(const PictureContent& c);
/// Whether `cal` holds a table to draw: the leading point, at least one
/// point of the stretch and the two closing points.
bool has_table(const Calibration* cal);

/// The title of a curve or a calibration.
void curve_title(Svg& svg, const PictureContent& c);
/// How far the title's lines below the stretch move the panels down.
double title_shift(const PictureContent& c);

/// The title of a check: its table, its summary and its warnings.
void check_title(Svg& svg, const PictureContent& c);
/// Where the heading of a check's error panel stands, below its title.
double check_heading(const PictureContent& c);

}  // namespace vextal
