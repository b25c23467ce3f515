#include "ui/main/about_box.h"

#include <QLabel>
#include <QPushButton>

#include "ui/main/dialog_layout.h"
#include "ui/resources/bitmaps.h"

namespace tarvelo::ui {

const QString AboutBox::kMenuText = QStringLiteral("バージョン情報 Tarvelo(&A)...");

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("バージョン情報 Tarvelo"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(dluToPixels(265), dluToPixels(72));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    icon->setPixmap(applicationIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    placeControl(icon, dluRect(11, 17, 18, 21));

    auto* version = new QLabel(QStringLiteral("Tarvelo Version 1.0"), this);
    version->setTextFormat(Qt::PlainText);
    version->setObjectName(QStringLiteral("version"));
    placeControl(version, dluRect(40, 10, 119, 8));
    version->resize(version->width(), std::max(version->height(), version->sizeHint().height()));

    auto* licence =
        new QLabel(QStringLiteral("GPL-3.0-or-later (GNU GPL バージョン 3 以降)"), this);
    licence->setTextFormat(Qt::PlainText);
    licence->setObjectName(QStringLiteral("licence"));
    placeControl(licence, dluRect(40, 24, 160, 8));
    licence->resize(licence->width(), std::max(licence->height(), licence->sizeHint().height()));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    placeControl(ok, dluRect(208, 7, 50, 16), 1);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace tarvelo::ui
