// xlsx-upload FILE: prints to standard output the collections upload that the
// take-over of the collections window would send for FILE, byte for byte, with
// the regional settings of the process locale. On a failure it prints the
// message the take-over would show to standard error and exits with 1.
//
// For support staff (what did this report send?) and for benchmarks.
#include <clocale>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <string_view>

#include "collections_upload.h"
#include "regional.h"
#include "workbook.h"

namespace {

constexpr const char* usage =
    "Usage: xlsx-upload FILE\n"
    "Prints the collections upload (the JSON text the take-over of a Sameday\n"
    "report sends to the database) for the workbook FILE, read with the\n"
    "regional settings of the locale (LC_ALL, LC_NUMERIC, LC_TIME).\n"
    "On a failure prints the take-over's message to standard error and exits 1.\n";

// The error box's rule: a text whose last character comes after the full stop
// (a letter, a digit, a quotation mark does not) gets a full stop appended.
std::string shown(std::string message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') message += '.';
    return message;
}

int fail(const std::string& message) {
    const std::string text = shown(message) + "\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
    return 1;
}

int run(const std::string& path) {
    const regional::Settings settings = regional::current();

    // Outside the take-over's guarded block: these messages show as they are.
    std::unique_ptr<xlsx::Workbook> workbook;
    const xlsx::Sheet* sheet = nullptr;
    try {
        report::checkExtension(path);
        workbook = xlsx::Workbook::load(path);
        sheet = &report::courierSheet(*workbook);
    } catch (const std::exception& error) {
        return fail(error.what());
    }

    // The guarded block: a failure shows as "Err - " and its message.
    std::string upload;
    try {
        upload = report::collectionsUpload(*sheet, path, settings);
    } catch (const std::exception& error) {
        return fail(report::guardedMessage(error.what()));
    }
    if (std::fwrite(upload.data(), 1, upload.size(), stdout) != upload.size() ||
        std::fflush(stdout) != 0) {
        std::fputs("xlsx-upload: cannot write to standard output\n", stderr);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (argc != 2) {
        std::fputs(usage, stderr);
        return 2;
    }
    return run(argv[1]);
}
