#include "sheet_model.h"

#include <limits>

#include "messages.h"
#include "workbook.h"

namespace xlsx::detail {

uint32_t StringPool::add(std::string_view text) {
    if (data_.size() + text.size() > std::numeric_limits<uint32_t>::max() ||
        ends_.size() >= std::numeric_limits<uint32_t>::max())
        throw LoadError(msg::outOfMemory());
    data_.append(text);
    ends_.push_back(static_cast<uint32_t>(data_.size()));
    return static_cast<uint32_t>(ends_.size() - 1);
}

size_t CellStore::lowerBound(uint64_t key) const {
    size_t lo = 0, hi = size_;
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if ((*this)[mid].key() < key) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

}  // namespace xlsx::detail
