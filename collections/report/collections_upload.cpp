#include "collections_upload.h"

#include <algorithm>
#include <limits>
#include <vector>

#include <rapidjson/encodings.h>
#include <rapidjson/writer.h>

namespace report {

namespace {

// The output stream RapidJSON's writer streams the upload into: one growing
// std::string, written through a cursor. The writer announces how much it may
// write (PutReserve) before each token, so PutUnsafe only stores a byte.
class JsonSink {
public:
    using Ch = char;

    void Put(char c) {
        reserve(1);
        buffer_[used_++] = c;
    }
    void Flush() {}

    void reserve(size_t count) {
        if (buffer_.size() - used_ < count) grow(count);
    }
    void putUnsafe(char c) { buffer_[used_++] = c; }

    // Makes room for `total` bytes in all, when that is more than there is.
    void presize(size_t total) {
        if (total > buffer_.size()) buffer_.resize(total);
    }
    size_t used() const { return used_; }

    std::string take() {
        buffer_.resize(used_);
        used_ = 0;
        return std::move(buffer_);
    }

private:
    void grow(size_t count) {
        const size_t wanted = std::max({used_ + count, buffer_.size() + buffer_.size() / 2,
                                        size_t{4096}});
        buffer_.resize(wanted);
    }

    std::string buffer_;
    size_t used_ = 0;
};

// Found by argument-dependent lookup from inside the writer, in preference to
// RapidJSON's generic versions (which would call Put for every byte).
[[maybe_unused]] inline void PutReserve(JsonSink& sink, size_t count) { sink.reserve(count); }
[[maybe_unused]] inline void PutUnsafe(JsonSink& sink, char c) { sink.putUnsafe(c); }

// UTF-8 in, UTF-8 out, no validation: the writer escapes the quotation mark,
// the backslash and the characters below U+0020 (\b \t \n \f \r, the others
// as \u00XX with upper-case digits) and copies every other byte as it is.
using JsonWriter = rapidjson::Writer<JsonSink, rapidjson::UTF8<>, rapidjson::UTF8<>>;

constexpr std::string_view writerMessage = "Textul JSON nu a putut fi scris.";
constexpr std::string_view rowMessage = "Un rand din foaia Excel nu a putut fi citit.";

rapidjson::SizeType jsonLength(std::string_view text) {
    if (text.size() > std::numeric_limits<rapidjson::SizeType>::max())
        throw Error(std::string(writerMessage));
    return static_cast<rapidjson::SizeType>(text.size());
}

void writeKey(JsonWriter& writer, std::string_view name) {
    if (!writer.Key(name.data(), jsonLength(name))) throw Error(std::string(writerMessage));
}

void writeString(JsonWriter& writer, std::string_view text) {
    if (!writer.String(text.data(), jsonLength(text))) throw Error(std::string(writerMessage));
}

// Rows after which the buffer is sized for the whole report from what they took.
constexpr int sampleRows = 64;

}  // namespace

std::string asciiLower(std::string_view text) {
    std::string lowered(text);
    for (char& c : lowered) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lowered;
}

std::string fileNameOf(std::string_view path) {
    const size_t cut = path.find_last_of("\\/:");
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string extensionOf(std::string_view path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return {};
    const size_t separator = path.find_last_of("\\/:");
    if (separator != std::string_view::npos && separator > dot) return {};
    return asciiLower(path.substr(dot));
}

void checkExtension(std::string_view path) {
    if (extensionOf(path) != ".xlsx") throw Error(std::string(extensionMessage));
}

const xlsx::Sheet& courierSheet(const xlsx::Workbook& workbook) {
    if (workbook.sheetCount() <= courierSheetIndex) throw Error(std::string(noSecondSheetMessage));
    return workbook.sheet(courierSheetIndex);
}

void checkHeader(const xlsx::Sheet& sheet, const regional::Settings& settings) {
    for (size_t column = 0; column < columns.size(); ++column) {
        const std::string text = sheet.text(0, static_cast<int>(column), settings);
        if (asciiLower(text) != columns[column].header) throw Error(std::string(columns[column].message));
    }
}

std::string uploadJson(const xlsx::Sheet& sheet, std::string_view fileName,
                       const regional::Settings& settings) {
    JsonSink sink;
    JsonWriter writer(sink);
    const int lastRow = sheet.lastRow();
    std::vector<std::string> texts;
    writer.StartArray();
    for (int row = 1; row <= lastRow; ++row) {
        sheet.rowTexts(row, 0, static_cast<int>(columns.size()) - 1, settings, texts);
        if (texts.size() != columns.size()) throw Error(std::string(rowMessage));
        writer.StartObject();
        for (size_t column = 0; column < columns.size(); ++column) {
            writeKey(writer, columns[column].member);
            writeString(writer, texts[column]);
        }
        writeKey(writer, fileNameMember);
        writeString(writer, fileName);
        writer.EndObject();
        if (row == sampleRows && lastRow > sampleRows) {
            // Size the buffer for the whole report once, from the rows so far
            // and a little to spare, instead of growing it step by step.
            const double perRow = static_cast<double>(sink.used()) / sampleRows;
            sink.presize(static_cast<size_t>(perRow * 1.08 * lastRow) + 4096);
        }
    }
    writer.EndArray();
    if (!writer.IsComplete()) throw Error(std::string(writerMessage));
    return sink.take();
}

std::string collectionsUpload(const xlsx::Sheet& sheet, std::string_view chosenPath,
                              const regional::Settings& settings) {
    checkHeader(sheet, settings);
    return uploadJson(sheet, fileNameOf(chosenPath), settings);
}

std::string guardedMessage(std::string_view failure) {
    std::string message = "Err - ";
    message += failure;
    return message;
}

}  // namespace report
