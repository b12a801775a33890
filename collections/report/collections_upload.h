// The collections upload: what the take-over of a Sameday collections report
// checks in the workbook and the JSON text it hands to o_sameday_log_ins.
//
// Plain C++ (no Qt): the collections window and the support tool xlsx-upload
// both go through these functions, so the tool prints exactly what the window
// sends.
//
// The take-over, and which function serves each of its steps:
//   extension of the chosen path   checkExtension          (outside the guard)
//   load the workbook              xlsx::Workbook::load     (outside the guard)
//   the second worksheet           courierSheet             (outside the guard)
//   header check + JSON text       collectionsUpload        (inside the guard:
//                                  a failure is shown as guardedMessage(...))
#pragma once

#include <array>
#include <stdexcept>
#include <string>
#include <string_view>

#include "regional.h"
#include "workbook.h"

namespace report {

// A failure of the take-over, carrying the message the user reads.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One column of the courier report: its header text after ASCII lower-casing,
// the message when the header differs, and the member of the upload object.
struct Column {
    std::string_view header;
    std::string_view message;
    std::string_view member;
};

inline constexpr std::array<Column, 11> columns{{
    {"awb", " Coloana A din fisier trebuie sa se numeasca \"AWB\"", "awb"},
    {"nume destinatar", " Coloana B din fisier trebuie sa se numeasca \"Nume destinatar\"",
     "numeDestinatar"},
    {"judet destinatar", " Coloana C din fisier trebuie sa se numeasca \"Judet destinatar\"",
     "judetDestinatar"},
    {"oras destinatar", " Coloana D din fisier trebuie sa se numeasca \"Oras destinatar\"",
     "orasDestinatar"},
    {"adresa destinatar", " Coloana E din fisier trebuie sa se numeasca \"Adresa destinatar\"",
     "adresaDestinatar"},
    {"adresa ridicare", " Coloana F din fisier trebuie sa se numeasca \"Adresa ridicare\"",
     "adresaRidicare"},
    {"referinta client", " Coloana G din fisier trebuie sa se numeasca \"Referinta client\"",
     "referintaClient"},
    {"suma ramburs", " Coloana H din fisier trebuie sa se numeasca \"Suma ramburs\"",
     "sumaRamburs"},
    {"data", " Coloana I din fisier trebuie sa se numeasca \"Data\"", "dataAwb"},
    {"data colectare ramburs",
     " Coloana J din fisier trebuie sa se numeasca \"Data colectare ramburs\"",
     "dataColectareRamburs"},
    {"numar colete livrate",
     " Coloana K din fisier trebuie sa se numeasca \"Numar colete livrate\"",
     "numarColeteLivrate"},
}};

// The member that carries the chosen file's name.
inline constexpr std::string_view fileNameMember = "numeFisier";

// The worksheet the take-over reads: the second one, counting worksheets only.
inline constexpr size_t courierSheetIndex = 1;

inline constexpr std::string_view extensionMessage = "Extensia fisier trebuie sa fie \"xlsx\"";
// Our own message for a workbook without a second worksheet (the take-over
// shows it as it is, like the reader's own load failures).
inline constexpr std::string_view noSecondSheetMessage =
    "Fisierul Excel nu are foaia a doua (foaia cu incasarile).";

// Lower-cases the ASCII letters A to Z only; every other byte is kept.
std::string asciiLower(std::string_view text);

// The file's name: the part of the path after its last backslash, slash or colon.
std::string fileNameOf(std::string_view path);

// The extension as the take-over tests it: from the last full stop onward when
// that full stop comes after the last backslash, slash and colon, otherwise
// empty; ASCII letters lower-cased. "C:\\a\\Incasari.XLSX" gives ".xlsx".
std::string extensionOf(std::string_view path);

// Throws Error(extensionMessage) unless extensionOf(path) is ".xlsx".
void checkExtension(std::string_view path);

// The sheet at courierSheetIndex; Error(noSecondSheetMessage) when the
// workbook has fewer than two worksheets.
const xlsx::Sheet& courierSheet(const xlsx::Workbook& workbook);

// The header check of row 0, columns A to K in order: throws Error with the
// message of the first column whose text, ASCII lower-cased, differs from the
// expected header. Nothing is trimmed; a cell the workbook leaves out reads as
// the empty text and so differs.
void checkHeader(const xlsx::Sheet& sheet, const regional::Settings& settings);

// The JSON array of the data rows 1..lastRow (no header check): twelve string
// members per object, no white space, "[]" when there is no data row.
std::string uploadJson(const xlsx::Sheet& sheet, std::string_view fileName,
                       const regional::Settings& settings);

// The whole guarded part of the take-over: the header check, then the upload
// text with numeFisier = fileNameOf(chosenPath). Throws Error.
std::string collectionsUpload(const xlsx::Sheet& sheet, std::string_view chosenPath,
                              const regional::Settings& settings);

// The message of a failure inside the guarded part, as the take-over raises it.
std::string guardedMessage(std::string_view failure);

}  // namespace report
