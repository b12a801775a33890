// The worksheet scanner: a small, strict XML reader for the cell stream.
//
// Spreadsheet programs write worksheets as one long run of tags with short
// attribute values and short texts, in UTF-8, without DTD, comments, CDATA or
// processing instructions. The scanner reads exactly that and hands the same
// events to the SheetBuilder that expat would. Everything outside that
// subset makes it give up (ScannerFallback) so that expat reads the part
// instead: expat has the last word on what is well-formed.
//
// The part arrives in pieces. The scanner only ever acts on whole tokens (a
// tag, or a text up to the next "<"): a token cut by the end of a piece is
// left for the next round, when the rest has arrived.
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "package.h"
#include "sheet_parsers.h"
#include "utf8.h"
#include "xml_reader.h"

namespace xlsx::detail {
namespace {

constexpr size_t kMaxAttributes = 32;
constexpr size_t kMaxBindings = 64;
constexpr size_t kMaxTokenBytes = 1u << 20;
constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";
constexpr std::string_view kXmlnsNamespace = "http://www.w3.org/2000/xmlns/";

enum : uint8_t {
    kNameStart = 1,  // A-Z a-z _
    kName = 2,       // and 0-9 . - :
    kSpace = 4,      // space, tab, CR, LF
    kTextPlain = 8,  // a text byte that needs no attention (not & < > ] CR, control or non-ASCII)
    kAttrPlain = 16  // an attribute byte that needs no attention (not & < quote, control, non-ASCII)
};

constexpr std::array<uint8_t, 256> makeClasses() {
    std::array<uint8_t, 256> t{};
    for (int c = 0; c < 256; ++c) {
        uint8_t v = 0;
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (letter || c == '_') v |= kNameStart | kName;
        if ((c >= '0' && c <= '9') || c == '.' || c == '-' || c == ':') v |= kName;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') v |= kSpace;
        if (c >= 0x20 && c < 0x80 && c != '&' && c != '<' && c != ']' && c != '>') v |= kTextPlain;
        if (c == '\t' || c == '\n') v |= kTextPlain;
        if (c >= 0x20 && c < 0x80 && c != '&' && c != '<' && c != '"' && c != '\'') v |= kAttrPlain;
        t[static_cast<size_t>(c)] = v;
    }
    return t;
}
constexpr std::array<uint8_t, 256> kClass = makeClasses();

inline uint8_t cls(char c) { return kClass[static_cast<unsigned char>(c)]; }
inline bool isSpace(char c) { return (cls(c) & kSpace) != 0; }

[[noreturn]] void giveUp(const char* why) { throw ScannerFallback(why); }

bool isXmlChar(uint32_t cp) {
    return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
           (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

void appendUtf8(std::string& out, uint32_t cp) { text::appendUtf8(out, cp); }

// One UTF-8 sequence at p (p < end, *p >= 0x80), which must be whole inside
// the token; the bytes it takes, after checking it is a character XML allows.
size_t utf8Sequence(const char* p, const char* end) {
    const auto b0 = static_cast<unsigned char>(p[0]);
    size_t n = 0;
    uint32_t cp = 0, min = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) { n = 2; cp = b0 & 0x1Fu; min = 0x80; }
    else if (b0 >= 0xE0 && b0 <= 0xEF) { n = 3; cp = b0 & 0x0Fu; min = 0x800; }
    else if (b0 >= 0xF0 && b0 <= 0xF4) { n = 4; cp = b0 & 0x07u; min = 0x10000; }
    else giveUp("invalid UTF-8");
    if (static_cast<size_t>(end - p) < n) giveUp("truncated UTF-8");
    for (size_t k = 1; k < n; ++k) {
        const auto b = static_cast<unsigned char>(p[k]);
        if ((b & 0xC0) != 0x80) giveUp("invalid UTF-8");
        cp = (cp << 6) | (b & 0x3Fu);
    }
    if (cp < min || (cp >= 0xD800 && cp <= 0xDFFF) || !isXmlChar(cp)) giveUp("invalid character");
    return n;
}

// An entity or character reference at p ('&'), inside [p, end): appends what
// it stands for and returns its length.
size_t reference(const char* p, const char* end, std::string& out) {
    const char* semi = static_cast<const char*>(std::memchr(p, ';', static_cast<size_t>(end - p)));
    if (semi == nullptr || semi - p > 12) giveUp("reference");
    const std::string_view name(p + 1, static_cast<size_t>(semi - p - 1));
    if (name == "lt") out.push_back('<');
    else if (name == "gt") out.push_back('>');
    else if (name == "amp") out.push_back('&');
    else if (name == "quot") out.push_back('"');
    else if (name == "apos") out.push_back('\'');
    else if (name.size() >= 2 && name[0] == '#') {
        uint32_t cp = 0;
        const bool hex = name[1] == 'x';
        const std::string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty() || digits.size() > 8) giveUp("reference");
        for (char c : digits) {
            uint32_t d = 0;
            if (c >= '0' && c <= '9') d = static_cast<uint32_t>(c - '0');
            else if (hex && c >= 'a' && c <= 'f') d = static_cast<uint32_t>(c - 'a' + 10);
            else if (hex && c >= 'A' && c <= 'F') d = static_cast<uint32_t>(c - 'A' + 10);
            else giveUp("reference");
            cp = cp * (hex ? 16u : 10u) + d;
        }
        if (!isXmlChar(cp)) giveUp("reference to a character XML forbids");
        appendUtf8(out, cp);
    } else {
        giveUp("entity");  // no DTD, so no other entity exists
    }
    return static_cast<size_t>(semi - p) + 1;
}

struct Binding {
    std::string prefix;
    std::string uri;
};

struct OpenElement {
    uint32_t nameOffset;
    uint32_t nameLength;
    uint32_t bindings;  // bindings in force before this element
    bool defaultMain;   // the default namespace before this element was main
};

struct RawAttribute {
    const char* name;
    uint32_t nameLength;
    uint32_t colon;  // position of ':' in the name, or 0
    bool decoded;    // value in scratch (offset) rather than in the buffer
    const char* value;
    uint32_t valueOffset;
    uint32_t valueLength;
};

class Scanner {
public:
    Scanner(SheetBuilder& builder, size_t maxDepth) : builder_(builder), maxDepth_(maxDepth) {}

    // Consumes the whole tokens of [data, data + size); returns how many bytes
    // it took. With `final`, the data is the rest of the part.
    size_t scan(const char* data, size_t size, bool final);

private:
    enum class State { Start, BeforeRoot, Content, AfterRoot };
    enum class Step { Done, NeedMore };

    bool simpleCell(const char*& p, const char* end);
    Step startTag(const char*& p, const char* end);
    Step endTag(const char*& p, const char* end);
    Step text(const char*& p, const char* end, bool final);
    Step declaration(const char*& p, const char* end);
    const Binding* lookup(std::string_view prefix) const;
    bool isMainUri(std::string_view uri) const { return ns::isMain(uri); }

    SheetBuilder& builder_;
    size_t maxDepth_;
    State state_ = State::Start;
    std::vector<OpenElement> open_;
    std::string names_;  // the qualified names of the open elements, back to back
    std::vector<Binding> bindings_;
    bool defaultMain_ = false;  // the default namespace is SpreadsheetML's
    std::vector<RawAttribute> raw_;
    std::vector<Attr> attrs_;
    std::string scratch_;
    std::string textScratch_;
};

const Binding* Scanner::lookup(std::string_view prefix) const {
    for (auto it = bindings_.rbegin(); it != bindings_.rend(); ++it)
        if (it->prefix == prefix) return &*it;
    return nullptr;
}

size_t Scanner::scan(const char* data, size_t size, bool final) {
    const char* p = data;
    const char* const end = data + size;
    if (state_ == State::Start) {
        if (size < 6 && !final) return 0;
        if (size >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;
        state_ = State::BeforeRoot;
        if (end - p >= 5 && std::memcmp(p, "<?xml", 5) == 0) {
            const char* q = p;
            if (declaration(q, end) == Step::NeedMore) {
                if (final) giveUp("unfinished declaration");
                state_ = State::Start;
                return 0;
            }
            p = q;
        }
    }
    while (p < end) {
        const char* token = p;
        Step step;
        if (*p == '<') {
            if (end - p < 2) {
                step = Step::NeedMore;
            } else if (p[1] == '/') {
                step = endTag(p, end);
            } else if (p[1] == '?' || p[1] == '!') {
                giveUp("comment, CDATA, DOCTYPE or processing instruction");
            } else if (p[1] == 'c' && defaultMain_ && open_.size() < maxDepth_ && builder_.inRow() &&
                       simpleCell(p, end)) {
                step = Step::Done;
            } else {
                step = startTag(p, end);
            }
        } else {
            step = text(p, end, final);
        }
        if (step == Step::NeedMore) {
            if (final) giveUp("unfinished token");
            return static_cast<size_t>(token - data);
        }
    }
    if (final && state_ != State::AfterRoot) giveUp("no complete root element");
    return size;
}

Scanner::Step Scanner::declaration(const char*& p, const char* end) {
    // <?xml version="1.0" encoding="UTF-8" standalone="yes"?> : the usual
    // forms only; anything else is expat's to judge.
    const char* close = nullptr;
    for (const char* q = p + 5; q + 1 < end; ++q)
        if (q[0] == '?' && q[1] == '>') {
            close = q;
            break;
        }
    if (close == nullptr) {
        if (end - p > 512) giveUp("long declaration");
        return Step::NeedMore;
    }
    const std::string_view decl(p + 5, static_cast<size_t>(close - p - 5));
    size_t i = 0;
    int seen = 0;
    bool sawVersion = false;
    while (i < decl.size()) {
        if (!isSpace(decl[i])) giveUp("declaration");
        while (i < decl.size() && isSpace(decl[i])) ++i;
        if (i == decl.size()) break;
        const size_t nameStart = i;
        while (i < decl.size() && decl[i] >= 'a' && decl[i] <= 'z') ++i;
        const std::string_view name = decl.substr(nameStart, i - nameStart);
        while (i < decl.size() && isSpace(decl[i])) ++i;
        if (i == decl.size() || decl[i] != '=') giveUp("declaration");
        ++i;
        while (i < decl.size() && isSpace(decl[i])) ++i;
        if (i == decl.size() || (decl[i] != '"' && decl[i] != '\'')) giveUp("declaration");
        const char quote = decl[i++];
        const size_t valueEnd = decl.find(quote, i);
        if (valueEnd == std::string_view::npos) giveUp("declaration");
        const std::string_view value = decl.substr(i, valueEnd - i);
        i = valueEnd + 1;
        auto lowerEquals = [](std::string_view a, std::string_view b) {
            if (a.size() != b.size()) return false;
            for (size_t k = 0; k < a.size(); ++k) {
                char c = a[k];
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
                if (c != b[k]) return false;
            }
            return true;
        };
        if (name == "version" && seen == 0 && value == "1.0") {
            seen = 1;
            sawVersion = true;
        } else if (name == "encoding" && seen == 1 && (lowerEquals(value, "utf-8"))) {
            seen = 2;
        } else if (name == "standalone" && seen >= 1 && seen <= 2 && (value == "yes" || value == "no")) {
            seen = 3;
        } else {
            giveUp("declaration");
        }
    }
    if (!sawVersion) giveUp("declaration");
    p = close + 2;
    return Step::Done;
}

// The common cell in one piece: <c r=".." s=".." t="..">, then nothing,
// <v>text</v> or <is><t>text</t></is>, then </c>; or <c .../>. Plain ASCII
// values and texts only (nothing to decode), single spaces, double quotes.
// Anything else, or the end of the data, and the cell goes the general way.
bool Scanner::simpleCell(const char*& p, const char* end) {
    const char* q = p + 2;
    std::string_view values[3];
    bool present[3] = {false, false, false};
    for (;;) {
        if (q == end) return false;
        if (*q != ' ') break;
        if (end - q < 5) return false;
        const char n = q[1];
        const int slot = n == 'r' ? 0 : n == 's' ? 1 : n == 't' ? 2 : -1;
        if (slot < 0 || present[slot] || q[2] != '=' || q[3] != '"') return false;
        const char* v = q + 4;
        const char* r = v;
        while (r < end && (cls(*r) & kAttrPlain) != 0) ++r;
        if (r == end || *r != '"') return false;
        present[slot] = true;
        values[slot] = std::string_view(v, static_cast<size_t>(r - v));
        q = r + 1;
    }
    auto has = [&](std::string_view s) {
        return static_cast<size_t>(end - q) >= s.size() && std::memcmp(q, s.data(), s.size()) == 0;
    };
    auto plainText = [&](const char*& r) {
        const char* start = r;
        while (r < end && (cls(*r) & kTextPlain) != 0) ++r;
        return std::string_view(start, static_cast<size_t>(r - start));
    };
    const std::string_view* value = nullptr;
    const std::string_view* inlineText = nullptr;
    std::string_view text;
    if (has("/>")) {
        q += 2;
    } else if (has("></c>")) {
        q += 5;
    } else if (has("><v>")) {
        q += 4;
        text = plainText(q);
        if (!has("</v></c>")) return false;
        q += 8;
        value = &text;
    } else if (has("><is><t>")) {
        q += 8;
        text = plainText(q);
        if (!has("</t></is></c>")) return false;
        q += 13;
        inlineText = &text;
    } else {
        return false;
    }
    if (state_ == State::AfterRoot) return false;
    builder_.simpleCell(present[0] ? &values[0] : nullptr, present[1] ? &values[1] : nullptr,
                        present[2] ? &values[2] : nullptr, value, inlineText);
    p = q;
    return true;
}

Scanner::Step Scanner::startTag(const char*& p, const char* end) {
    const char* q = p + 1;
    // The element's name.
    if (q == end) return Step::NeedMore;
    if ((cls(*q) & kNameStart) == 0) giveUp("name");
    const char* name = q;
    uint32_t colon = 0;
    while (q < end && (cls(*q) & kName) != 0) {
        if (*q == ':') {
            if (colon != 0) giveUp("name");
            colon = static_cast<uint32_t>(q - name);
        }
        ++q;
    }
    if (q == end) return Step::NeedMore;
    const auto nameLength = static_cast<uint32_t>(q - name);
    if (colon != 0 && (colon + 1 == nameLength || (cls(name[colon + 1]) & kNameStart) == 0))
        giveUp("name");

    // Attributes.
    raw_.clear();
    scratch_.clear();
    bool empty = false;
    for (;;) {
        if (q == end) return Step::NeedMore;
        if (*q == '>') {
            ++q;
            break;
        }
        if (*q == '/') {
            if (q + 1 == end) return Step::NeedMore;
            if (q[1] != '>') giveUp("tag");
            q += 2;
            empty = true;
            break;
        }
        if (!isSpace(*q)) giveUp("tag");
        while (q < end && isSpace(*q)) ++q;
        if (q == end) return Step::NeedMore;
        if (*q == '>' || *q == '/') continue;
        if ((cls(*q) & kNameStart) == 0) giveUp("attribute name");
        RawAttribute a{};
        a.name = q;
        while (q < end && (cls(*q) & kName) != 0) {
            if (*q == ':') {
                if (a.colon != 0) giveUp("attribute name");
                a.colon = static_cast<uint32_t>(q - a.name);
            }
            ++q;
        }
        a.nameLength = static_cast<uint32_t>(q - a.name);
        if (a.colon != 0 && (a.colon + 1 == a.nameLength || (cls(a.name[a.colon + 1]) & kNameStart) == 0))
            giveUp("attribute name");
        while (q < end && isSpace(*q)) ++q;
        if (q == end) return Step::NeedMore;
        if (*q != '=') giveUp("attribute");
        ++q;
        while (q < end && isSpace(*q)) ++q;
        if (q == end) return Step::NeedMore;
        const char quote = *q;
        if (quote != '"' && quote != '\'') giveUp("attribute");
        ++q;
        const char* v = q;
        while (q < end && (cls(*q) & kAttrPlain) != 0) ++q;
        if (q == end) return Step::NeedMore;
        if (*q == quote) {
            a.value = v;
            a.valueLength = static_cast<uint32_t>(q - v);
            ++q;
        } else {
            // Something to decode: find the closing quote first.
            const char* close = static_cast<const char*>(std::memchr(q, quote, static_cast<size_t>(end - q)));
            if (close == nullptr) return Step::NeedMore;
            a.decoded = true;
            a.valueOffset = static_cast<uint32_t>(scratch_.size());
            for (const char* r = v; r < close;) {
                const char c = *r;
                if ((cls(c) & kAttrPlain) != 0 || c == (quote == '"' ? '\'' : '"')) {
                    scratch_.push_back(c);
                    ++r;
                } else if (c == '&') {
                    r += reference(r, close, scratch_);
                } else if (c == '\t' || c == '\n') {
                    scratch_.push_back(' ');
                    ++r;
                } else if (c == '\r') {
                    scratch_.push_back(' ');
                    r += (r + 1 < close && r[1] == '\n') ? 2 : 1;
                } else if (static_cast<unsigned char>(c) >= 0x80) {
                    const size_t n = utf8Sequence(r, close);
                    scratch_.append(r, n);
                    r += n;
                } else {
                    giveUp("attribute value");  // '<' or a control character
                }
            }
            a.valueLength = static_cast<uint32_t>(scratch_.size() - a.valueOffset);
            q = close + 1;
        }
        if (q == end) return Step::NeedMore;
        if (!isSpace(*q) && *q != '>' && *q != '/') giveUp("attribute");
        // Real tags have a handful; many more is expat's to handle (its
        // check for duplicates does not grow with the square of the count).
        if (raw_.size() == kMaxAttributes) giveUp("many attributes");
        raw_.push_back(a);
    }

    // The whole tag is here: check it, then hand it on.
    for (size_t i = 0; i < raw_.size(); ++i)
        for (size_t k = i + 1; k < raw_.size(); ++k)
            if (raw_[i].nameLength == raw_[k].nameLength &&
                std::memcmp(raw_[i].name, raw_[k].name, raw_[i].nameLength) == 0)
                giveUp("duplicate attribute");

    OpenElement open{static_cast<uint32_t>(names_.size()), nameLength,
                     static_cast<uint32_t>(bindings_.size()), defaultMain_};
    auto valueOf = [&](const RawAttribute& a) {
        return a.decoded ? std::string_view(scratch_).substr(a.valueOffset, a.valueLength)
                         : std::string_view(a.value, a.valueLength);
    };
    for (const RawAttribute& a : raw_) {
        const std::string_view n(a.name, a.nameLength);
        if (n == "xmlns") {
            const std::string_view uri = valueOf(a);
            if (uri == kXmlNamespace || uri == kXmlnsNamespace) giveUp("reserved namespace");
            defaultMain_ = isMainUri(uri);
        } else if (a.colon == 5 && n.substr(0, 6) == "xmlns:") {
            const std::string_view prefix = n.substr(6);
            const std::string_view uri = valueOf(a);
            if (uri.empty() || prefix == "xml" || prefix == "xmlns" || uri == kXmlNamespace ||
                uri == kXmlnsNamespace)
                giveUp("namespace declaration");
            // A handful is usual; with many, a lookup (a walk back through
            // them) would cost too much: expat keeps them in a hash table.
            if (bindings_.size() == kMaxBindings) giveUp("many namespace declarations");
            bindings_.push_back({std::string(prefix), std::string(uri)});
        }
    }

    Elem element = Elem::Other;
    if (colon == 0) {
        if (defaultMain_) element = elementFromLocalName(std::string_view(name, nameLength));
    } else {
        const std::string_view prefix(name, colon);
        if (prefix == "xmlns") giveUp("element in xmlns");
        const Binding* b = prefix == "xml" ? nullptr : lookup(prefix);
        if (b == nullptr) giveUp("undeclared prefix");
        if (isMainUri(b->uri))
            element = elementFromLocalName(std::string_view(name + colon + 1, nameLength - colon - 1));
    }

    attrs_.clear();
    for (size_t i = 0; i < raw_.size(); ++i) {
        const RawAttribute& a = raw_[i];
        const std::string_view n(a.name, a.nameLength);
        if (a.colon == 0) {
            if (n != "xmlns") attrs_.push_back({n, valueOf(a)});
            continue;
        }
        const std::string_view prefix = n.substr(0, a.colon);
        if (prefix == "xmlns") continue;
        if (prefix != "xml" && lookup(prefix) == nullptr) giveUp("undeclared prefix");
        // Two prefixes for one namespace would make one attribute twice.
        for (size_t k = i + 1; k < raw_.size(); ++k) {
            const RawAttribute& b = raw_[k];
            if (b.colon == 0) continue;
            const std::string_view bn(b.name, b.nameLength);
            if (bn.substr(b.colon + 1) != n.substr(a.colon + 1)) continue;
            const std::string_view bp = bn.substr(0, b.colon);
            if (bp == "xmlns") continue;
            const Binding* x = prefix == "xml" ? nullptr : lookup(prefix);
            const Binding* y = bp == "xml" ? nullptr : lookup(bp);
            if (y == nullptr && bp != "xml") giveUp("undeclared prefix");
            const std::string_view ux = x ? std::string_view(x->uri) : kXmlNamespace;
            const std::string_view uy = y ? std::string_view(y->uri) : kXmlNamespace;
            if (ux == uy) giveUp("duplicate attribute");
        }
    }

    if (state_ == State::AfterRoot) giveUp("second root element");
    if (open_.size() >= maxDepth_) giveUp("deep nesting");  // expat words the refusal
    state_ = State::Content;
    builder_.start(element, attrs_);
    if (empty) {
        builder_.end();
        bindings_.resize(open.bindings);
        defaultMain_ = open.defaultMain;
        if (open_.empty()) state_ = State::AfterRoot;
    } else {
        names_.append(name, nameLength);
        open_.push_back(open);
    }
    p = q;
    return Step::Done;
}

Scanner::Step Scanner::endTag(const char*& p, const char* end) {
    if (open_.empty()) giveUp("end tag without start");
    const OpenElement& top = open_.back();
    const char* q = p + 2;
    if (static_cast<size_t>(end - q) < top.nameLength) return Step::NeedMore;
    const char* name = names_.data() + top.nameOffset;
    for (uint32_t i = 0; i < top.nameLength; ++i)
        if (q[i] != name[i]) giveUp("mismatched tag");
    q += top.nameLength;
    while (q < end && isSpace(*q)) ++q;
    if (q == end) return Step::NeedMore;
    if (*q != '>') giveUp("mismatched tag");
    ++q;
    builder_.end();
    bindings_.resize(top.bindings);
    defaultMain_ = top.defaultMain;
    names_.resize(top.nameOffset);
    open_.pop_back();
    if (open_.empty()) state_ = State::AfterRoot;
    p = q;
    return Step::Done;
}

Scanner::Step Scanner::text(const char*& p, const char* end, bool final) {
    const char* q = p;
    while (q < end && (cls(*q) & kTextPlain) != 0) ++q;
    const char* lt = q < end && *q == '<' ? q
                                           : static_cast<const char*>(std::memchr(q, '<', static_cast<size_t>(end - q)));
    if (lt == nullptr) {
        if (!final) return Step::NeedMore;
        lt = end;  // trailing text: only white space may follow the root
    }
    if (state_ != State::Content) {
        for (const char* r = p; r < lt; ++r)
            if (!isSpace(*r)) giveUp("text outside the root element");
        p = lt;
        return Step::Done;
    }
    if (q == lt) {
        builder_.text(std::string_view(p, static_cast<size_t>(lt - p)));
        p = lt;
        return Step::Done;
    }
    // Something to decode or check.
    textScratch_.assign(p, static_cast<size_t>(q - p));
    for (const char* r = q; r < lt;) {
        const char c = *r;
        if ((cls(c) & kTextPlain) != 0) {
            textScratch_.push_back(c);
            ++r;
        } else if (c == '&') {
            r += reference(r, lt, textScratch_);
        } else if (c == '\r') {
            textScratch_.push_back('\n');
            r += (r + 1 < lt && r[1] == '\n') ? 2 : 1;
        } else if (c == '>') {
            if (r - p >= 2 && r[-1] == ']' && r[-2] == ']') giveUp("]]> in text");
            textScratch_.push_back(c);
            ++r;
        } else if (c == ']') {
            textScratch_.push_back(c);
            ++r;
        } else if (static_cast<unsigned char>(c) >= 0x80) {
            const size_t n = utf8Sequence(r, lt);
            textScratch_.append(r, n);
            r += n;
        } else {
            giveUp("control character");
        }
    }
    builder_.text(textScratch_);
    p = lt;
    return Step::Done;
}

// Feeds the part to the scanner piece by piece. `scanning` tells whether a
// failure came from the scanner (or the builder) rather than the package.
void readPieces(Package& package, std::string_view part, Scanner& scanner, std::vector<char>& buffer,
                size_t& held, bool& scanning) {
    package.read(part, [&](const char* data, size_t size) {
        scanning = true;
        if (held == 0) {
            // Scan straight from libzip's piece; keep what is left over.
            const size_t used = scanner.scan(data, size, false);
            held = size - used;
            if (buffer.size() < held) buffer.resize(held);
            std::memcpy(buffer.data(), data + used, held);
            scanning = false;
            return;
        }
        if (buffer.size() < held + size) buffer.resize(held + size);
        std::memcpy(buffer.data() + held, data, size);
        const size_t total = held + size;
        const size_t used = scanner.scan(buffer.data(), total, false);
        std::memmove(buffer.data(), buffer.data() + used, total - used);
        held = total - used;
        // A token is read again from its start each time more arrives: one
        // that keeps growing (no real tag or cell text comes near this) is
        // left to expat, which reads it in one pass.
        if (held > kMaxTokenBytes) giveUp("long token");
        scanning = false;
    });
}

}  // namespace

void readSheetWithScanner(Package& package, std::string_view part, SheetBuilder& builder) {
    Scanner scanner(builder, package.limits().maxDepth);
    std::vector<char> buffer;
    size_t held = 0;  // bytes of an unfinished token kept from the last piece
    bool scanning = false;
    try {
        readPieces(package, part, scanner, buffer, held, scanning);
    } catch (const LoadError&) {
        // The package failed (a checksum, a limit) while the scanner was
        // waiting for the rest of a token, which expat may already have
        // judged: which fault comes first is expat's to say.
        if (!scanning) throw ScannerFallback("the package failed first");
        throw;
    }
    scanner.scan(buffer.data(), held, true);
    builder.finish();
}

}  // namespace xlsx::detail
