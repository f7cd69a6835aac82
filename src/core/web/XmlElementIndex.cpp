#include "core/web/XmlElementIndex.h"

#include <algorithm>
#include <cstring>

namespace orva {

void ElementIndex::reserve(std::size_t n) {
    while (capacity_ < n) {
        if (!segments_.empty() && lastSegmentCapacity_ < kSegmentSize) {
            // Widen the partly used last segment; full segments are never touched.
            std::size_t want = std::min<std::size_t>(kSegmentSize, lastSegmentCapacity_ + (n - capacity_));
            std::unique_ptr<ElementEntry[]> wider(new ElementEntry[want]);
            std::memcpy(wider.get(), segments_.back().get(), lastSegmentCapacity_ * sizeof(ElementEntry));
            segments_.back() = std::move(wider);
            capacity_ += want - lastSegmentCapacity_;
            lastSegmentCapacity_ = static_cast<std::uint32_t>(want);
        } else {
            std::size_t want = std::min<std::size_t>(kSegmentSize, n - capacity_);
            segments_.emplace_back(new ElementEntry[want]);
            capacity_ += want;
            lastSegmentCapacity_ = static_cast<std::uint32_t>(want);
        }
    }
}

void ElementIndex::release() {
    segments_.clear();
    lastSegmentCapacity_ = 0;
    capacity_ = 0;
}

} // namespace orva
