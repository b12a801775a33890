#include "grid_engine.h"

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstring>
#include <numeric>

namespace grid {

// Folded display text of every record of one column. For a text column whose
// folded text keeps the byte length of the original (ASCII text, and nearly all
// letters beyond it), the buffer is a folded copy of the column's own character
// store and a record's place in it is the column's; otherwise every record is
// followed by a NUL, so that no match runs across two records, and the
// haystack keeps its own offsets.
struct Engine::Haystack {
    std::string buf;
    std::vector<size_t> off;            // own places: rows + 1 entries
    const db::Column* col = nullptr;    // borrowed places: those of this column's text
    const char* base = nullptr;
    size_t begin(size_t r) const {
        return col ? static_cast<size_t>(col->text(r).data() - base) : off[r];
    }
    size_t end(size_t r) const { return col ? begin(r) + col->text(r).size() : off[r + 1] - 1; }
    std::string_view row(size_t r) const {
        const size_t b = begin(r);
        return std::string_view(buf.data() + b, end(r) - b);
    }
};

namespace {

inline bool testBit(const std::vector<uint64_t>& bits, uint32_t r) {
    return ((bits[r >> 6] >> (r & 63)) & 1u) != 0;
}
inline void setBit(std::vector<uint64_t>& bits, uint32_t r) {
    bits[r >> 6] |= uint64_t{1} << (r & 63);
}

// Order-preserving unsigned key of a double.
inline uint64_t doubleKey(double v) {
    uint64_t b = std::bit_cast<uint64_t>(v == 0.0 ? 0.0 : v);   // -0 sorts as 0
    return (b >> 63) != 0 ? ~b : b | (uint64_t{1} << 63);
}
inline uint64_t signedKey(int64_t v) {
    return static_cast<uint64_t>(v) ^ (uint64_t{1} << 63);
}

struct KeyRow {
    uint64_t key;
    uint32_t row;
};

// Stable LSD radix sort by key, 16 bits a pass; passes whose digit is the same
// for every element are skipped.
void radixSort(std::vector<KeyRow>& a) {
    const size_t n = a.size();
    if (n < 2) return;
    if (n < 65536) {
        std::stable_sort(a.begin(), a.end(),
                         [](const KeyRow& x, const KeyRow& y) { return x.key < y.key; });
        return;
    }
    std::vector<std::array<uint32_t, 65536>> hist(4);
    for (auto& h : hist) h.fill(0);
    for (const KeyRow& e : a)
        for (int p = 0; p < 4; ++p) ++hist[static_cast<size_t>(p)][(e.key >> (16 * p)) & 0xFFFF];
    std::vector<KeyRow> b(n);
    for (int p = 0; p < 4; ++p) {
        auto& h = hist[static_cast<size_t>(p)];
        if (h[(a[0].key >> (16 * p)) & 0xFFFF] == n) continue;
        uint32_t sum = 0;
        for (auto& count : h) {
            const uint32_t c = count;
            count = sum;
            sum += c;
        }
        for (const KeyRow& e : a) b[h[(e.key >> (16 * p)) & 0xFFFF]++] = e;
        a.swap(b);
    }
}

// Case-folded text of a value for comparisons. ASCII text folds byte for byte,
// so its folded bytes are read straight from the original.
struct FoldedText {
    std::string_view view;
    std::string storage;
    void set(std::string_view original) {
        if (isAscii(original)) {
            storage.assign(original);
            for (char& ch : storage)
                if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
        } else {
            storage.clear();
            appendFolded(original, storage);
        }
        view = storage;
    }
};

inline uint64_t chunkKey(std::string_view s, size_t chunk, bool& more) {
    const size_t start = chunk * 8;
    uint64_t key = 0;
    for (size_t k = 0; k < 8; ++k) {
        key <<= 8;
        if (start + k < s.size()) key |= static_cast<unsigned char>(s[start + k]);
    }
    more = s.size() > start + 8;
    return key;
}

bool equalFolded(std::string_view a, std::string_view b) {
    if (isAscii(a) && isAscii(b)) {
        if (a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); ++i) {
            char x = a[i], y = b[i];
            if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
            if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
            if (x != y) return false;
        }
        return true;
    }
    return folded(a) == folded(b);
}

}  // namespace

Engine::Engine() = default;
Engine::~Engine() = default;

size_t Engine::addColumn(EngineColumn column) {
    columns_.push_back(std::move(column));
    filters_.emplace_back();
    hay_.emplace_back();
    cents_.emplace_back();
    fieldIndex_.push_back(query_ && query_->active() ? query_->fieldIndex(columns_.back().field) : -1);
    return columns_.size() - 1;
}

std::optional<db::FieldKind> Engine::kind(size_t c) const {
    const int fi = fieldIndex(c);
    if (fi < 0 || !query_) return std::nullopt;
    return query_->fields()[static_cast<size_t>(fi)].kind;
}

void Engine::clear() { reload(nullptr); }

void Engine::reload(const db::Query* query) {
    query_ = query;
    rows_ = query_ && query_->active() ? query_->recordCount() : 0;
    fieldIndex_.assign(columns_.size(), -1);
    // The columns of a closed query hold no values: nothing is read from them.
    if (query_ && query_->active())
        for (size_t c = 0; c < columns_.size(); ++c)
            fieldIndex_[c] = query_->fieldIndex(columns_[c].field);
    regional_ = regional::current();
    dateCache_.clear();
    for (auto& h : hay_) h.reset();
    hay_.resize(columns_.size());
    cents_.clear();
    cents_.resize(columns_.size());
    for (size_t c = 0; c < filters_.size(); ++c) {
        Filter& f = filters_[c];
        f.bits.clear();
        f.count = 0;
        f.earlier.clear();
        if (!f.needle.empty()) matchAll(haystack(c), f.needle, f.bits, f.count);
    }
    rebuildOrder();
    rebuildVisible();
    rebuildGroups();
}

// ---------------------------------------------------------------------------
// Display texts

const std::string& Engine::dateText(int32_t days) const {
    auto it = dateCache_.find(days);
    if (it != dateCache_.end()) return it->second;
    int y = 0, m = 0, d = 0;
    civilFromDays(days, y, m, d);
    const std::chrono::year_month_day ymd{std::chrono::year{y},
                                          std::chrono::month{static_cast<unsigned>(m)},
                                          std::chrono::day{static_cast<unsigned>(d)}};
    return dateCache_.emplace(days, regional::formatDate(ymd, regional_)).first->second;
}

void Engine::appendDisplay(size_t c, uint32_t record, std::string& out) const {
    const int fi = fieldIndex(c);
    if (fi < 0 || record >= rows_) return;
    const db::Column& col = query_->column(static_cast<size_t>(fi));
    if (col.isNull(record)) return;
    switch (col.kind()) {
    case db::FieldKind::Text:
    case db::FieldKind::LongText: out += col.text(record); break;
    case db::FieldKind::Boolean: out += col.boolean(record) ? "Da" : "Nu"; break;
    case db::FieldKind::Integer: {
        char buf[16];
        int n = 0;
        const int32_t v = col.integer(record);
        uint32_t u = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
        do {
            buf[n++] = static_cast<char>('0' + u % 10);
            u /= 10;
        } while (u != 0);
        if (v < 0) out.push_back('-');
        while (n > 0) out.push_back(buf[--n]);
        break;
    }
    case db::FieldKind::Double: appendGeneralNumber(col.number(record), regional_, out); break;
    case db::FieldKind::Date: {
        const EngineColumn& ec = columns_[c];
        if (ec.format.empty()) {
            out += dateText(col.date(record));
        } else {
            int y = 0, m = 0, d = 0;
            civilFromDays(col.date(record), y, m, d);
            ec.format.append(y, m, d, 0, 0, 0, out);
        }
        break;
    }
    case db::FieldKind::DateTime: {
        const int64_t us = col.dateTime(record);
        const int64_t perDay = int64_t{86400} * 1000000;
        int64_t days = us / perDay;
        int64_t rest = us % perDay;
        if (rest < 0) {
            rest += perDay;
            --days;
        }
        const auto secs = static_cast<int>(rest / 1000000);
        const int hh = secs / 3600, mi = secs / 60 % 60, ss = secs % 60;
        const EngineColumn& ec = columns_[c];
        if (ec.format.empty()) {
            out += dateText(static_cast<int32_t>(days));
            if (secs != 0) {
                out.push_back(' ');
                out += regional::formatTime(hh, mi, ss, regional_);
            }
        } else {
            int y = 0, m = 0, d = 0;
            civilFromDays(days, y, m, d);
            ec.format.append(y, m, d, hh, mi, ss, out);
        }
        break;
    }
    }
}

std::string Engine::displayText(size_t c, uint32_t record) const {
    std::string out;
    appendDisplay(c, record, out);
    return out;
}

bool Engine::isNull(size_t c, uint32_t record) const {
    const int fi = fieldIndex(c);
    if (fi < 0 || record >= rows_) return true;
    return query_->column(static_cast<size_t>(fi)).isNull(record);
}

bool Engine::isNumeric(size_t c) const {
    const auto k = kind(c);
    return k && (*k == db::FieldKind::Double || *k == db::FieldKind::Integer);
}

double Engine::number(size_t c, uint32_t record) const {
    const int fi = fieldIndex(c);
    if (fi < 0 || record >= rows_) return 0;
    const db::Column& col = query_->column(static_cast<size_t>(fi));
    if (col.isNull(record)) return 0;
    if (col.kind() == db::FieldKind::Double) return col.number(record);
    if (col.kind() == db::FieldKind::Integer) return col.integer(record);
    return 0;
}

void Engine::appendFoldedValue(size_t c, uint32_t record, std::string& out) const {
    const int fi = fieldIndex(c);
    if (fi < 0) return;
    const db::Column& col = query_->column(static_cast<size_t>(fi));
    if (col.isNull(record)) return;
    if (col.kind() == db::FieldKind::Text || col.kind() == db::FieldKind::LongText) {
        appendFolded(col.text(record), out);
        return;
    }
    const size_t start = out.size();
    appendDisplay(c, record, out);
    // Digits and separators fold to themselves; month names and the like may not.
    if (!isAscii(std::string_view(out).substr(start))) {
        const std::string shown = out.substr(start);
        out.resize(start);
        appendFolded(shown, out);
    } else {
        for (size_t i = start; i < out.size(); ++i)
            if (out[i] >= 'A' && out[i] <= 'Z') out[i] = static_cast<char>(out[i] + 32);
    }
}

// ---------------------------------------------------------------------------
// Filter

const Engine::Haystack& Engine::haystack(size_t c) {
    if (hay_[c]) return *hay_[c];
    auto h = std::make_unique<Haystack>();
    const int fi = fieldIndex(c);
    const db::Column* col = fi >= 0 && rows_ > 0 ? &query_->column(static_cast<size_t>(fi)) : nullptr;
    if (col && (col->kind() == db::FieldKind::Text || col->kind() == db::FieldKind::LongText)) {
        // The column's values lie back to back: fold them in one pass.
        const char* base = col->text(0).data();
        const std::string_view last = col->text(rows_ - 1);
        const std::string_view all(base, static_cast<size_t>(last.data() + last.size() - base));
        h->buf.resize(all.size());
        if (foldSameLength(all, h->buf.data())) {
            h->col = col;
            h->base = base;
            hay_[c] = std::move(h);
            return *hay_[c];
        }
        h->buf.clear();
    }
    h->off.resize(rows_ + 1);
    h->off[0] = 0;
    h->buf.reserve(rows_ * 12);
    for (uint32_t r = 0; r < rows_; ++r) {
        if (fi >= 0) appendFoldedValue(c, r, h->buf);
        h->buf.push_back('\0');
        h->off[r + 1] = h->buf.size();
    }
    h->buf.shrink_to_fit();
    hay_[c] = std::move(h);
    return *hay_[c];
}

void Engine::matchAll(const Haystack& h, std::string_view needle, std::vector<uint64_t>& bits,
                      size_t& count) const {
    bits.assign((rows_ + 63) / 64, 0);
    count = 0;
    if (rows_ == 0 || needle.empty()) return;
    const char* base = h.buf.data();
    const char* end = base + h.buf.size();
    const char* p = base;
    size_t r = 0;
    while (p < end) {
        const void* hit = needle.size() == 1
                              ? std::memchr(p, needle[0], static_cast<size_t>(end - p))
                              : memmem(p, static_cast<size_t>(end - p), needle.data(), needle.size());
        if (!hit) break;
        const auto pos = static_cast<size_t>(static_cast<const char*>(hit) - base);
        // The record holding pos: the last r whose text starts at or before
        // it. Hits come in order, so gallop forward from the previous one.
        if (r + 1 < rows_ && h.begin(r + 1) <= pos) {
            size_t lo = r + 1, step = 1;
            while (lo + step < rows_ && h.begin(lo + step) <= pos) {
                lo += step;
                step *= 2;
            }
            size_t hi = std::min(lo + step, rows_);   // begin(hi) > pos, or hi == rows_
            while (hi - lo > 1) {
                const size_t mid = lo + (hi - lo) / 2;
                if (h.begin(mid) <= pos)
                    lo = mid;
                else
                    hi = mid;
            }
            r = lo;
        }
        const size_t rowEnd = h.end(r);
        if (pos + needle.size() <= rowEnd) {
            setBit(bits, static_cast<uint32_t>(r));
            ++count;
        }
        // Whether it matched or ran past its record, the rest of the record
        // has nothing more to give.
        if (r + 1 >= rows_) break;
        p = base + h.begin(r + 1);
        ++r;
    }
}

bool Engine::setFilter(size_t c, std::string_view text) {
    if (c >= filters_.size()) return false;
    Filter& f = filters_[c];
    if (f.text == text) return false;
    f.text.assign(text);
    std::string needle = folded(text);
    needle.erase(std::remove(needle.begin(), needle.end(), '\0'), needle.end());
    if (needle == f.needle) return false;
    remember(f);   // the previous result, before it is replaced
    const std::string previous = std::move(f.needle);
    f.needle = std::move(needle);
    if (f.needle.empty()) {
        f.bits.clear();
        f.count = 0;
        rebuildVisible();
        rebuildGroups();
        return true;
    }
    for (const Filter::Earlier& e : f.earlier) {
        if (e.needle != f.needle) continue;
        // Typed before (and now deleted back to): its result is at hand.
        f.bits = e.bits;
        f.count = e.count;
        rebuildVisible();
        rebuildGroups();
        return true;
    }
    const Haystack& h = haystack(c);
    const bool narrows = !previous.empty() && f.needle.find(previous) != std::string::npos;
    if (!narrows) {
        matchAll(h, f.needle, f.bits, f.count);
        rebuildVisible();
        rebuildGroups();
        return true;
    }
    // Only the records that matched the previous text can match this one.
    if (f.count * 8 > rows_) {
        std::vector<uint64_t> bits;
        size_t count = 0;
        matchAll(h, f.needle, bits, count);
        count = 0;
        for (size_t w = 0; w < bits.size(); ++w) {
            bits[w] &= f.bits[w];
            count += static_cast<size_t>(std::popcount(bits[w]));
        }
        f.bits.swap(bits);
        f.count = count;
    } else {
        size_t count = 0;
        for (size_t w = 0; w < f.bits.size(); ++w) {
            uint64_t word = f.bits[w];
            uint64_t kept = 0;
            while (word != 0) {
                const int b = std::countr_zero(word);
                word &= word - 1;
                const auto r = static_cast<uint32_t>(w * 64 + static_cast<size_t>(b));
                if (h.row(r).find(f.needle) != std::string_view::npos) {
                    kept |= uint64_t{1} << b;
                    ++count;
                }
            }
            f.bits[w] = kept;
        }
        f.count = count;
    }
    const auto& bits = f.bits;
    visible_.erase(std::remove_if(visible_.begin(), visible_.end(),
                                  [&bits](uint32_t r) { return !testBit(bits, r); }),
                   visible_.end());
    rebuildGroups();
    return true;
}

void Engine::remember(Filter& f) {
    if (f.needle.empty()) return;
    constexpr size_t kKept = 16;
    std::erase_if(f.earlier, [&f](const Filter::Earlier& e) { return e.needle == f.needle; });
    if (f.earlier.size() >= kKept) f.earlier.erase(f.earlier.begin());
    f.earlier.push_back({f.needle, f.bits, f.count});
}

const std::string& Engine::filterText(size_t c) const {
    static const std::string none;
    return c < filters_.size() ? filters_[c].text : none;
}

bool Engine::hasFilter() const {
    return std::any_of(filters_.begin(), filters_.end(),
                       [](const Filter& f) { return !f.needle.empty(); });
}

bool Engine::clearFilters() {
    bool had = false;
    for (Filter& f : filters_) {
        had = had || !f.needle.empty();
        f = Filter{};
    }
    if (had) {
        rebuildVisible();
        rebuildGroups();
    }
    return had;
}

void Engine::rebuildVisible() {
    std::vector<const std::vector<uint64_t>*> active;
    for (const Filter& f : filters_)
        if (!f.needle.empty()) active.push_back(&f.bits);
    visible_.clear();
    if (rows_ == 0) {
        visible_.shrink_to_fit();
        return;
    }
    if (order_.empty()) {
        if (active.empty()) {
            visible_.resize(rows_);
            std::iota(visible_.begin(), visible_.end(), 0u);
            return;
        }
        size_t count = 0;
        const size_t words = (rows_ + 63) / 64;
        for (size_t w = 0; w < words; ++w) {
            uint64_t word = (*active[0])[w];
            for (size_t k = 1; k < active.size(); ++k) word &= (*active[k])[w];
            count += static_cast<size_t>(std::popcount(word));
        }
        visible_.reserve(count);
        for (size_t w = 0; w < words; ++w) {
            uint64_t word = (*active[0])[w];
            for (size_t k = 1; k < active.size(); ++k) word &= (*active[k])[w];
            while (word != 0) {
                visible_.push_back(static_cast<uint32_t>(w * 64 + static_cast<size_t>(std::countr_zero(word))));
                word &= word - 1;
            }
        }
        return;
    }
    if (active.empty()) {
        visible_ = order_;
        return;
    }
    for (uint32_t r : order_) {
        bool pass = true;
        for (const auto* bits : active)
            if (!testBit(*bits, r)) {
                pass = false;
                break;
            }
        if (pass) visible_.push_back(r);
    }
}

// ---------------------------------------------------------------------------
// Sort

void Engine::setSort(std::optional<size_t> c, SortOrder order) {
    if (c && *c >= columns_.size()) c.reset();
    if (c == sortColumn_ && (!c || order == sortOrder_)) return;
    sortColumn_ = c;
    sortOrder_ = order;
    rebuildOrder();
    rebuildVisible();
    rebuildGroups();
}

void Engine::sortTextRange(uint32_t* begin, uint32_t* end, size_t c, SortOrder so,
                           size_t chunk) const {
    const auto n = static_cast<size_t>(end - begin);
    if (n < 2) return;
    const db::Column& col = query_->column(static_cast<size_t>(fieldIndex(c)));
    const Haystack* h = hay_[c].get();
    if (n <= 24) {
        // A short run: compare the whole folded texts.
        std::vector<std::pair<std::string, uint32_t>> items(n);
        FoldedText ft;
        for (size_t i = 0; i < n; ++i) {
            if (h) {
                items[i].first.assign(h->row(begin[i]));
            } else {
                ft.set(col.text(begin[i]));
                items[i].first.assign(ft.view);
            }
            items[i].second = begin[i];
        }
        if (so == SortOrder::Ascending)
            std::stable_sort(items.begin(), items.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
        else
            std::stable_sort(items.begin(), items.end(),
                             [](const auto& a, const auto& b) { return b.first < a.first; });
        for (size_t i = 0; i < n; ++i) begin[i] = items[i].second;
        return;
    }
    std::vector<KeyRow> keys(n);
    std::vector<uint8_t> more(n);
    FoldedText ft;
    for (size_t i = 0; i < n; ++i) {
        const uint32_t r = begin[i];
        std::string_view s;
        if (h) {
            s = h->row(r);
        } else {
            ft.set(col.text(r));
            s = ft.view;
        }
        bool m = false;
        uint64_t key = chunkKey(s, chunk, m);
        if (so == SortOrder::Descending) key = ~key;
        keys[i] = {key, static_cast<uint32_t>(i)};
        more[i] = m ? 1 : 0;
    }
    radixSort(keys);
    std::vector<uint32_t> sorted(n);
    std::vector<uint8_t> sortedMore(n);
    for (size_t i = 0; i < n; ++i) {
        sorted[i] = begin[keys[i].row];
        sortedMore[i] = more[keys[i].row];
    }
    std::copy(sorted.begin(), sorted.end(), begin);
    // Runs of equal keys where some text goes on are ordered by the next chunk.
    size_t i = 0;
    while (i < n) {
        size_t j = i + 1;
        bool anyMore = sortedMore[i] != 0;
        while (j < n && keys[j].key == keys[i].key) {
            anyMore = anyMore || sortedMore[j] != 0;
            ++j;
        }
        if (j - i > 1 && anyMore) sortTextRange(begin + i, begin + j, c, so, chunk + 1);
        i = j;
    }
}

void Engine::sortByColumn(std::vector<uint32_t>& order, size_t c, SortOrder so) const {
    const int fi = fieldIndex(c);
    if (fi < 0 || order.size() < 2) return;
    const db::Column& col = query_->column(static_cast<size_t>(fi));
    auto mid = std::stable_partition(order.begin(), order.end(),
                                     [&col](uint32_t r) { return col.isNull(r); });
    const auto nulls = static_cast<size_t>(mid - order.begin());
    uint32_t* first = order.data() + nulls;
    uint32_t* last = order.data() + order.size();
    const auto n = static_cast<size_t>(last - first);
    if (col.kind() == db::FieldKind::Text || col.kind() == db::FieldKind::LongText) {
        sortTextRange(first, last, c, so, 0);
    } else {
        std::vector<KeyRow> keys(n);
        for (size_t i = 0; i < n; ++i) {
            const uint32_t r = first[i];
            uint64_t key = 0;
            switch (col.kind()) {
            case db::FieldKind::Double: key = doubleKey(col.number(r)); break;
            case db::FieldKind::Boolean: key = col.boolean(r) ? 1 : 0; break;
            case db::FieldKind::Integer: key = signedKey(col.integer(r)); break;
            case db::FieldKind::Date: key = signedKey(col.date(r)); break;
            case db::FieldKind::DateTime: key = signedKey(col.dateTime(r)); break;
            default: break;
            }
            if (so == SortOrder::Descending) key = ~key;
            keys[i] = {key, r};
        }
        radixSort(keys);
        for (size_t i = 0; i < n; ++i) first[i] = keys[i].row;
    }
    if (so == SortOrder::Descending) std::rotate(order.begin(), mid, order.end());
}

bool Engine::sameGroupValue(size_t c, uint32_t a, uint32_t b) const {
    const int fi = fieldIndex(c);
    if (fi < 0) return true;
    const db::Column& col = query_->column(static_cast<size_t>(fi));
    const bool na = col.isNull(a), nb = col.isNull(b);
    if (na || nb) return na == nb;
    switch (col.kind()) {
    case db::FieldKind::Text:
    case db::FieldKind::LongText:
        if (const Haystack* h = hay_[c].get()) return h->row(a) == h->row(b);
        return equalFolded(col.text(a), col.text(b));
    case db::FieldKind::Double: return doubleKey(col.number(a)) == doubleKey(col.number(b));
    case db::FieldKind::Boolean: return col.boolean(a) == col.boolean(b);
    case db::FieldKind::Integer: return col.integer(a) == col.integer(b);
    case db::FieldKind::Date: return col.date(a) == col.date(b);
    case db::FieldKind::DateTime: return col.dateTime(a) == col.dateTime(b);
    }
    return true;
}

void Engine::rebuildOrder() {
    order_.clear();
    groupRank_.clear();
    if (rows_ == 0 || (!sortColumn_ && levels_.empty())) {
        order_.shrink_to_fit();
        return;
    }
    order_.resize(rows_);
    std::iota(order_.begin(), order_.end(), 0u);
    if (sortColumn_) sortByColumn(order_, *sortColumn_, sortOrder_);
    groupRank_.resize(levels_.size());
    for (size_t l = levels_.size(); l-- > 0;) {
        const size_t c = levels_[l].column;
        sortByColumn(order_, c, levels_[l].order);
        auto& rank = groupRank_[l];
        rank.assign(rows_, 0);
        uint32_t current = 0;
        for (size_t i = 1; i < rows_; ++i) {
            if (!sameGroupValue(c, order_[i - 1], order_[i])) ++current;
            rank[order_[i]] = current;
        }
        rank[order_[0]] = 0;
    }
}

// ---------------------------------------------------------------------------
// Grouping

void Engine::setGrouping(std::vector<GroupLevel> levels) {
    std::erase_if(levels, [this](const GroupLevel& g) { return g.column >= columns_.size(); });
    bool same = levels.size() == levels_.size();
    for (size_t i = 0; same && i < levels.size(); ++i)
        same = levels[i].column == levels_[i].column && levels[i].order == levels_[i].order;
    if (same) return;
    const bool sameColumns = [&] {
        if (levels.size() != levels_.size()) return false;
        for (size_t i = 0; i < levels.size(); ++i)
            if (levels[i].column != levels_[i].column) return false;
        return true;
    }();
    if (!sameColumns) expandedPaths_.clear();
    levels_ = std::move(levels);
    rebuildOrder();
    rebuildVisible();
    rebuildGroups();
}

void Engine::rebuildGroups() {
    groups_.clear();
    viewRows_.clear();
    if (levels_.empty() || visible_.empty()) {
        groups_.shrink_to_fit();
        viewRows_.shrink_to_fit();
        return;
    }
    const bool needPaths = !expandedPaths_.empty();
    // Depth-first, producing the groups in preorder.
    auto build = [&](auto&& self, uint32_t level, uint32_t begin, uint32_t end,
                     const std::string& prefix) -> void {
        const auto& rank = groupRank_[level];
        uint32_t i = begin;
        while (i < end) {
            uint32_t j = i + 1;
            const uint32_t rk = rank[visible_[i]];
            while (j < end && rank[visible_[j]] == rk) ++j;
            const size_t idx = groups_.size();
            groups_.push_back(Group{level, i, j - i, 0, false, {}});
            std::string path;
            if (needPaths) {
                path = prefix;
                path.push_back('\x1f');
                appendFoldedValue(levels_[level].column, visible_[i], path);
                groups_[idx].expanded = expandedPaths_.count(path) != 0;
            }
            if (level + 1 < levels_.size()) self(self, level + 1, i, j, path);
            groups_[idx].end = static_cast<uint32_t>(groups_.size());
            i = j;
        }
    };
    build(build, 0, 0, static_cast<uint32_t>(visible_.size()), std::string{});
    rebuildViewRows();
}

void Engine::rebuildViewRows() {
    viewRows_.clear();
    const auto last = static_cast<uint32_t>(levels_.size() - 1);
    size_t i = 0;
    while (i < groups_.size()) {
        const Group& g = groups_[i];
        viewRows_.push_back(kGroupFlag | static_cast<uint32_t>(i));
        if (!g.expanded) {
            i = g.end;
            continue;
        }
        if (g.level == last)
            for (uint32_t k = g.first; k < g.first + g.count; ++k) viewRows_.push_back(k);
        ++i;
    }
}

void Engine::setExpanded(uint32_t group, bool expanded) {
    if (group >= groups_.size() || groups_[group].expanded == expanded) return;
    groups_[group].expanded = expanded;
    // The group's path: the values of its own and its parents' columns.
    std::string path;
    const uint32_t record = visible_[groups_[group].first];
    for (uint32_t l = 0; l <= groups_[group].level; ++l) {
        path.push_back('\x1f');
        appendFoldedValue(levels_[l].column, record, path);
    }
    if (expanded)
        expandedPaths_.insert(path);
    else
        expandedPaths_.erase(path);
    rebuildViewRows();
}

void Engine::setAllExpanded(bool expanded) {
    if (groups_.empty()) return;
    expandedPaths_.clear();
    if (expanded) {
        std::vector<std::string> prefix(levels_.size() + 1);
        for (Group& g : groups_) {
            g.expanded = true;
            std::string& path = prefix[g.level + 1];
            path = prefix[g.level];
            path.push_back('\x1f');
            appendFoldedValue(levels_[g.level].column, visible_[g.first], path);
            expandedPaths_.insert(path);
        }
    } else {
        for (Group& g : groups_) g.expanded = false;
    }
    rebuildViewRows();
}

size_t Engine::revealVisible(size_t index) {
    if (!grouped()) return index;
    bool changed = false;
    size_t i = 0;
    while (i < groups_.size()) {
        Group& g = groups_[i];
        if (index >= g.first && index < static_cast<size_t>(g.first) + g.count) {
            if (!g.expanded) {
                g.expanded = true;   // recorded below with its path
                std::string path;
                const uint32_t record = visible_[g.first];
                for (uint32_t l = 0; l <= g.level; ++l) {
                    path.push_back('\x1f');
                    appendFoldedValue(levels_[l].column, record, path);
                }
                expandedPaths_.insert(path);
                changed = true;
            }
            if (g.level + 1 == levels_.size()) break;
            ++i;
        } else {
            i = g.end;
        }
    }
    if (changed) rebuildViewRows();
    const auto it = std::find(viewRows_.begin(), viewRows_.end(), static_cast<uint32_t>(index));
    return static_cast<size_t>(it - viewRows_.begin());
}

std::optional<size_t> Engine::findPrefix(size_t c, std::string_view prefix, size_t start) {
    const size_t n = visible_.size();
    if (c >= columns_.size() || n == 0) return std::nullopt;
    const std::string needle = folded(prefix);
    const Haystack& h = haystack(c);
    if (start >= n) start = 0;
    for (size_t k = 0; k < n; ++k) {
        const size_t i = start + k < n ? start + k : start + k - n;
        if (h.row(visible_[i]).starts_with(needle)) return i;
    }
    return std::nullopt;
}

long Engine::recordAt(size_t viewRow) const {
    if (viewRow >= viewRowCount()) return -1;
    const uint32_t e = viewEntry(viewRow);
    if ((e & kGroupFlag) != 0) return -1;
    return static_cast<long>(visible_[e]);
}

std::optional<size_t> Engine::visibleIndexOf(uint32_t record) const {
    const auto it = std::find(visible_.begin(), visible_.end(), record);
    if (it == visible_.end()) return std::nullopt;
    return static_cast<size_t>(it - visible_.begin());
}

const Engine::Cents& Engine::cents(size_t c) const {
    if (!cents_[c]) {
        auto cs = std::make_unique<Cents>();
        const db::Column& col = query_->column(static_cast<size_t>(fieldIndex(c)));
        cs->values.resize(rows_);
        cs->exact = true;
        for (size_t r = 0; r < rows_ && cs->exact; ++r) {
            if (col.isNull(r)) continue;
            const double v = col.number(r);
            const double x = v * 100.0;
            if (!(std::fabs(x) < 2e9)) {
                cs->exact = false;
                break;
            }
            const auto k = static_cast<int32_t>(x >= 0 ? x + 0.5 : x - 0.5);
            if (static_cast<double>(k) / 100.0 != v) cs->exact = false;
            cs->values[r] = k;
        }
        if (!cs->exact) {
            cs->values.clear();
            cs->values.shrink_to_fit();
        }
        cents_[c] = std::move(cs);
    }
    return *cents_[c];
}

double Engine::visibleSum(size_t c) const {
    const int fi = fieldIndex(c);
    if (fi < 0) return 0;
    const db::Column& col = query_->column(static_cast<size_t>(fi));
    if (col.kind() == db::FieldKind::Integer) {
        int64_t sum = 0;
        for (uint32_t r : visible_)
            if (!col.isNull(r)) sum += col.integer(r);
        return static_cast<double>(sum);
    }
    if (col.kind() != db::FieldKind::Double) return 0;
    // Amounts are whole hundredths: those add up exactly, as integers.
    if (const Cents& cs = cents(c); cs.exact) {
        int64_t sum = 0;
        const int32_t* v = cs.values.data();
        for (uint32_t r : visible_) sum += v[r];
        return static_cast<double>(sum) / 100.0;
    }
    // Neumaier's compensated sum: the total does not drift with the count.
    double sum = 0, comp = 0;
    for (uint32_t r : visible_) {
        if (col.isNull(r)) continue;
        const double v = col.number(r);
        const double t = sum + v;
        if (std::fabs(sum) >= std::fabs(v))
            comp += (sum - t) + v;
        else
            comp += (v - t) + sum;
        sum = t;
    }
    return sum + comp;
}

size_t Engine::memoryBytes() const {
    size_t bytes = order_.capacity() * sizeof(uint32_t) + visible_.capacity() * sizeof(uint32_t) +
                   groups_.capacity() * sizeof(Group) + viewRows_.capacity() * sizeof(uint32_t);
    for (const auto& rank : groupRank_) bytes += rank.capacity() * sizeof(uint32_t);
    for (const Filter& f : filters_) {
        bytes += f.bits.capacity() * sizeof(uint64_t);
        for (const auto& e : f.earlier) bytes += e.bits.capacity() * sizeof(uint64_t) + e.needle.capacity();
    }
    for (const auto& cs : cents_)
        if (cs) bytes += sizeof(Cents) + cs->values.capacity() * sizeof(int32_t);
    for (const auto& h : hay_)
        if (h) bytes += sizeof(Haystack) + h->buf.capacity() + h->off.capacity() * sizeof(size_t);
    for (const auto& [day, text] : dateCache_) bytes += sizeof(day) + sizeof(text) + text.capacity();
    return bytes;
}

}  // namespace grid
