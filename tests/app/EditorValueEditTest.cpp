#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include "app/ValueEdit.h"
#include "tests/app/FormFixture.h"
#include "tests/app/EditorKeys.h"

namespace {

using EditorKeys::KeyClick;
using EditorKeys::KeyClicks;

// Drives the edit through real key events; counts the change signals.
struct TEditFixture : ::testing::Test {
    void SetUp() override {
        EnsureApplication();
        QLocale::setDefault(QLocale::c());
        Edit = std::make_unique<TValueEdit>();
        Edit->show();
        Edit->setFocus();
        QObject::connect(Edit.get(), &TValueEdit::Changed, [this] { ++Changes; });
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
    std::unique_ptr<TValueEdit> Edit;
    int Changes = 0;
};

TEST_F(TEditFixture, TypedCharactersChangeOnceEach) {
    KeyClicks(Edit.get(), "12.5");
    EXPECT_EQ(Edit->Text(), "12.5");
    EXPECT_EQ(Changes, 4);
}

TEST_F(TEditFixture, RejectedCharactersChangeNothing) {
    KeyClicks(Edit.get(), "1.25");
    Changes = 0;
    // A third decimal, a second separator, letters and signs are refused.
    KeyClicks(Edit.get(), "9.,x-+ e");
    EXPECT_EQ(Edit->Text(), "1.25");
    EXPECT_EQ(Changes, 0);
}

TEST_F(TEditFixture, CommaAndPointBothTypeTheLocaleSeparator) {
    KeyClicks(Edit.get(), "3,5");
    EXPECT_EQ(Edit->Text(), "3.5");
    EXPECT_EQ(Changes, 3);

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    Edit->SetText(QString());
    Changes = 0;
    KeyClicks(Edit.get(), "4.2");
    EXPECT_EQ(Edit->Text(), "4,2");
    EXPECT_EQ(Changes, 3);
    EXPECT_EQ(TValueEdit::ParseValue(Edit->Text()), 4.2);
}

TEST_F(TEditFixture, SettingTheSameTextEmitsNothing) {
    Edit->SetText("15.00");
    EXPECT_EQ(Changes, 1);
    Edit->SetText("15.00");
    Edit->SetValue(15.0);
    EXPECT_EQ(Changes, 1);
    Edit->SetValue(15.004);
    EXPECT_EQ(Changes, 1);
    Edit->SetValue(15.1);
    EXPECT_EQ(Edit->Text(), "15.10");
    EXPECT_EQ(Changes, 2);
}

TEST_F(TEditFixture, UpDownKeysAndButtonsStepByATenth) {
    Edit->SetText("49.96");
    Changes = 0;
    KeyClick(Edit.get(), Qt::Key_Up);
    EXPECT_EQ(Edit->Text(), "50.06");
    KeyClick(Edit.get(), Qt::Key_Down);
    KeyClick(Edit.get(), Qt::Key_Down);
    EXPECT_EQ(Edit->Text(), "49.86");
    EXPECT_EQ(Changes, 3);

    Edit->stepUp();
    EXPECT_EQ(Edit->Text(), "49.96");
    EXPECT_EQ(Changes, 4);
}

TEST_F(TEditFixture, StepsFromEmptyStartAtZeroAndStopAtZero) {
    KeyClick(Edit.get(), Qt::Key_Up);
    EXPECT_EQ(Edit->Text(), "0.10");
    Edit->SetText("0.05");
    KeyClick(Edit.get(), Qt::Key_Down);
    EXPECT_EQ(Edit->Text(), "0.00");
}

TEST_F(TEditFixture, EmptyingTheTextIsAChange) {
    Edit->SetText("7.00");
    Changes = 0;
    Edit->selectAll();
    KeyClick(Edit.get(), Qt::Key_Delete);
    EXPECT_EQ(Edit->Text(), "");
    EXPECT_EQ(Changes, 1);
}

TEST_F(TEditFixture, TextSurvivesLosingFocus) {
    KeyClicks(Edit.get(), "12.");
    Edit->clearFocus();
    QWidget other;
    other.show();
    other.setFocus();
    EXPECT_EQ(Edit->Text(), "12.");
}

TEST(ValueEditFormat, FormatsWithTwoDecimals) {
    const QLocale c = QLocale::c();
    const QLocale de(QLocale::German, QLocale::Germany);
    struct TRow {
        double Value;
        const char* C;
        const char* De;
    };
    for (const TRow& row :
         {TRow{0.0, "0.00", "0,00"}, TRow{-0.001, "0.00", "0,00"}, TRow{1.256, "1.26", "1,26"},
          TRow{0.5, "0.50", "0,50"}, TRow{157.07863, "157.08", "157,08"},
          TRow{1234.5, "1234.50", "1234,50"}, TRow{-0.5, "-0.50", "-0,50"}}) {
        EXPECT_EQ(TValueEdit::FormatValue(row.Value, c), row.C) << row.Value;
        EXPECT_EQ(TValueEdit::FormatValue(row.Value, de), row.De) << row.Value;
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
