// A unified diff of two versions of a text file, for showing a planned edit before it is made.
#pragma once

#include <string>
#include <string_view>

#include "panel_document.h"

namespace panelcfg {

// "--- old_name" / "+++ new_name" and hunks with three lines of context, each line as its bytes
// followed by "\n" ("\ No newline at end of file" where a side has none), lines compared with
// their line ends. Empty when the two are the same bytes.
std::string unified_diff(const Document &before, const Document &after, std::string_view old_name,
                         std::string_view new_name);

}  // namespace panelcfg
