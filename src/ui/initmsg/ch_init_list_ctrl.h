#pragma once

#include <QTableWidget>
#include <vector>

namespace tarvelo::ui {

// The initial-message list: one row per message of a part, then one empty placeholder row on
// which a new message is added. Five fixed columns ("S", "Type", "Status", "Data1", "Data2"),
// rows of a fixed height, grid lines, full-row and multiple selection shown only while the list
// has the focus. It keeps no messages of its own: the owner renders rows into it.
//
// The owner puts its cell editors on cells (cellRect) and keeps them there: the list reports
// every scroll step, every column resize, and the start and end of a column-divider drag. The
// mouse wheel scrolls nothing, and double clicks are reported with their point before the list
// acts on them. User-interface thread only.
class CChInitListCtrl : public QTableWidget {
    Q_OBJECT

  public:
    static constexpr int kDefaultRowHeight = 18;

    explicit CChInitListCtrl(QWidget* parent = nullptr);

    // Every row this high, in pixels.
    void setUniformRowHeight(int height);
    int uniformRowHeight() const { return rowHeight_; }

    // Headings and widths of the five columns; resets widths the user dragged.
    void resetColumns();

    QString cellText(int row, int column) const;
    void setCellText(int row, int column, const QString& text);
    // The cell's tooltip; an empty text removes it. The cell must have been given a text.
    void setCellToolTip(int row, int column, const QString& text);

    // The cell at row and column in viewport coordinates, also for a row not (yet) in the list:
    // rows follow one another at the uniform height, less the scroll offset.
    QRect cellRect(int row, int column) const;

    std::vector<int> selectedRowsAscending() const;
    void setRowSelected(int row, bool selected);
    // Gives row the focus state (the current row) without touching the selection.
    void setFocusRow(int row);

  signals:
    // After the list has scrolled, horizontally or vertically.
    void scrolled();
    // A left double click at pos (viewport coordinates), before the list handles it.
    void doubleClickedAt(QPoint pos);
    // The user started dragging a column divider, and has let it go.
    void headerTrackBegan();
    void headerTrackEnded();
    // Column widths changed outside a drag (a divider double click, resetColumns).
    void columnsResized();

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void onSectionResized();
    void showSelection(bool shown);

    int rowHeight_ = kDefaultRowHeight;
    bool headerPressed_ = false;
    bool tracking_ = false;
};

}  // namespace tarvelo::ui
