#include "ui/controls/in_edit.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace tarvelo::ui {
namespace {

// A dialog with a default button and two edits, as the windows that use CInEdit have.
struct EditDialog {
    EditDialog() {
        ok.setDefault(true);
        ok.setAutoDefault(true);
        QObject::connect(&ok, &QPushButton::clicked, [this] { ++defaultClicks; });
        dialog.show();  // a hidden default button is never pressed
    }
    QDialog dialog;
    QPushButton ok{"OK", &dialog};
    CInEdit edit{&dialog};
    CInEdit other{&dialog};
    int defaultClicks = 0;
};

TEST(CInEdit, EnterIsReportedOnceNamingTheEditAndNeverPressesTheDefaultButton) {
    EditDialog d;
    d.edit.setText("3Ch");
    QSignalSpy spy(&d.edit, &CInEdit::enterPressed);
    QSignalSpy finished(&d.edit, &QLineEdit::returnPressed);

    QTest::keyClick(&d.edit, Qt::Key_Return);
    QTest::keyClick(&d.edit, Qt::Key_Enter);  // the keypad's Enter commits the same way

    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(0).at(0).value<CInEdit*>(), &d.edit);
    EXPECT_EQ(d.defaultClicks, 0);
    EXPECT_EQ(finished.count(), 0) << "the edit itself must not see the key";
    EXPECT_EQ(d.edit.text(), "3Ch");
    EXPECT_EQ(d.dialog.result(), 0);
}

TEST(CInEdit, OnlyTheEditWithTheKeyReportsIt) {
    EditDialog d;
    QSignalSpy first(&d.edit, &CInEdit::enterPressed);
    QSignalSpy second(&d.other, &CInEdit::enterPressed);
    QTest::keyClick(&d.other, Qt::Key_Return);
    EXPECT_EQ(first.count(), 0);
    ASSERT_EQ(second.count(), 1);
    EXPECT_EQ(second.at(0).at(0).value<CInEdit*>(), &d.other);
}

TEST(CInEdit, OtherKeysTypeAndEscapeStillReachesTheDialog) {
    EditDialog d;
    QSignalSpy spy(&d.edit, &CInEdit::enterPressed);
    QTest::keyClicks(&d.edit, "12");
    EXPECT_EQ(d.edit.text(), "12");
    QSignalSpy rejected(&d.dialog, &QDialog::rejected);
    QTest::keyClick(&d.edit, Qt::Key_Escape);
    EXPECT_EQ(rejected.count(), 1);
    EXPECT_EQ(spy.count(), 0);
}

}  // namespace
}  // namespace tarvelo::ui
