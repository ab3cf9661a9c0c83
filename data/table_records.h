// The records an import makes of the points its data lines give: one each,
// or with -mean one for each position, ordered from the largest position
// down unless the file's order is kept.
#pragma once

#include "data/import_state.h"

namespace vextal {

/// Starts the table that `state` fills with no records, to be made as its
/// options say.
void records_start(ImportState& state);
/// Takes the point of data line `line_no`: the next record, or with -mean a
/// reading more at its position. Ends the program when the table is full.
void records_add(ImportState& state, LineNo line_no, const RecordText& point);
/// Makes the records final: with -mean each one the mean of its readings;
/// then their order.
void records_finish(ImportState& state);

}  // namespace vextal
