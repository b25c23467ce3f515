#include "ui/initmsg/ch_init_list_ctrl.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <array>
#include <set>

#include "ui/initmsg/init_message_text.h"

namespace tarvelo::ui {

namespace {

struct ColumnLayout {
    const char* heading;
    int width;
};

constexpr std::array<ColumnLayout, kInitColumnCount> kColumns{{
    {"S", 25},
    {"Type", 150},
    {"Status", 60},
    {"Data1", 100},
    {"Data2", 300},
}};

}  // namespace

CChInitListCtrl::CChInitListCtrl(QWidget* parent) : QTableWidget(0, kInitColumnCount, parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setShowGrid(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setSortingEnabled(false);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setFrameShape(QFrame::StyledPanel);
    showSelection(false);

    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    setUniformRowHeight(kDefaultRowHeight);

    QHeaderView* header = horizontalHeader();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(0);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->viewport()->installEventFilter(this);
    connect(header, &QHeaderView::sectionResized, this, &CChInitListCtrl::onSectionResized);

    QStringList headings;
    for (const ColumnLayout& column : kColumns) {
        headings << QString::fromLatin1(column.heading);
    }
    setHorizontalHeaderLabels(headings);
    resetColumns();

    // Connected after the scroll area's own handlers, so the list has scrolled when these run.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &CChInitListCtrl::scrolled);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, &CChInitListCtrl::scrolled);
    verticalScrollBar()->installEventFilter(this);
    horizontalScrollBar()->installEventFilter(this);
}

void CChInitListCtrl::setUniformRowHeight(int height) {
    rowHeight_ = height;
    verticalHeader()->setDefaultSectionSize(height);
    for (int row = 0; row < rowCount(); ++row) {
        setRowHeight(row, height);
    }
}

void CChInitListCtrl::resetColumns() {
    for (int column = 0; column < kInitColumnCount; ++column) {
        setColumnWidth(column, kColumns[static_cast<std::size_t>(column)].width);
    }
}

void CChInitListCtrl::setCellToolTip(int row, int column, const QString& text) {
    if (QTableWidgetItem* cell = item(row, column))
        cell->setToolTip(text);
}

QString CChInitListCtrl::cellText(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell ? cell->text() : QString();
}

void CChInitListCtrl::setCellText(int row, int column, const QString& text) {
    if (QTableWidgetItem* cell = item(row, column)) {
        cell->setText(text);
        return;
    }
    auto* cell = new QTableWidgetItem(text);
    cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    cell->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setItem(row, column, cell);
}

QRect CChInitListCtrl::cellRect(int row, int column) const {
    // The grid line belongs to the cell above and to the left, as in visualRect().
    const int grid = showGrid() ? 1 : 0;
    const int left = horizontalHeader()->sectionViewportPosition(column);
    const int top = row * rowHeight_ - verticalHeader()->offset();
    return QRect(left, top, columnWidth(column) - grid, rowHeight_ - grid);
}

std::vector<int> CChInitListCtrl::selectedRowsAscending() const {
    std::set<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedIndexes()) {
        rows.insert(index.row());
    }
    return {rows.begin(), rows.end()};
}

void CChInitListCtrl::setRowSelected(int row, bool selected) {
    const QModelIndex index = model()->index(row, 0);
    selectionModel()->select(
        index, (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                   QItemSelectionModel::Rows);
}

void CChInitListCtrl::setFocusRow(int row) {
    selectionModel()->setCurrentIndex(model()->index(row, 0), QItemSelectionModel::NoUpdate);
}

void CChInitListCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        emit doubleClickedAt(event->position().toPoint());
    }
    QTableWidget::mouseDoubleClickEvent(event);
}

void CChInitListCtrl::wheelEvent(QWheelEvent* event) {
    event->accept();
}

bool CChInitListCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel &&
        (watched == verticalScrollBar() || watched == horizontalScrollBar())) {
        return true;
    }
    if (watched == horizontalHeader()->viewport()) {
        if (event->type() == QEvent::MouseButtonPress &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            headerPressed_ = true;
        } else if (event->type() == QEvent::MouseButtonRelease &&
                   static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            headerPressed_ = false;
            if (tracking_) {
                tracking_ = false;
                emit headerTrackEnded();
            }
        }
    }
    return QTableWidget::eventFilter(watched, event);
}

void CChInitListCtrl::onSectionResized() {
    // A drag shows itself by its first resize; until the button is let go, the rest of it is one
    // track.
    if (headerPressed_) {
        if (!tracking_) {
            tracking_ = true;
            emit headerTrackBegan();
        }
        return;
    }
    emit columnsResized();
}

void CChInitListCtrl::showSelection(bool shown) {
    // Selected rows are painted in the highlight colours; without the focus those are the
    // ordinary ones, so the selection is there but not seen.
    QPalette colours = QApplication::palette(this);
    if (!shown) {
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            colours.setColor(group, QPalette::Highlight, colours.color(group, QPalette::Base));
            colours.setColor(group, QPalette::HighlightedText,
                             colours.color(group, QPalette::Text));
        }
    }
    setPalette(colours);
}

void CChInitListCtrl::focusInEvent(QFocusEvent* event) {
    QTableWidget::focusInEvent(event);
    showSelection(true);
}

void CChInitListCtrl::focusOutEvent(QFocusEvent* event) {
    QTableWidget::focusOutEvent(event);
    showSelection(false);
}

}  // namespace tarvelo::ui
