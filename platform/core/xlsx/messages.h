// The reader's failure messages, in English, each readable by a user: what is
// wrong with the file, and where it helps, the part or cell concerned.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace xlsx::detail::msg {

std::string cannotOpen(std::string_view path);
std::string emptyFile();
std::string compoundFile();
std::string notZip();
std::string damagedZip();
std::string outOfMemory();
std::string tooManyEntries(uint64_t limit);
std::string duplicatePart(std::string_view name);
std::string missingPart(std::string_view name);
std::string unreadablePart(std::string_view name, std::string_view reason);
std::string badChecksum(std::string_view name);
std::string zipEncrypted();
std::string unsupportedCompression(std::string_view name);
std::string partTooLarge(std::string_view name, uint64_t limit);
std::string totalTooLarge(uint64_t limit);
std::string ratioTooHigh(std::string_view name, uint64_t ratio);

std::string notWorkbook();
std::string doctypeRefused(std::string_view part);
std::string badXml(std::string_view part, std::string_view detail, uint64_t line);
std::string notWorksheet(std::string_view part);
std::string textTooLong(std::string_view where, uint64_t limit);
std::string tooManyCells(uint64_t limit);
std::string tooDeep(std::string_view part, uint64_t limit);
std::string sharedPart(std::string_view part);

// Cell-level faults name the sheet and the cell (A1 style, or the row alone
// when the column is not known yet).
std::string badReference(std::string_view sheet, std::string_view reference);
std::string badNumber(std::string_view sheet, std::string_view cell, std::string_view value);
std::string numberTooLarge(std::string_view sheet, std::string_view cell);
std::string badBoolean(std::string_view sheet, std::string_view cell, std::string_view value);
std::string badSharedString(std::string_view sheet, std::string_view cell, std::string_view value);
std::string outsideGrid(std::string_view sheet);

}  // namespace xlsx::detail::msg
