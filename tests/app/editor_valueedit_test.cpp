#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include "app/ValueEdit.h"
#include "tests/app/FormFixture.h"
#include "tests/app/editor_Keys.h"

namespace {

using EditorKeys::KeyClick;
using EditorKeys::KeyClicks;

// Drives the edit through real key events; counts the change signals.
struct EditFixture : ::testing::Test {
    void SetUp() override {
        EnsureApplication();
        QLocale::setDefault(QLocale::c());
        edit = std::make_unique<TValueEdit>();
        edit->show();
        edit->setFocus();
        QObject::connect(edit.get(), &TValueEdit::Changed, [this] { ++changes; });
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
    std::unique_ptr<TValueEdit> edit;
    int changes = 0;
};

TEST_F(EditFixture, TypedCharactersChangeOnceEach) {
    KeyClicks(edit.get(), "12.5");
    EXPECT_EQ(edit->Text(), "12.5");
    EXPECT_EQ(changes, 4);
}

TEST_F(EditFixture, RejectedCharactersChangeNothing) {
    KeyClicks(edit.get(), "1.25");
    changes = 0;
    // A third decimal, a second separator, letters and signs are refused.
    KeyClicks(edit.get(), "9.,x-+ e");
    EXPECT_EQ(edit->Text(), "1.25");
    EXPECT_EQ(changes, 0);
}

TEST_F(EditFixture, CommaAndPointBothTypeTheLocaleSeparator) {
    KeyClicks(edit.get(), "3,5");
    EXPECT_EQ(edit->Text(), "3.5");
    EXPECT_EQ(changes, 3);

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    edit->SetText(QString());
    changes = 0;
    KeyClicks(edit.get(), "4.2");
    EXPECT_EQ(edit->Text(), "4,2");
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(TValueEdit::ParseValue(edit->Text()), 4.2);
}

TEST_F(EditFixture, SettingTheSameTextEmitsNothing) {
    edit->SetText("15.00");
    EXPECT_EQ(changes, 1);
    edit->SetText("15.00");
    edit->SetValue(15.0);
    EXPECT_EQ(changes, 1);
    edit->SetValue(15.004);
    EXPECT_EQ(changes, 1);
    edit->SetValue(15.1);
    EXPECT_EQ(edit->Text(), "15.10");
    EXPECT_EQ(changes, 2);
}

TEST_F(EditFixture, UpDownKeysAndButtonsStepByATenth) {
    edit->SetText("49.96");
    changes = 0;
    KeyClick(edit.get(), Qt::Key_Up);
    EXPECT_EQ(edit->Text(), "50.06");
    KeyClick(edit.get(), Qt::Key_Down);
    KeyClick(edit.get(), Qt::Key_Down);
    EXPECT_EQ(edit->Text(), "49.86");
    EXPECT_EQ(changes, 3);

    edit->stepUp();
    EXPECT_EQ(edit->Text(), "49.96");
    EXPECT_EQ(changes, 4);
}

TEST_F(EditFixture, StepsFromEmptyStartAtZeroAndStopAtZero) {
    KeyClick(edit.get(), Qt::Key_Up);
    EXPECT_EQ(edit->Text(), "0.10");
    edit->SetText("0.05");
    KeyClick(edit.get(), Qt::Key_Down);
    EXPECT_EQ(edit->Text(), "0.00");
}

TEST_F(EditFixture, EmptyingTheTextIsAChange) {
    edit->SetText("7.00");
    changes = 0;
    edit->selectAll();
    KeyClick(edit.get(), Qt::Key_Delete);
    EXPECT_EQ(edit->Text(), "");
    EXPECT_EQ(changes, 1);
}

TEST_F(EditFixture, TextSurvivesLosingFocus) {
    KeyClicks(edit.get(), "12.");
    edit->clearFocus();
    QWidget other;
    other.show();
    other.setFocus();
    EXPECT_EQ(edit->Text(), "12.");
}

TEST(ValueEditFormat, FormatsWithTwoDecimals) {
    const QLocale c = QLocale::c();
    const QLocale de(QLocale::German, QLocale::Germany);
    struct Row {
        double value;
        const char* c;
        const char* de;
    };
    for (const Row& row :
         {Row{0.0, "0.00", "0,00"}, Row{-0.001, "0.00", "0,00"}, Row{1.256, "1.26", "1,26"},
          Row{0.5, "0.50", "0,50"}, Row{157.07863, "157.08", "157,08"},
          Row{1234.5, "1234.50", "1234,50"}, Row{-0.5, "-0.50", "-0,50"}}) {
        EXPECT_EQ(TValueEdit::FormatValue(row.value, c), row.c) << row.value;
        EXPECT_EQ(TValueEdit::FormatValue(row.value, de), row.de) << row.value;
    }
}

TEST(ValueEditParse, ReadsOnlyNumbersWithTheLocaleSeparator) {
    const QLocale c = QLocale::c();
    const QLocale de(QLocale::German, QLocale::Germany);
    EXPECT_EQ(TValueEdit::ParseValue("9.99", c), 9.99);
    EXPECT_EQ(TValueEdit::ParseValue(" 10 ", c), 10.0);
    EXPECT_EQ(TValueEdit::ParseValue("12.", c), 12.0);
    EXPECT_EQ(TValueEdit::ParseValue(".5", c), 0.5);
    EXPECT_EQ(TValueEdit::ParseValue("9,99", de), 9.99);
    for (const char* bad : {"", " ", ".", "1,5", "1.2.3", "abc", "1e3", "--1", "1 2"})
        EXPECT_FALSE(TValueEdit::ParseValue(bad, c).has_value()) << bad;
    EXPECT_FALSE(TValueEdit::ParseValue("9.99", de).has_value());
}

}  // namespace
