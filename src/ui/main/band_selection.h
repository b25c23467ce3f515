#pragma once

#include <vector>

namespace tarvelo::ui {

// Which bands are selected, and the current band whose properties the panel shows.
// The indices are kept sorted ascending without duplicates. User-interface thread only.
class BandSelection {
  public:
    // No entries; the current band becomes 0.
    void clear();

    // Removes i when selected, else inserts it. An insertion makes i current; a removal makes the
    // lowest remaining entry current, and keeps the current band when none remains.
    void toggle(int i);

    // The k-th smallest entry; k must be in 0..count()-1.
    int entry(int k) const { return entries_.at(static_cast<std::size_t>(k)); }
    int count() const { return static_cast<int>(entries_.size()); }
    int current() const { return current_; }
    bool contains(int i) const;
    const std::vector<int>& entries() const { return entries_; }

    // Two or more entries that form a run of adjacent bands.
    bool contiguous() const;

  private:
    std::vector<int> entries_;
    int current_ = 0;
};

}  // namespace tarvelo::ui
