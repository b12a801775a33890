// Shared formulas: a follower cell carries no text of its own; its formula
// is the master's with every relative reference moved by the distance from
// the master to the follower.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace xlsx {

// Moves the relative references (A1, B$2, $C3, ranges of them, whole columns
// A:C and whole rows 1:3) of an A1-style formula by rows and columns.
// Absolute parts ($) stay. Text in quotes, quoted sheet names and bracketed
// parts (structured references, external books) are copied unchanged, as are
// function names and sheet names before "!". A reference moved off the grid
// becomes #REF!.
std::string shiftFormula(std::string_view formula, int64_t rows, int64_t columns);

}  // namespace xlsx
