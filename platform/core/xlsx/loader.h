// The loader's internal switches, for tests, the fuzzer and the benchmark.
// The program itself uses Workbook::load, which takes the defaults.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "workbook.h"

namespace xlsx::detail {

enum class SheetReader {
    Scanner,  // the fast worksheet reader, falling back to expat where it must
    Expat,    // expat for every worksheet: the reference
};

struct LoadOptions {
    SheetReader sheetReader = SheetReader::Scanner;
    // When set, receives how many worksheets the scanner handed to expat.
    int* fallbacks = nullptr;
};

std::unique_ptr<Workbook> loadFile(const std::string& path, const Limits& limits,
                                   const LoadOptions& options);
std::unique_ptr<Workbook> loadMemory(std::string_view bytes, const Limits& limits,
                                     const LoadOptions& options);

// The part a relationship target names, seen from the part that holds the
// relationship: "/xl/x.xml" is absolute, "worksheets/sheet1.xml" relative to
// the source part's folder, "../x.xml" goes up; backslashes are slashes and
// %XX escapes are decoded.
std::string resolveTarget(std::string_view sourcePart, std::string_view target);

// The relationships part of a part: "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels".
std::string relationshipsPartOf(std::string_view part);

}  // namespace xlsx::detail
