#include "ui/controls/ui_look.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>

namespace tarvelo::ui {
namespace {

TEST(UiLook, QtsOwnButtonsReadJapaneseOnceTheTranslationsAreInstalled) {
    QTranslator* translator = installQtJapaneseTranslations(*QCoreApplication::instance());
    ASSERT_NE(translator, nullptr) << "Qt's Japanese translations are not installed";
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    const QString yes = box.button(QMessageBox::Yes)->text();
    const QString no = box.button(QMessageBox::No)->text();
    const QString cancel = box.button(QMessageBox::Cancel)->text();
    // The rest of the run keeps Qt's own texts as they were.
    QCoreApplication::removeTranslator(translator);
    delete translator;
    EXPECT_TRUE(yes.startsWith(QStringLiteral("はい"))) << yes.toStdString();
    EXPECT_TRUE(no.startsWith(QStringLiteral("いいえ"))) << no.toStdString();
    EXPECT_TRUE(cancel.startsWith(QStringLiteral("キャンセル"))) << cancel.toStdString();
}

}  // namespace
}  // namespace tarvelo::ui
