// The values of an imported table's data lines: each position and reading
// read by the file's decimal mark, which the first field that reads only one
// way decides; lines whose fields read two ways wait for it.
#pragma once

#include "data/table_fields.h"
#include "data/table_file.h"

namespace vextal {

/// Starts the values of a table read as `options` say into `table`.
void values_start(const ImportOptions& options, ImportTable& table);
/// Lines that wait for the decimal mark.
int32_t values_waiting();
/// The position and the reading of data line `line_no`, whose columns are
/// separated by `sep`: handed to the records, or kept until the decimal mark
/// is known. Ends the program on a fault.
void take_values(LineNo line_no, Separator sep, Text position, Text reading);
/// At the end of the file: the lines still waiting, read by the custom of
/// their separator, or the program ends naming the first that this does not
/// settle.
void values_finish(Separator sep);

}  // namespace vextal
