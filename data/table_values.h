// The values of an imported table's data lines: each position and reading
// read by the file's decimal mark, which the first field that reads only one
// way decides; lines whose fields read two ways wait for it.
#pragma once

#include "data/import_state.h"

namespace vextal {

/// Starts the values of the table that `state` reads, as its options say.
void values_start(ImportState& state);
/// Lines that wait for the decimal mark.
int32_t values_waiting(const ImportState& state);
/// The position and the reading of data line `line_no`, whose columns are
/// separated by `sep`: handed to the records, or kept until the decimal mark
/// is known. Ends the program on a fault.
void take_values(ImportState& state, LineNo line_no, Separator sep, Text position, Text reading);
/// At the end of the file: the lines still waiting, read by the custom of
/// their separator, or the program ends naming the first that this does not
/// settle.
void values_finish(ImportState& state, Separator sep);

}  // namespace vextal
