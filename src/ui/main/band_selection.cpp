#include "ui/main/band_selection.h"

#include <algorithm>

namespace tarvelo::ui {

void BandSelection::clear() {
    entries_.clear();
    current_ = 0;
}

void BandSelection::toggle(int i) {
    const auto at = std::lower_bound(entries_.begin(), entries_.end(), i);
    if (at != entries_.end() && *at == i) {
        entries_.erase(at);
        if (!entries_.empty())
            current_ = entries_.front();
    } else {
        entries_.insert(at, i);
        current_ = i;
    }
}

bool BandSelection::contains(int i) const {
    return std::binary_search(entries_.begin(), entries_.end(), i);
}

bool BandSelection::contiguous() const {
    return count() >= 2 && entries_.front() + count() == entries_.back() + 1;
}

}  // namespace tarvelo::ui
