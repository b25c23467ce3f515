#include "ui/main/panel_editing.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>

#include "ui/controls/in_edit.h"
#include "ui/main/band_selection.h"
#include "ui/main/property_panel.h"

namespace tarvelo::ui {

namespace {

std::string utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

}  // namespace

PanelEditing::PanelEditing(LiveSession& session, BandSelection& selection, PropertyPanel& panel,
                           QComboBox* inputBox, PanelEditingView& view,
                           std::function<void()> markModified, QObject* parent)
    : QObject(parent),
      selection_(selection),
      panel_(panel),
      inputBox_(inputBox),
      view_(view),
      markModified_(markModified),
      logic_(session, std::move(markModified)) {
    // Every keystroke renames the band; filling the panel sets the text without this signal.
    connect(panel_.nameEdit(), &QLineEdit::textEdited, this,
            [this](const QString& text) { apply(logic_.nameEdited(current(), utf8(text))); });

    connectSpin(panel_.channelSpin(), PanelSpin::Channel);
    connectSpin(panel_.noteShiftSpin(), PanelSpin::NoteShift);
    connectSpin(panel_.rangeLowSpin(), PanelSpin::RangeLow);
    connectSpin(panel_.rangeHighSpin(), PanelSpin::RangeHigh);

    connectEdit(panel_.channelEdit(), PanelEdit::Channel);
    connectEdit(panel_.noteShiftEdit(), PanelEdit::NoteShift);
    connectEdit(panel_.rangeLowEdit(), PanelEdit::RangeLow);
    connectEdit(panel_.rangeHighEdit(), PanelEdit::RangeHigh);

    // toggled, not clicked: the box and the logic must agree however the box was set.
    connect(panel_.hexBox(), &QCheckBox::toggled, this,
            [this](bool on) { apply(logic_.setHexDisplay(on)); });
    // The box toggles itself, exactly as the target does.
    connect(panel_.channelMessageBox(), &QCheckBox::clicked, this,
            [this] { apply(logic_.toggleChannelMessageTarget(current())); });
    connect(panel_.followsPedalsBox(), &QCheckBox::clicked, this,
            [this](bool on) { apply(logic_.setFollowsPedals(current(), on)); });
    connect(panel_.followsWheelsBox(), &QCheckBox::clicked, this,
            [this](bool on) { apply(logic_.setFollowsWheels(current(), on)); });
    connect(inputBox_, &QComboBox::activated, this,
            [this](int index) { apply(logic_.selectInputDevice(index)); });
    connect(panel_.outputBox(), &QComboBox::activated, this,
            [this](int index) { apply(logic_.selectOutputDevice(current(), index)); });
}

int PanelEditing::current() const {
    return selection_.current();
}

void PanelEditing::show(int band) {
    panel_.show(logic_.view(band), inputBox_);
}

void PanelEditing::connectSpin(QScrollBar* spin, PanelSpin which) {
    connect(spin, &QAbstractSlider::actionTriggered, this, [this, spin, which](int action) {
        // The bars are arrows, not sliders: the upper arrow (towards the bar's minimum) increases
        // the value. Anything else a bar offers (its track, its thumb, the wheel) changes
        // nothing, but counts as a click as the arrows do.
        switch (action) {
            case QAbstractSlider::SliderSingleStepSub:
                apply(logic_.spin(current(), which, SpinArrow::Up));
                break;
            case QAbstractSlider::SliderSingleStepAdd:
                apply(logic_.spin(current(), which, SpinArrow::Down));
                break;
            default:
                if (markModified_)
                    markModified_();
                apply({.showBand = true, .drawBands = false});
                break;
        }
        // The bar has already moved its slider where the action would go; it stays at the value.
        const QSignalBlocker block(spin);
        spin->setSliderPosition(spin->value());
    });
}

void PanelEditing::connectEdit(CInEdit* edit, PanelEdit which) {
    connect(edit, &CInEdit::enterPressed, this, [this, which](CInEdit* sender) {
        apply(logic_.enterPressed(current(), which, utf8(sender->text())));
    });
}

void PanelEditing::apply(PanelRefresh refresh) {
    if (refresh.showBand)
        view_.showBand(current());
    if (refresh.drawBands)
        view_.drawBands();
}

}  // namespace tarvelo::ui
