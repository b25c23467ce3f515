#pragma once

#include <QFont>
#include <QPixmap>
#include <QWidget>
#include <optional>
#include <vector>

#include "model/part.h"
#include "ui/main/band_selection.h"

namespace tarvelo::ui {

// The band strip: one labelled rectangle per Part over the keys it covers, selected bands
// highlighted, the names in the strip's font. The strip is composed off screen whenever the bands
// change and copied in one piece when painted, so dragging a boundary does not flicker.
// User-interface thread only.
class BandStripView : public QWidget {
    Q_OBJECT

  public:
    explicit BandStripView(QWidget* parent = nullptr);

    // Composes the strip from the Parts (in list order), the selection and the view origin.
    // stripWidth is the width of the off-screen picture (the keyboard picture's client width).
    // Removes the guide line.
    void drawBands(const std::vector<Part>& parts, const BandSelection& selection, int originX,
                   int stripWidth);

    // The black guide line of a split preview at strip x, until the next drawBands.
    void drawGuideLine(int x);
    std::optional<int> guideLine() const { return guideX_; }

    // The composed strip as last drawn (stripWidth x 34).
    const QPixmap& composed() const { return strip_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QPixmap strip_;
    std::optional<int> guideX_;
};

}  // namespace tarvelo::ui
