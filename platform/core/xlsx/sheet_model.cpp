#include "sheet_model.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "messages.h"
#include "workbook.h"

namespace xlsx::detail {

uint32_t StringPool::add(std::string_view text) {
    if (count_ >= std::numeric_limits<uint32_t>::max()) throw LoadError(msg::outOfMemory());
    if (used_ + text.size() > blockEnd_) {
        // A new block, of whole slices, large enough for the text.
        const size_t slices = std::max<size_t>(1, (text.size() + kBlockBytes - 1) / kBlockBytes);
        const uint64_t start = blockEnd_;
        if (start + slices * kBlockBytes > std::numeric_limits<uint32_t>::max())
            throw LoadError(msg::outOfMemory());
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(slices * kBlockBytes));
        for (size_t k = 0; k < slices; ++k) slices_.push_back({blocks_.back().get(), start});
        free_ = blocks_.back().get();
        used_ = start;
        blockEnd_ = start + slices * kBlockBytes;
    }
    if (!text.empty()) std::memcpy(free_, text.data(), text.size());
    free_ += text.size();
    used_ += text.size();
    if ((count_ & ((size_t{1} << kEndsBits) - 1)) == 0)
        ends_.push_back(std::make_unique_for_overwrite<uint32_t[]>(size_t{1} << kEndsBits));
    ends_.back()[count_ & ((size_t{1} << kEndsBits) - 1)] = static_cast<uint32_t>(used_);
    return static_cast<uint32_t>(count_++);
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
