#pragma once

#include <QLabel>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "midi/drop_report.h"

namespace tarvelo::ui {

// A line in the window that tells the performer when MIDI messages could not be sent (an output
// was full): checks the session's count once a second and shows how many were lost, for a few
// seconds after the last loss. It does not interrupt the performance with a box.
// User-interface thread only.
class DropNotice : public QLabel {
    Q_OBJECT

  public:
    // droppedMessages: the session's running count of messages the outputs could not take.
    DropNotice(std::function<std::uint64_t()> droppedMessages, QWidget* parent);

    // Checks the count now (the timer does so once a second).
    void check();

  private:
    std::function<std::uint64_t()> droppedMessages_;
    DropReport report_;
    QTimer poll_;
    QTimer hide_;
};

}  // namespace tarvelo::ui
