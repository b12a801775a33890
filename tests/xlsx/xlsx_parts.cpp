#include "xlsx_parts.h"

#include <zip.h>

#include <memory>
#include <stdexcept>

namespace xlsxtest {
namespace {

struct SourceFree {
    void operator()(zip_source_t* s) const { zip_source_free(s); }
};

const char* const kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const char* const kPkg = "http://schemas.openxmlformats.org/package/2006/relationships";

}  // namespace

namespace {
std::string zipWith(const std::vector<Part>& parts, bool stored, const char* password);
}

std::string zipParts(const std::vector<Part>& parts, bool stored) { return zipWith(parts, stored, nullptr); }

std::string zipPartsEncrypted(const std::vector<Part>& parts, const char* password) {
    return zipWith(parts, false, password);
}

namespace {
std::string zipWith(const std::vector<Part>& parts, bool stored, const char* password) {
    zip_error_t err;
    zip_error_init(&err);
    std::unique_ptr<zip_source_t, SourceFree> src(zip_source_buffer_create(nullptr, 0, 0, &err));
    zip_error_fini(&err);
    if (!src) throw std::runtime_error("zip source");
    zip_source_keep(src.get());  // the archive's close must leave the bytes to us
    zip_error_init(&err);
    zip_t* za = zip_open_from_source(src.get(), ZIP_TRUNCATE, &err);
    zip_error_fini(&err);
    if (za == nullptr) {
        zip_source_free(src.get());  // drop the reference zip_source_keep added
        throw std::runtime_error("zip open");
    }
    for (const Part& p : parts) {
        zip_source_t* data = zip_source_buffer(za, p.data.data(), p.data.size(), 0);
        const zip_int64_t index = data == nullptr ? -1 : zip_file_add(za, p.name.c_str(), data, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            if (data != nullptr) zip_source_free(data);
            zip_discard(za);
            throw std::runtime_error("zip add " + p.name);
        }
        if (stored) zip_set_file_compression(za, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
        if (password != nullptr &&
            zip_file_set_encryption(za, static_cast<zip_uint64_t>(index), ZIP_EM_AES_256, password) != 0) {
            zip_discard(za);
            throw std::runtime_error("zip encryption");
        }
    }
    if (zip_close(za) != 0) {
        zip_discard(za);
        throw std::runtime_error("zip close");
    }
    std::string out;
    zip_stat_t st;
    if (zip_source_stat(src.get(), &st) != 0 || zip_source_open(src.get()) != 0)
        throw std::runtime_error("zip read back");
    out.resize(st.size);
    const zip_int64_t n = zip_source_read(src.get(), out.data(), st.size);
    zip_source_close(src.get());
    if (n < 0 || static_cast<zip_uint64_t>(n) != st.size) throw std::runtime_error("zip read back");
    return out;
}
}  // namespace

std::string sheetXml(const std::string& rows, const std::string& beforeData) {
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet xmlns=\"") +
           kMain + "\" xmlns:r=\"" + kRel + "\">" + beforeData + "<sheetData>" + rows +
           "</sheetData></worksheet>";
}

std::string standardStyles() {
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><styleSheet xmlns=\"") + kMain +
           "\"><numFmts count=\"5\">"
           "<numFmt numFmtId=\"164\" formatCode=\"dd.mm.yyyy\"/>"
           "<numFmt numFmtId=\"165\" formatCode=\"hh:mm\"/>"
           "<numFmt numFmtId=\"166\" formatCode=\"[Red]#,##0.00\"/>"
           "<numFmt numFmtId=\"167\" formatCode=\"&quot;Data: &quot;0\"/>"
           "<numFmt numFmtId=\"168\" formatCode=\"#,##0.00\"/>"
           "</numFmts><cellXfs count=\"10\">"
           "<xf numFmtId=\"0\"/><xf numFmtId=\"164\"/><xf numFmtId=\"165\"/><xf numFmtId=\"14\"/>"
           "<xf numFmtId=\"46\"/><xf numFmtId=\"166\"/><xf numFmtId=\"167\"/><xf numFmtId=\"22\"/>"
           "<xf numFmtId=\"168\"/><xf numFmtId=\"49\"/>"
           "</cellXfs></styleSheet>";
}

std::string sharedStringsXml(const std::string& items) {
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><sst xmlns=\"") + kMain + "\">" +
           items + "</sst>";
}

std::vector<Part> bookParts(const Book& book) {
    std::vector<Part> parts;
    parts.push_back({"[Content_Types].xml",
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                     "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                     "<Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>"});
    parts.push_back({"_rels/.rels", std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"") + kPkg +
                                        "\"><Relationship Id=\"rId1\" Type=\"" + kRel +
                                        "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"});
    std::string workbook = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook xmlns=\"") + kMain +
                           "\" xmlns:r=\"" + kRel + "\">" + book.workbookPr + "<sheets>";
    std::string rels = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"") + kPkg + "\">";
    for (size_t i = 0; i < book.sheets.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        workbook += "<sheet name=\"" + book.sheets[i].first + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
        rels += "<Relationship Id=\"rId" + n + "\" Type=\"" + kRel + "/worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
        parts.push_back({"xl/worksheets/sheet" + n + ".xml", book.sheets[i].second});
    }
    workbook += "</sheets></workbook>";
    if (!book.styles.empty()) {
        rels += std::string("<Relationship Id=\"rIdS\" Type=\"") + kRel + "/styles\" Target=\"styles.xml\"/>";
        parts.push_back({"xl/styles.xml", book.styles});
    }
    if (!book.sharedStrings.empty()) {
        rels += std::string("<Relationship Id=\"rIdT\" Type=\"") + kRel + "/sharedStrings\" Target=\"sharedStrings.xml\"/>";
        parts.push_back({"xl/sharedStrings.xml", book.sharedStrings});
    }
    rels += "</Relationships>";
    parts.push_back({"xl/workbook.xml", workbook});
    parts.push_back({"xl/_rels/workbook.xml.rels", rels});
    return parts;
}

std::string makeXlsx(const Book& book, bool stored) { return zipParts(bookParts(book), stored); }

}  // namespace xlsxtest
