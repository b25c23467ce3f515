#pragma once

#include <chrono>
#include <cstdint>

namespace tarvelo {

// Turns the backend's running count of messages it could not send into reports for the user, at
// most one per interval, each with the number lost since the one before. A burst that overflows
// for a while makes one report a second, not one per message. User-interface thread.
class DropReport {
  public:
    using Clock = std::chrono::steady_clock;

    explicit DropReport(Clock::duration interval = std::chrono::seconds(1)) : interval_(interval) {}

    // total: the backend's count now. The messages lost since the last report when a report is
    // due at `now`; 0 when there is nothing new or the last report is too recent (what is new
    // then waits for a later call).
    std::uint64_t due(std::uint64_t total, Clock::time_point now) {
        if (total <= reported_ || (reportedOnce_ && now - last_ < interval_))
            return 0;
        const std::uint64_t lost = total - reported_;
        reported_ = total;
        last_ = now;
        reportedOnce_ = true;
        return lost;
    }

  private:
    Clock::duration interval_;
    std::uint64_t reported_ = 0;
    Clock::time_point last_{};
    bool reportedOnce_ = false;
};

}  // namespace tarvelo
