#include "xml_reader.h"

#include <expat.h>

#include <limits>

#include "messages.h"
#include "package.h"
#include "workbook.h"

namespace xlsx::detail {

const char* XmlAttributes::get(std::string_view local) const {
    for (const char** a = atts_; a[0] != nullptr; a += 2)
        if (std::string_view(a[0]) == local) return a[1];
    return nullptr;
}

namespace {

struct ParserFree {
    void operator()(XML_ParserStruct* p) const { XML_ParserFree(p); }
};

std::pair<std::string_view, std::string_view> splitName(const char* name) {
    std::string_view n(name);
    const size_t sep = n.find(kNsSeparator);
    if (sep == std::string_view::npos) return {std::string_view(), n};
    return {n.substr(0, sep), n.substr(sep + 1)};
}

}  // namespace

struct XmlReader::Impl {
    std::unique_ptr<XML_ParserStruct, ParserFree> parser;
    XmlHandler& handler;
    std::string part;
    bool doctype = false;
    std::exception_ptr failure;
    size_t depth = 0;
    size_t maxDepth;

    Impl(XmlHandler& h, std::string name, size_t max) : handler(h), part(std::move(name)), maxDepth(max) {}

    void stop() { XML_StopParser(parser.get(), XML_FALSE); }
    bool stopped() const { return failure != nullptr || doctype; }

    static void XMLCALL onStart(void* self, const XML_Char* name, const XML_Char** atts) {
        auto* me = static_cast<Impl*>(self);
        if (me->stopped()) return;  // expat may still report the end of an empty element
        try {
            if (++me->depth > me->maxDepth) throw LoadError(msg::tooDeep(me->part, me->maxDepth));
            auto [uri, local] = splitName(name);
            me->handler.startElement(uri, local, XmlAttributes(atts));
        } catch (...) {
            me->failure = std::current_exception();
            me->stop();
        }
    }
    static void XMLCALL onEnd(void* self, const XML_Char* name) {
        auto* me = static_cast<Impl*>(self);
        if (me->stopped()) return;  // expat may still report the end of an empty element
        try {
            --me->depth;
            auto [uri, local] = splitName(name);
            me->handler.endElement(uri, local);
        } catch (...) {
            me->failure = std::current_exception();
            me->stop();
        }
    }
    static void XMLCALL onText(void* self, const XML_Char* s, int len) {
        auto* me = static_cast<Impl*>(self);
        if (me->stopped()) return;  // expat may still report the end of an empty element
        try {
            me->handler.characters(std::string_view(s, static_cast<size_t>(len)));
        } catch (...) {
            me->failure = std::current_exception();
            me->stop();
        }
    }
    static void XMLCALL onDoctype(void* self, const XML_Char*, const XML_Char*, const XML_Char*,
                                  int) {
        auto* me = static_cast<Impl*>(self);
        me->doctype = true;
        me->stop();
    }
    static void XMLCALL onEntityDecl(void* self, const XML_Char*, int, const XML_Char*, int,
                                     const XML_Char*, const XML_Char*, const XML_Char*,
                                     const XML_Char*) {
        auto* me = static_cast<Impl*>(self);
        me->doctype = true;
        me->stop();
    }
    static int XMLCALL onExternalEntity(XML_Parser, const XML_Char*, const XML_Char*,
                                        const XML_Char*, const XML_Char*) {
        return XML_STATUS_ERROR;  // never resolved
    }
};

XmlReader::XmlReader(XmlHandler& handler, std::string partName, size_t maxDepth)
    : impl_(std::make_unique<Impl>(handler, std::move(partName), maxDepth)) {
    impl_->parser.reset(XML_ParserCreateNS(nullptr, kNsSeparator));
    if (!impl_->parser) throw LoadError(msg::outOfMemory());
    XML_Parser p = impl_->parser.get();
    XML_SetUserData(p, impl_.get());
    XML_SetElementHandler(p, &Impl::onStart, &Impl::onEnd);
    XML_SetCharacterDataHandler(p, &Impl::onText);
    XML_SetStartDoctypeDeclHandler(p, &Impl::onDoctype);
    XML_SetEntityDeclHandler(p, &Impl::onEntityDecl);
    XML_SetExternalEntityRefHandler(p, &Impl::onExternalEntity);
    XML_SetParamEntityParsing(p, XML_PARAM_ENTITY_PARSING_NEVER);
}

XmlReader::~XmlReader() = default;

void XmlReader::feed(const char* data, size_t size, bool final) {
    XML_Parser p = impl_->parser.get();
    // expat takes an int length: large pieces go in slices.
    constexpr size_t kSlice = size_t{1} << 30;
    do {
        const size_t n = size < kSlice ? size : kSlice;
        const bool last = final && n == size;
        const XML_Status status = XML_Parse(p, data, static_cast<int>(n), last ? XML_TRUE : XML_FALSE);
        if (impl_->failure) std::rethrow_exception(impl_->failure);
        if (impl_->doctype) throw LoadError(msg::doctypeRefused(impl_->part));
        if (status != XML_STATUS_OK) {
            throw LoadError(msg::badXml(impl_->part, XML_ErrorString(XML_GetErrorCode(p)),
                                        static_cast<uint64_t>(XML_GetCurrentLineNumber(p))));
        }
        data += n;
        size -= n;
    } while (size > 0);
}

void parsePart(Package& package, std::string_view partName, XmlHandler& handler) {
    XmlReader reader(handler, std::string(partName), package.limits().maxDepth);
    package.read(partName, [&](const char* data, size_t size) { reader.feed(data, size, false); });
    reader.feed("", 0, true);
}

}  // namespace xlsx::detail
