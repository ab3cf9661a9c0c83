// The option words that the lower floors name in their messages, handed
// down to them from here, where the command line is known.
#pragma once

#include "app/cli_table.h"
#include "data/table_file.h"

namespace vextal {

/// The words the importer's messages name.
inline ImportWords import_words() {
    ImportWords words;
    words.columns = option_word(OptionId::kColumns);
    words.decimal = option_word(OptionId::kDecimal);
    words.round = option_word(OptionId::kRound);
    return words;
}

}  // namespace vextal
