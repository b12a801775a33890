// Streaming XML with expat, namespace-aware, for every part of a workbook.
// A document type declaration is refused outright (entity bombs, external
// entities); nothing outside the part is ever read.
#pragma once

#include <exception>
#include <memory>
#include <string>
#include <string_view>

namespace xlsx::detail {

class Package;

// Namespace URIs that the reader accepts, transitional and strict alike.
namespace ns {
inline constexpr std::string_view kMainTransitional =
    "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
inline constexpr std::string_view kMainStrict = "http://purl.oclc.org/ooxml/spreadsheetml/main";
inline constexpr std::string_view kRelTransitional =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
inline constexpr std::string_view kRelStrict =
    "http://purl.oclc.org/ooxml/officeDocument/relationships";
inline constexpr std::string_view kPackageRels =
    "http://schemas.openxmlformats.org/package/2006/relationships";
inline constexpr std::string_view kMarkupCompatibility =
    "http://schemas.openxmlformats.org/markup-compatibility/2006";
inline bool isMain(std::string_view uri) { return uri == kMainTransitional || uri == kMainStrict; }
inline bool isRel(std::string_view uri) { return uri == kRelTransitional || uri == kRelStrict; }
}  // namespace ns

// The attributes of a start tag as expat hands them over: name/value pairs,
// a namespaced name being "URI\x01local".
class XmlAttributes {
public:
    explicit XmlAttributes(const char** atts) : atts_(atts) {}
    // Attribute without a namespace (the usual kind: r, s, t, numFmtId ...).
    const char* get(std::string_view local) const;
    // Attribute in a namespace given by the predicate on its URI.
    template <class UriPred>
    const char* getNs(UriPred isUri, std::string_view local) const;
    const char** raw() const { return atts_; }

private:
    const char** atts_;
};

class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    virtual void startElement(std::string_view uri, std::string_view local,
                              const XmlAttributes& atts) = 0;
    virtual void endElement(std::string_view uri, std::string_view local) = 0;
    virtual void characters(std::string_view text) = 0;
};

// One parse of one part. feed() throws LoadError (not well-formed, DTD) and
// rethrows whatever a handler threw.
class XmlReader {
public:
    // maxDepth: how deep elements may nest before the part is refused.
    XmlReader(XmlHandler& handler, std::string partName, size_t maxDepth);
    ~XmlReader();
    XmlReader(const XmlReader&) = delete;
    XmlReader& operator=(const XmlReader&) = delete;
    void feed(const char* data, size_t size, bool final);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Reads a whole part through the handler, straight from the package.
void parsePart(Package& package, std::string_view partName, XmlHandler& handler);

inline constexpr char kNsSeparator = '\x01';

template <class UriPred>
const char* XmlAttributes::getNs(UriPred isUri, std::string_view local) const {
    for (const char** a = atts_; a[0] != nullptr; a += 2) {
        std::string_view name(a[0]);
        const size_t sep = name.find(kNsSeparator);
        if (sep == std::string_view::npos) continue;
        if (name.substr(sep + 1) == local && isUri(name.substr(0, sep))) return a[1];
    }
    return nullptr;
}

}  // namespace xlsx::detail
