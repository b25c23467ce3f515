#pragma once

#include <span>

namespace tarvelo::jack {

// Visits the events of several sources in non-decreasing frame order, so that whatever the
// visitor writes to an output port lands in the order the port requires. Within one source the
// events keep their order; between sources, equal frames go to the lower source index first.
//
// Source: bool hasEvent() const; frame() const (an unsigned frame offset); void advance().
// visit(Source&) is called with the source positioned on the event to handle.
//
// Process thread; no allocation. Cost: events x sources comparisons (there are a handful of
// inputs at most).
template <typename Source, typename Visit>
void visitInFrameOrder(std::span<Source> sources, Visit&& visit) {
    for (;;) {
        Source* next = nullptr;
        for (Source& source : sources) {
            if (source.hasEvent() && (next == nullptr || source.frame() < next->frame())) {
                next = &source;
            }
        }
        if (next == nullptr)
            return;
        visit(*next);
        next->advance();
    }
}

}  // namespace tarvelo::jack
