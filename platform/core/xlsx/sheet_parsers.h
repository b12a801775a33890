// The two readers of a worksheet part. Both feed a SheetBuilder.
#pragma once

#include <stdexcept>
#include <string_view>

#include "sheet_builder.h"

namespace xlsx::detail {

class Package;

// The reference reader: expat, like every other part.
void readSheetWithExpat(Package& package, std::string_view part, SheetBuilder& builder);

// The fast reader, made for the cell stream as spreadsheet programs write
// it. It reads a strict subset of XML and throws ScannerFallback as soon as
// it meets anything outside that subset (a DOCTYPE, CDATA, a comment or
// processing instruction, an entity other than the five predefined ones and
// character references, an undeclared prefix, a non-ASCII name, text that is
// not valid UTF-8 or contains characters XML forbids, mismatched tags ...);
// the loader then reads the part again with expat, which has the last word.
struct ScannerFallback : std::runtime_error {
    using std::runtime_error::runtime_error;
};
void readSheetWithScanner(Package& package, std::string_view part, SheetBuilder& builder);

}  // namespace xlsx::detail
