#include "ui/main/set_list_view.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

#include "ui/controls/in_edit.h"

namespace tarvelo::ui {

namespace {

QString utf8(const std::string& text) {
    return QString::fromStdString(text);
}

template <typename Widget>
Widget* named(Widget* widget, const char* name, QRect geometry) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

QFont sized(QFont font, int pixels, bool bold) {
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// The layout in the view's pixels: the show on the left, the list on the right, the list's
// editing along the bottom.
constexpr int kLeft = 12;
constexpr int kShowWidth = 540;
constexpr int kListLeft = 564;
constexpr int kListWidth = 234;
constexpr int kEditRowY = 198;
constexpr int kEditRowHeight = 26;

}  // namespace

SetListView::SetListView(QWidget* parent) : QWidget(parent) {
    createControls();
    connectControls();
}

void SetListView::createControls() {
    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    rule->setGeometry(0, 0, 810, 2);

    number_ = named(new QLabel(this), kNumberName, QRect(kLeft, 10, 150, 52));
    name_ = named(new QLabel(this), kSongName, QRect(kLeft + 158, 10, kShowWidth - 158, 52));
    for (QLabel* label : {number_, name_})
        label->setFont(sized(font(), 36, true));
    next_ = named(new QLabel(this), kNextName, QRect(kLeft, 68, kShowWidth, 30));
    next_->setFont(sized(font(), 22, false));
    for (QLabel* label : {number_, name_, next_})
        label->setTextFormat(Qt::PlainText);

    previous_ = named(new QPushButton(QStringLiteral("◀ 前の曲  (PageUp)"), this),
                      kPreviousButtonName, QRect(kLeft, 108, 176, 52));
    nextButton_ = named(new QPushButton(QStringLiteral("次の曲 ▶  (PageDown)"), this),
                        kNextButtonName, QRect(kLeft + 182, 108, 176, 52));
    panic_ = named(new QPushButton(QStringLiteral("パニック"), this), kPanicButtonName,
                   QRect(kLeft + 364, 108, kShowWidth - 364, 52));
    for (QPushButton* b : {previous_, nextButton_, panic_})
        b->setFont(sized(font(), 16, true));
    panic_->setStyleSheet(QStringLiteral("color: #b00000;"));

    listFile_ = named(new QLabel(this), kListFileName, QRect(kLeft, 170, kShowWidth, 20));
    listFile_->setTextFormat(Qt::PlainText);

    list_ = named(new QListWidget(this), kListName, QRect(kListLeft, 10, kListWidth, 180));
    list_->setFont(sized(font(), 15, false));
    // Page Up and Page Down belong to the window (the previous and next song), and the list's own
    // arrows would pick a row without switching to it.
    list_->setFocusPolicy(Qt::NoFocus);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    int x = kLeft;
    auto place = [&x](QWidget* w, int width) {
        w->setGeometry(x, kEditRowY, width, kEditRowHeight);
        x += width + 6;
    };
    editMode_ = named(new QCheckBox(QStringLiteral("リスト編集"), this), kEditModeName, {});
    place(editMode_, 84);
    add_ = named(new QPushButton(QStringLiteral("曲を追加..."), this), kAddName, {});
    place(add_, 80);
    remove_ = named(new QPushButton(QStringLiteral("外す"), this), kRemoveName, {});
    place(remove_, 48);
    up_ = named(new QPushButton(QStringLiteral("上へ"), this), kUpName, {});
    place(up_, 48);
    down_ = named(new QPushButton(QStringLiteral("下へ"), this), kDownName, {});
    place(down_, 48);
    renameEdit_ = named(new CInEdit(this), kRenameEditName, {});
    place(renameEdit_, 150);
    rename_ = named(new QPushButton(QStringLiteral("名前を変更"), this), kRenameName, {});
    place(rename_, 76);
    save_ = named(new QPushButton(QStringLiteral("リストを保存"), this), kSaveName, {});
    place(save_, 88);
    saveAs_ = named(new QPushButton(QStringLiteral("別名で保存..."), this), kSaveAsName, {});
    place(saveAs_, 88);
    for (QPushButton* b :
         {previous_, nextButton_, panic_, add_, remove_, up_, down_, rename_, save_, saveAs_}) {
        b->setAutoDefault(false);
    }
    renameEdit_->setPlaceholderText(QStringLiteral("曲名"));

    previous_->setToolTip(QStringLiteral("前の曲に切り替える (PageUp キー)"));
    nextButton_->setToolTip(QStringLiteral("次の曲に切り替える (PageDown キー)"));
    panic_->setToolTip(QStringLiteral("すべての出力の音を止める"));
    editMode_->setToolTip(
        QStringLiteral("オンの間、リストのクリックは曲の切り替えでなく選択になる"));
}

void SetListView::connectControls() {
    connect(list_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const int row = list_->row(item);
        if (editMode_->isChecked()) {
            showPicked();
        } else if (row >= 0) {
            emit songClicked(row);
        }
    });
    connect(editMode_, &QCheckBox::toggled, this, [this] {
        // Leaving the editing, the list shows the song played now again.
        showState(shown_);
    });
    connect(previous_, &QPushButton::clicked, this, &SetListView::previousClicked);
    connect(nextButton_, &QPushButton::clicked, this, &SetListView::nextClicked);
    connect(panic_, &QPushButton::clicked, this, &SetListView::panicClicked);
    connect(add_, &QPushButton::clicked, this, &SetListView::addClicked);
    connect(remove_, &QPushButton::clicked, this, [this] { emit removeClicked(picked()); });
    connect(up_, &QPushButton::clicked, this, [this] {
        const int row = picked();
        list_->setCurrentRow(row - 1);
        emit moveClicked(row, -1);
    });
    connect(down_, &QPushButton::clicked, this, [this] {
        const int row = picked();
        list_->setCurrentRow(row + 1);
        emit moveClicked(row, 1);
    });
    auto rename = [this] { emit renameClicked(picked(), renameEdit_->text()); };
    connect(rename_, &QPushButton::clicked, this, rename);
    connect(renameEdit_, &CInEdit::enterPressed, this, rename);
    connect(save_, &QPushButton::clicked, this, &SetListView::saveClicked);
    connect(saveAs_, &QPushButton::clicked, this, &SetListView::saveAsClicked);
}

int SetListView::picked() const {
    return editMode_->isChecked() ? list_->currentRow() : -1;
}

void SetListView::showState(const SetListShow& show) {
    const int keep = list_->currentRow();
    shown_ = show;
    number_->setText(utf8(show.number));
    // A name wider than its place ends in an ellipsis rather than being cut.
    name_->setText(
        name_->fontMetrics().elidedText(utf8(show.name), Qt::ElideRight, name_->width()));
    name_->setToolTip(utf8(show.name));
    next_->setText(
        next_->fontMetrics().elidedText(utf8(show.next), Qt::ElideRight, next_->width()));
    listFile_->setText(utf8(show.listName));
    previous_->setEnabled(show.hasPrevious);
    nextButton_->setEnabled(show.hasNext);
    {
        const QSignalBlocker block(list_);
        list_->clear();
        // Entries too long for the list end in an ellipsis; the tip shows the whole song.
        const int room = list_->viewport()->width() - 8;
        for (std::size_t i = 0; i < show.entries.size(); ++i) {
            QFont face = list_->font();
            face.setBold(static_cast<int>(i) == show.current);
            const QString text =
                QFontMetrics(face).elidedText(utf8(show.entries[i]), Qt::ElideRight, room);
            auto* item = new QListWidgetItem(text, list_);
            item->setFont(face);
            item->setToolTip(utf8(show.names[i] + "\n" + show.details[i]));
        }
        const int count = list_->count();
        list_->setCurrentRow(editMode_->isChecked() && keep >= 0 ? std::min(keep, count - 1)
                                                                 : show.current);
    }
    showPicked();
}

void SetListView::showPicked() {
    const int row = picked();
    const int count = static_cast<int>(shown_.names.size());
    const bool valid = row >= 0 && row < count;
    renameEdit_->setText(valid ? utf8(shown_.names[static_cast<std::size_t>(row)]) : QString());
    renameEdit_->setEnabled(valid);
    rename_->setEnabled(valid);
    remove_->setEnabled(valid && row != shown_.current && count > 1);
    up_->setEnabled(valid && row > 0);
    down_->setEnabled(valid && row + 1 < count);
}

}  // namespace tarvelo::ui
