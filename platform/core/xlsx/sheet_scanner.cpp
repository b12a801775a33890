#include "sheet_parsers.h"

namespace xlsx::detail {

void readSheetWithScanner(Package&, std::string_view, SheetBuilder&) {
    throw ScannerFallback("not yet");
}

}  // namespace xlsx::detail
