#include <array>
#include <vector>

#include "sheet_parsers.h"
#include "xml_reader.h"

namespace xlsx::detail {
namespace {

class ExpatSheetHandler : public XmlHandler {
public:
    explicit ExpatSheetHandler(SheetBuilder& builder) : builder_(builder) {}

    void startElement(std::string_view uri, std::string_view local,
                      const XmlAttributes& atts) override {
        const Elem e = ns::isMain(uri) ? elementFromLocalName(local) : Elem::Other;
        attrs_.clear();
        if (e != Elem::Other) {
            for (const char** a = atts.raw(); a[0] != nullptr; a += 2) {
                std::string_view name(a[0]);
                if (name.find(kNsSeparator) == std::string_view::npos) attrs_.push_back({name, a[1]});
            }
        }
        builder_.start(e, attrs_);
    }
    void endElement(std::string_view, std::string_view) override { builder_.end(); }
    void characters(std::string_view text) override { builder_.text(text); }

private:
    SheetBuilder& builder_;
    std::vector<Attr> attrs_;
};

}  // namespace

void readSheetWithExpat(Package& package, std::string_view part, SheetBuilder& builder) {
    ExpatSheetHandler handler(builder);
    parsePart(package, part, handler);
    builder.finish();
}

}  // namespace xlsx::detail
