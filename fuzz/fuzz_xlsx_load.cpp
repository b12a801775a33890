// Fuzz target: the input is a whole file. It is loaded as a workbook and
// every cell of every sheet is read, once with the worksheet scanner and once
// with expat alone; the two must agree.
#include <cstdint>

#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzxlsx::compareReaders(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
