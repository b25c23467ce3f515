#include "ui/main/drop_notice.h"

namespace tarvelo::ui {

namespace {
constexpr int kPollMs = 1000;
constexpr int kShownMs = 10000;
}  // namespace

DropNotice::DropNotice(std::function<std::uint64_t()> droppedMessages, QWidget* parent)
    : QLabel(parent), droppedMessages_(std::move(droppedMessages)) {
    setObjectName(QStringLiteral("dropNotice"));
    setTextFormat(Qt::PlainText);
    setStyleSheet(QStringLiteral("color: #c00000;"));
    hide();
    connect(&poll_, &QTimer::timeout, this, &DropNotice::check);
    poll_.start(kPollMs);
    hide_.setSingleShot(true);
    connect(&hide_, &QTimer::timeout, this, &QWidget::hide);
}

void DropNotice::check() {
    const std::uint64_t lost = report_.due(droppedMessages_(), DropReport::Clock::now());
    if (lost == 0)
        return;
    setText(QStringLiteral("出力が一杯で MIDI メッセージ %1 個を送れませんでした").arg(lost));
    show();
    hide_.start(kShownMs);
}

}  // namespace tarvelo::ui
