// The option words that the lower floors name in their messages, handed
// down to them from here, where the command line is known.
#pragma once

#include "data/table_file.h"

namespace vextal {

// option words: from the option table
inline constexpr char kStepsWord[] = "-n";
inline constexpr char kColumnsWord[] = "-cols";
inline constexpr char kDecimalWord[] = "-decimal";
inline constexpr char kRoundWord[] = "-round";

/// The words the importer's messages name.
inline ImportWords import_words() {
    ImportWords words;
    words.columns = kColumnsWord;
    words.decimal = kDecimalWord;
    words.round = kRoundWord;
    return words;
}

}  // namespace vextal
