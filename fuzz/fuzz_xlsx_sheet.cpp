// Fuzz target: the input is the XML of a worksheet part (optionally followed
// by "\n%%sst%%\n" and a shared-strings part), packed into a workbook with
// fixed styles. Deflate no longer stands between the fuzzer and the XML, so
// this one reaches the scanner and the cell rules; the scanner and expat must
// agree on every input.
#include <cstdint>

#include "fuzz_common.h"
#include "xlsx_parts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    constexpr std::string_view kSeparator = "\n%%sst%%\n";
    xlsxtest::Book book;
    const size_t cut = input.find(kSeparator);
    book.sheets.push_back({"Foaie1", std::string(input.substr(0, cut))});
    if (cut != std::string_view::npos) book.sharedStrings = std::string(input.substr(cut + kSeparator.size()));
    fuzzxlsx::compareReaders(xlsxtest::makeXlsx(book, /*stored=*/true));
    return 0;
}
