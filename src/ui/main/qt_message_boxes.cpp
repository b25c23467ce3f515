#include "ui/main/qt_message_boxes.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStyle>

namespace tarvelo::ui {

namespace {

// A box taller than this many lines would not fit on a screen (a set list can have a hundred
// problems): its text scrolls instead.
constexpr int kMaxLinesInABox = 16;

// An Ok box whose text scrolls, with the message box's icon, named "longMessage" for tests.
void showScrolling(QWidget* parent, const QString& text, const QString& caption,
                   QMessageBox::Icon icon) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("longMessage"));
    dialog.setWindowTitle(caption);
    auto* layout = new QGridLayout(&dialog);
    if (icon != QMessageBox::NoIcon) {
        const QStyle::StandardPixmap which =
            icon == QMessageBox::Critical  ? QStyle::SP_MessageBoxCritical
            : icon == QMessageBox::Warning ? QStyle::SP_MessageBoxWarning
                                           : QStyle::SP_MessageBoxInformation;
        QStyle* style = dialog.style();
        const int size = style->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &dialog);
        auto* picture = new QLabel(&dialog);
        picture->setPixmap(style->standardIcon(which, nullptr, &dialog).pixmap(size, size));
        layout->addWidget(picture, 0, 0, Qt::AlignTop);
    }
    auto* body = new QPlainTextEdit(text, &dialog);
    body->setReadOnly(true);
    body->setLineWrapMode(QPlainTextEdit::NoWrap);
    body->setMinimumSize(560, 300);
    layout->addWidget(body, 0, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(buttons, 1, 0, 1, 2);
    dialog.exec();
}

}  // namespace

QString QtMessageBoxes::applicationTitle() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

MessageAnswer QtMessageBoxes::show(std::string_view text, std::string_view caption,
                                   MessageButtons buttons, MessageIcon icon) {
    const QString body = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const QString title =
        caption.empty() ? applicationTitle()
                        : QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
    QMessageBox::Icon picture = QMessageBox::NoIcon;
    switch (icon) {
        case MessageIcon::None:
            break;
        case MessageIcon::Information:
            picture = QMessageBox::Information;
            break;
        case MessageIcon::Warning:
            picture = QMessageBox::Warning;
            break;
        case MessageIcon::Error:
            picture = QMessageBox::Critical;
            break;
    }
    if (buttons == MessageButtons::Ok && body.count(QLatin1Char('\n')) >= kMaxLinesInABox) {
        showScrolling(parent_, body, title, picture);
        return MessageAnswer::Ok;
    }
    QMessageBox box(parent_);
    box.setText(body);
    box.setTextFormat(Qt::PlainText);
    box.setWindowTitle(title);
    box.setIcon(picture);
    if (buttons == MessageButtons::YesNoCancel) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    switch (box.exec()) {
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        case QMessageBox::Cancel:
            return MessageAnswer::Cancel;
        default:
            return buttons == MessageButtons::YesNoCancel ? MessageAnswer::Cancel
                                                          : MessageAnswer::Ok;
    }
}

}  // namespace tarvelo::ui
