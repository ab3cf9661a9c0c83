// The records an import makes of the points its data lines give: one each,
// or with -mean one for each position, ordered from the largest position
// down unless the file's order is kept.
#pragma once

#include "data/table_fields.h"
#include "data/table_file.h"

namespace vextal {

/// Starts `table` with no records, to be made as `options` say.
void records_start(const ImportOptions& options, ImportTable& table);
/// Takes the point of data line `line_no`: the next record, or with -mean a
/// reading more at its position. Ends the program when the table is full.
void records_add(LineNo line_no, const RecordText& point, ImportTable& table);
/// Makes the records final: with -mean each one the mean of its readings;
/// then their order.
void records_finish(ImportTable& table);

}  // namespace vextal
