#include "messages.h"

namespace xlsx::detail::msg {
namespace {

std::string quoted(std::string_view s) {
    // Names and values from a hostile file are shown short and printable.
    constexpr size_t kMax = 60;
    std::string out = "\"";
    size_t n = 0;
    for (char c : s) {
        if (n++ == kMax) {
            out += "...";
            break;
        }
        out.push_back(static_cast<unsigned char>(c) < 0x20 ? '?' : c);
    }
    out.push_back('"');
    return out;
}

std::string size(uint64_t bytes) {
    if (bytes >= (1ull << 20) && bytes % (1ull << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
    return std::to_string(bytes) + " bytes";
}

}  // namespace

std::string cannotOpen(std::string_view path) {
    return "The file " + quoted(path) + " cannot be opened";
}
std::string emptyFile() { return "The file is empty; it is not an .xlsx workbook"; }
std::string compoundFile() {
    return "The file is protected with a password (encrypted) or is an old-format Excel file; "
           "only unprotected .xlsx workbooks can be read";
}
std::string notZip() { return "The file is not an .xlsx workbook (not a ZIP package)"; }
std::string damagedZip() { return "The file is damaged: its ZIP structure cannot be read"; }
std::string outOfMemory() { return "There is not enough memory to read the workbook"; }
std::string tooManyEntries(uint64_t limit) {
    return "The workbook is refused as unsafe: it holds more than " + std::to_string(limit) +
           " ZIP entries";
}
std::string duplicatePart(std::string_view name) {
    return "The workbook is refused as ambiguous: it holds more than one part named " +
           quoted(name);
}
std::string missingPart(std::string_view name) {
    return "The workbook is damaged: the part " + quoted(name) + " is missing";
}
std::string unreadablePart(std::string_view name, std::string_view reason) {
    return "The workbook is damaged: the part " + quoted(name) + " cannot be read (" +
           std::string(reason) + ")";
}
std::string badChecksum(std::string_view name) {
    return "The workbook is damaged: the part " + quoted(name) + " fails its checksum";
}
std::string zipEncrypted() {
    return "The workbook is encrypted; only unprotected .xlsx workbooks can be read";
}
std::string unsupportedCompression(std::string_view name) {
    return "The workbook cannot be read: the part " + quoted(name) +
           " uses a compression method that is not supported";
}
std::string partTooLarge(std::string_view name, uint64_t limit) {
    return "The workbook is refused as unsafe: the part " + quoted(name) + " inflates to more than " +
           size(limit);
}
std::string totalTooLarge(uint64_t limit) {
    return "The workbook is refused as unsafe: its parts inflate to more than " + size(limit) +
           " in all";
}
std::string ratioTooHigh(std::string_view name, uint64_t ratio) {
    return "The workbook is refused as unsafe: the part " + quoted(name) + " inflates to more than " +
           std::to_string(ratio) + " times its compressed size";
}
std::string notWorkbook() {
    return "The file is a ZIP package but not an .xlsx workbook (it holds no workbook part)";
}
std::string doctypeRefused(std::string_view part) {
    return "The workbook is refused as unsafe: the part " + quoted(part) +
           " contains a document type declaration (DTD)";
}
std::string badXml(std::string_view part, std::string_view detail, uint64_t line) {
    return "The workbook is damaged: the part " + quoted(part) + " is not valid XML (line " +
           std::to_string(line) + ": " + std::string(detail) + ")";
}
std::string notWorksheet(std::string_view part) {
    return "The workbook is damaged: the part " + quoted(part) + " is not a worksheet";
}
std::string textTooLong(std::string_view where, uint64_t limit) {
    return "The workbook cannot be read: " + std::string(where) + " holds a text longer than " +
           std::to_string(limit) + " characters";
}
std::string tooManyCells(uint64_t limit) {
    return "The workbook is refused: it holds more than " + std::to_string(limit) + " cells";
}
std::string tooDeep(std::string_view part, uint64_t limit) {
    return "The workbook is refused as unsafe: the part " + quoted(part) + " nests its elements more than " +
           std::to_string(limit) + " deep";
}
std::string sharedPart(std::string_view part) {
    return "The workbook is damaged: more than one sheet refers to the part " + quoted(part);
}
std::string badReference(std::string_view sheet, std::string_view reference) {
    return "The workbook is damaged: the sheet " + quoted(sheet) +
           " holds a cell or row reference that is not valid (" + quoted(reference) + ")";
}
std::string badNumber(std::string_view sheet, std::string_view cell, std::string_view value) {
    return "The workbook is damaged: in the sheet " + quoted(sheet) + ", cell " + std::string(cell) +
           " holds " + quoted(value) + ", which is not a number";
}
std::string numberTooLarge(std::string_view sheet, std::string_view cell) {
    return "The workbook cannot be read: in the sheet " + quoted(sheet) + ", cell " +
           std::string(cell) + " holds a number too large for a spreadsheet";
}
std::string badBoolean(std::string_view sheet, std::string_view cell, std::string_view value) {
    return "The workbook is damaged: in the sheet " + quoted(sheet) + ", cell " + std::string(cell) +
           " holds " + quoted(value) + ", which is not a truth value";
}
std::string badSharedString(std::string_view sheet, std::string_view cell, std::string_view value) {
    return "The workbook is damaged: in the sheet " + quoted(sheet) + ", cell " + std::string(cell) +
           " refers to a shared text " + quoted(value) + " that the workbook does not hold";
}
std::string outsideGrid(std::string_view sheet) {
    return "The workbook is damaged: the sheet " + quoted(sheet) +
           " holds cells beyond row 1048576 or column XFD";
}

}  // namespace xlsx::detail::msg
