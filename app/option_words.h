// The option words that the lower floors name in their messages, handed
// down to them from here, where the command line is known.
#pragma once

namespace vextal {

// option words: from the option table
inline constexpr char kStepsWord[] = "-n";

}  // namespace vextal
