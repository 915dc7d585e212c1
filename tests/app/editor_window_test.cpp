// The editor driven through the window's real widgets: presets from the tray
// field's menu, typing and stepping in the value edits, the rotate and reset
// buttons, the check boxes, Ctrl+arrow keys and Help.

#include <QAction>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include "app/Presets.h"
#include "app/ValueEdit.h"
#include "tests/app/FormFixture.h"
#include "tests/app/editor_Keys.h"

struct TEditorProbe {
    static TTraceInfo& Working(TForm1& f) { return f.FWorking; }
    static TTraceInfo& Received(TForm1& f) { return f.FReceived; }
    static std::string& EndMessage(TForm1& f) { return f.FEndMessage; }
    static std::uint8_t& State(TForm1& f) { return f.FState; }
    static std::int32_t& Countdown(TForm1& f) { return f.FCountdown; }
    static std::string& PointCount(TForm1& f) { return f.FPointCount; }
    static bool& Updating(TForm1& f) { return f.FUpdating; }
    static std::int32_t& OverlayX(TForm1& f) { return f.FOverlayX; }
    static std::int32_t& OverlayY(TForm1& f) { return f.FOverlayY; }
};

namespace {

using EditorKeys::KeyClick;
using EditorKeys::KeyClicks;

using TProbe = TEditorProbe;

const QColor KSilver(192, 192, 192);
const QColor KNavy(0, 0, 128);
const QColor KAqua(0, 255, 255);
const QColor KRed(255, 0, 0);
const QColor KGrey(128, 128, 128);

std::string Resampled1024(const std::string& radii) {
    TTraceCalc calc;
    calc.LoadTrace(radii);
    calc.Resample(1024);
    return calc.GetTrace();
}

int Count(const QImage& image, const QColor& colour, QRect area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += image.pixelColor(x, y) == colour;
    return n;
}

class TEditorWindow : public TFormFixture {
protected:
    void SetUp() override {
        TFormFixture::SetUp();
        QLocale::setDefault(QLocale::c());
        Create();
        FForm->show();
        FForm->activateWindow();
        QDeadlineTimer deadline(5000);
        while (QApplication::activeWindow() != FForm.get() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_EQ(QApplication::activeWindow(), FForm.get());
    }

    TForm1& F() { return *FForm; }
    TTraceInfo& Working() { return TProbe::Working(*FForm); }
    TTraceInfo& Received() { return TProbe::Received(*FForm); }
    std::string& Message() { return TProbe::EndMessage(*FForm); }
    QImage Picture() const { return FForm->Image1->pixmap().toImage(); }

    // Replaces an edit's text by typing, as the operator does.
    void Type(TValueEdit* edit, const char* text) {
        edit->setFocus();
        edit->selectAll();
        if (*text == '\0')
            KeyClick(edit, Qt::Key_Delete);
        else
            KeyClicks(edit, text);
    }

    void UntickLockB() {
        if (FForm->LockBCheckbox->isChecked()) FForm->LockBCheckbox->click();
    }
};

TEST_F(TEditorWindow, StartsEmptyWithTheEditingControlsDisabled) {
    for (TValueEdit* edit : {F().BoxAEdit, F().BoxBEdit, F().CircEdit, F().DBLEdit}) {
        EXPECT_EQ(edit->Text(), "");
        EXPECT_FALSE(edit->isEnabled());
    }
    for (QLabel* label : {F().ChgALabel, F().ChgBLabel, F().ChgCLabel, F().DBLChgLabel})
        EXPECT_EQ(label->text(), "---");
    EXPECT_FALSE(F().SaveButton->isEnabled());
    EXPECT_FALSE(F().RotLeftButton->isEnabled());
    EXPECT_FALSE(F().RotRightButton->isEnabled());
    EXPECT_TRUE(F().LockBCheckbox->isChecked());
    const QImage image = Picture();
    EXPECT_EQ(image.size(), QSize(462, 406));
    EXPECT_EQ(Count(image, KSilver, image.rect()), 462 * 406);
}

TEST_F(TEditorWindow, CirclePresetOnAFreshStart) {
    F().Circle1->trigger();
    EXPECT_EQ(Received().Radii, CircleRadii());
    EXPECT_EQ(F().TrayEdit->text(), "CIRCLE");
    EXPECT_TRUE(F().ReqButton->isEnabled());
    EXPECT_EQ(Working().Radii.size(), 4096u);
    EXPECT_EQ(Working().Radii, Resampled1024(CircleRadii()));
    EXPECT_EQ(Working().DBL, 15.0);
    EXPECT_EQ(Received().DBL, 0.0);
    EXPECT_EQ(F().DBLEdit->Text(), "15.00");
    EXPECT_EQ(F().DBLChgLabel->text(), "+15.00");
    EXPECT_EQ(F().BoxBEdit->Text(), "50.00");
    EXPECT_EQ(F().ChgALabel->text(), "0.00");
    EXPECT_EQ(F().ChgBLabel->text(), "0.00");
    EXPECT_EQ(TProbe::PointCount(F()), "512");
    EXPECT_EQ(TProbe::OverlayX(F()), 236);
    EXPECT_EQ(TProbe::OverlayY(F()), 203);
    EXPECT_TRUE(Message().empty());
    for (QWidget* w : std::initializer_list<QWidget*>{
             F().SaveButton, F().ResetButton, F().ShowOrigCheckbox, F().DetailedGridCheckBox,
             F().RotLeftButton, F().RotRightButton})
        EXPECT_TRUE(w->isEnabled());
    EXPECT_FALSE(F().BoxAEdit->isEnabled());  // Lock B at Datum is ticked
    EXPECT_EQ(Picture().pixelColor(346, 93), KNavy);
}

TEST_F(TEditorWindow, EachPresetFromItsMenuItem) {
    struct TRow {
        QAction* TForm1::*Item;
        const char* Tray;
        std::string Radii;
        double Box;
    };
    for (const TRow& r : {TRow{&TForm1::Square1, "SQUARE", SquareRadii(), 50.0},
                         TRow{&TForm1::Diamond1, "DIAMOND", DiamondRadii(), 70.7},
                         TRow{&TForm1::FlowerPot1, "FLPOT", FlowerPotRadii(), 50.0}}) {
        (F().*r.Item)->trigger();
        EXPECT_EQ(F().TrayEdit->text(), r.Tray);
        EXPECT_EQ(Received().Radii, r.Radii) << r.Tray;
        EXPECT_NEAR(Received().HBox, r.Box, 0.05) << r.Tray;
        EXPECT_NEAR(Received().VBox, r.Box, 0.05) << r.Tray;
        EXPECT_EQ(Working().Radii, Resampled1024(r.Radii)) << r.Tray;
    }
}

TEST_F(TEditorWindow, ChoosingAPresetTwiceGivesTheSameResult) {
    F().Square1->trigger();
    const TTraceInfo firstWorking = Working();
    const TTraceInfo firstReceived = Received();
    // The DBL change runs even though the edit already shows 15.00: it is what
    // empties the message.
    Message() = "Box A Too small";
    F().Square1->trigger();
    EXPECT_TRUE(Message().empty());
    EXPECT_EQ(Working().Radii, firstWorking.Radii);
    EXPECT_EQ(Working().DBL, 15.0);
    EXPECT_EQ(Working().HBox, firstWorking.HBox);
    EXPECT_EQ(Received().Radii, firstReceived.Radii);
    EXPECT_EQ(F().DBLEdit->Text(), "15.00");
}

TEST_F(TEditorWindow, APresetAbandonsARunningConversation) {
    TProbe::State(F()) = cvAwaitJob;
    TProbe::Countdown(F()) = 12;
    F().TimeoutTimer->start();
    F().EnableControls(false);
    F().FlowerPot1->trigger();
    EXPECT_EQ(TProbe::State(F()), cvIdle);
    EXPECT_TRUE(F().ReqButton->isEnabled());
    EXPECT_TRUE(F().SettingsButton->isEnabled());
    EXPECT_TRUE(F().SaveButton->isEnabled());
    EXPECT_FALSE(F().TimeoutTimer->isActive());
    EXPECT_TRUE(Message().empty());
}

TEST_F(TEditorWindow, AnAbandonedConversationReportsNoTimeout) {
    // One second before the timeout: the preset must not let it fire.
    TProbe::State(F()) = cvAwaitInitAnswer;
    TProbe::Countdown(F()) = 1;
    F().TimeoutTimer->start();
    F().Circle1->trigger();
    Settle();
    EXPECT_FALSE(F().TimeoutTimer->isActive());
    EXPECT_TRUE(Message().empty());
    EXPECT_TRUE(FViewed.empty());
    EXPECT_EQ(Panel(1), "");
}

TEST_F(TEditorWindow, BoxABelowTenIsRefusedUntilItIsValidAgain) {
    F().Circle1->trigger();
    UntickLockB();
    ASSERT_TRUE(F().BoxAEdit->isEnabled());
    const TTraceInfo before = Working();

    Type(F().BoxAEdit, "9.99");
    EXPECT_EQ(F().BoxAEdit->Text(), "9.99");
    EXPECT_EQ(Message(), "Box A Too small");
    EXPECT_FALSE(F().SaveButton->isEnabled());
    EXPECT_EQ(Working().Radii, before.Radii);
    EXPECT_EQ(Working().HBox, before.HBox);
    EXPECT_EQ(F().BoxBEdit->Text(), "50.00");
    EXPECT_EQ(F().CircEdit->Text(), TValueEdit::FormatValue(before.Circ));
    const QImage refused = Picture();
    EXPECT_GT(Count(refused, KRed, QRect(0, 0, 200, 30)), 30);
    EXPECT_EQ(Count(refused, KRed, QRect(0, 30, 462, 376)), 0);

    Type(F().BoxAEdit, "10");
    EXPECT_TRUE(Message().empty());
    EXPECT_TRUE(F().SaveButton->isEnabled());
    EXPECT_NEAR(Working().HBox, 10.0, 0.02);
    EXPECT_NEAR(Working().VBox, 50.0, 0.02);
    EXPECT_EQ(Working().Radii.size(), 4096u);
    // The edit being typed in keeps the operator's text; the others follow.
    EXPECT_EQ(F().BoxAEdit->Text(), "10");
    EXPECT_EQ(F().ChgALabel->text(), TForm1::FormatChange(Working().HBox - 50.0));
    EXPECT_EQ(Count(Picture(), KRed, QRect(0, 0, 462, 406)), 0);
}

TEST_F(TEditorWindow, WithLockBAChangeOfBIgnoresBoxA) {
    F().Circle1->trigger();
    ASSERT_TRUE(F().LockBCheckbox->isChecked());
    TProbe::Updating(F()) = true;
    F().BoxAEdit->SetText("5.00");
    TProbe::Updating(F()) = false;
    F().BoxBEdit->setFocus();
    KeyClick(F().BoxBEdit, Qt::Key_Up);
    EXPECT_EQ(F().BoxBEdit->Text(), "50.10");
    EXPECT_TRUE(Message().empty());
    EXPECT_NEAR(Working().VBox, 50.1, 0.02);
    EXPECT_NEAR(Working().HBox, 50.0, 0.02);
}

TEST_F(TEditorWindow, AChangeOfAAlsoAppliesBAsShown) {
    F().Circle1->trigger();
    UntickLockB();
    TProbe::Updating(F()) = true;
    F().BoxBEdit->SetText("40.00");
    TProbe::Updating(F()) = false;
    Type(F().BoxAEdit, "55");
    EXPECT_TRUE(Message().empty());
    EXPECT_NEAR(Working().HBox, 55.0, 0.02);
    EXPECT_NEAR(Working().VBox, 40.0, 0.02);
}

TEST_F(TEditorWindow, CircumferenceEditsAndTheirFailures) {
    F().Circle1->trigger();
    const TTraceInfo before = Working();

    Type(F().CircEdit, "");
    EXPECT_EQ(Message(), "'' is not a valid floating point value");
    EXPECT_FALSE(F().SaveButton->isEnabled());
    EXPECT_EQ(Working().Radii, before.Radii);

    KeyClicks(F().CircEdit, "1");  // a circumference of 1 mm
    EXPECT_EQ(Message(), "Circ Too small");
    EXPECT_EQ(Working().Radii, before.Radii);

    Type(F().CircEdit, "314.16");
    EXPECT_TRUE(Message().empty());
    EXPECT_NEAR(Working().Circ, 314.16, 0.05);
    EXPECT_NEAR(Working().HBox, 100.0, 0.05);
}

TEST_F(TEditorWindow, AnEnlargementBeyondTheRadiusGridIsRefusedLikeTooSmall) {
    // 25 mm radii scaled to 125 mm cannot be written as four digits.
    F().Circle1->trigger();
    UntickLockB();
    const TTraceInfo before = Working();
    for (const auto& [Edit, Text] : {std::pair{F().BoxAEdit, "250"}, {F().CircEdit, "785.4"}}) {
        Edit->SetText(QString::fromLatin1(Text));  // at once: typing passes through 25 and 78
        EXPECT_EQ(Message(), "Radius 125.00 mm is outside 0 to 99.99 mm") << Text;
        EXPECT_FALSE(F().SaveButton->isEnabled());
        EXPECT_EQ(Working().Radii, before.Radii);
        EXPECT_EQ(Working().HBox, before.HBox);
    }
    Type(F().CircEdit, "314.16");
    EXPECT_TRUE(Message().empty());
    EXPECT_TRUE(F().SaveButton->isEnabled());
}

TEST_F(TEditorWindow, EmptyingDBLKeepsItButStartsAgainFromTheReceivedShape) {
    F().Circle1->trigger();
    UntickLockB();
    Type(F().BoxAEdit, "60");
    ASSERT_NEAR(Working().HBox, 60.0, 0.02);

    Type(F().DBLEdit, "");
    EXPECT_TRUE(Message().empty());
    EXPECT_TRUE(F().SaveButton->isEnabled());
    EXPECT_EQ(Working().DBL, 15.0);
    EXPECT_EQ(Working().Radii, Resampled1024(Received().Radii));

    KeyClicks(F().DBLEdit, "17,5");
    EXPECT_EQ(Working().DBL, 17.5);
    EXPECT_EQ(F().DBLChgLabel->text(), "+17.50");
}

TEST_F(TEditorWindow, RotationByOnePoint) {
    F().Square1->trigger();
    F().ResetButton->click();
    const std::string start = Working().Radii;
    ASSERT_EQ(start.size(), 2048u);

    F().RotRightButton->click();
    EXPECT_EQ(Working().Radii, start.substr(4) + start.substr(0, 4));
    F().RotLeftButton->click();
    EXPECT_EQ(Working().Radii, start);

    F().RotLeftButton->click();
    EXPECT_EQ(Working().Radii, start.substr(2044) + start.substr(0, 2044));
    F().RotRightButton->click();

    for (int i = 0; i < 512; ++i) F().RotRightButton->click();
    EXPECT_EQ(Working().Radii, start);

    // Rotating 64 points turns the square into the diamond, box values too.
    for (int i = 0; i < 64; ++i) F().RotRightButton->click();
    EXPECT_EQ(Working().Radii, DiamondRadii());
    EXPECT_NEAR(Working().HBox, 70.7, 0.05);
    EXPECT_EQ(F().BoxBEdit->Text(), TValueEdit::FormatValue(Working().VBox));

    // A later edit starts from the received shape: the rotation is gone.
    F().DBLEdit->setFocus();
    KeyClick(F().DBLEdit, Qt::Key_Up);
    EXPECT_EQ(Working().Radii, Resampled1024(SquareRadii()));
    EXPECT_DOUBLE_EQ(Working().DBL, 0.1);  // Reset brought back the received DBL of 0
}

TEST_F(TEditorWindow, ResetRestoresTheReceivedShape) {
    F().FlowerPot1->trigger();
    UntickLockB();
    Type(F().BoxAEdit, "44");
    F().RotRightButton->click();
    F().ResetButton->click();
    Settle();
    EXPECT_EQ(Working().Radii, Received().Radii);
    EXPECT_EQ(Working().Radii.size(), 2048u);
    EXPECT_EQ(Working().DBL, Received().DBL);
    for (QLabel* label : {F().ChgALabel, F().ChgBLabel, F().ChgCLabel, F().DBLChgLabel})
        EXPECT_EQ(label->text(), "0.00");
    EXPECT_EQ(F().DBLEdit->Text(), "0.00");
}

TEST_F(TEditorWindow, WithoutAReceivedShapeEditsStartFromNothing) {
    // The port settings were applied after a job was loaded: the received
    // shape is gone, the working one is still there.
    F().Square1->trigger();
    Received().Radii.clear();
    const TTraceInfo before = Working();

    Type(F().CircEdit, "100");
    EXPECT_EQ(Message(), "Floating point division by zero");
    EXPECT_EQ(Working().Radii, before.Radii);

    F().DBLEdit->SetText("16.00");
    EXPECT_TRUE(Message().empty());
    EXPECT_TRUE(Working().Radii.empty());
    EXPECT_EQ(Working().DBL, 16.0);
    EXPECT_EQ(Count(Picture(), KSilver, QRect(0, 0, 462, 406)), 462 * 406);
}

// The sign goes with the number shown: a change that rounds to zero shows
// as 0.00, never "-0.00" or "+0.00". Numbers read like the edits' (the
// locale's separator, no group separators).
TEST(FormatChange, SignsOnlyChangesThatShow) {
    const struct {
        QLocale Locale;
        double Value;
        const char* Text;
    } rows[] = {
        {QLocale::c(), 1.256, "+1.26"},
        {QLocale::c(), 0.0, "0.00"},
        {QLocale::c(), -0.0, "0.00"},
        {QLocale::c(), -0.5, "-0.50"},
        {QLocale::c(), 15.0, "+15.00"},
        {QLocale::c(), -0.004, "0.00"},
        {QLocale::c(), 0.004, "0.00"},
        {QLocale::c(), -1e-12, "0.00"},
        {QLocale::c(), -0.006, "-0.01"},
        {QLocale::c(), 0.006, "+0.01"},
        {QLocale(QLocale::German, QLocale::Germany), -1234.5, "-1234,50"},
        {QLocale(QLocale::German, QLocale::Germany), -0.001, "0,00"},
        {QLocale(QLocale::English, QLocale::UnitedStates), 12345.5, "+12345.50"},
    };
    for (const auto& row : rows) {
        QLocale::setDefault(row.Locale);
        EXPECT_EQ(TForm1::FormatChange(row.Value), QString::fromUtf8(row.Text))
            << row.Value << " in " << row.Locale.name().toStdString();
    }
    QLocale::setDefault(QLocale::c());
}

TEST_F(TEditorWindow, LockBDecidesWhetherBoxACanBeEdited) {
    F().Circle1->trigger();
    EXPECT_FALSE(F().BoxAEdit->isEnabled());
    F().LockBCheckbox->click();
    EXPECT_TRUE(F().BoxAEdit->isEnabled());
    F().LockBCheckbox->click();
    EXPECT_FALSE(F().BoxAEdit->isEnabled());
}

TEST_F(TEditorWindow, CheckBoxesRedrawWithGridAndReceivedOutline) {
    F().Circle1->trigger();
    UntickLockB();
    Type(F().BoxAEdit, "60");
    Settle();
    EXPECT_EQ(Count(Picture(), KGrey, Picture().rect()), 0);
    EXPECT_EQ(Count(Picture(), KAqua, Picture().rect()), 0);
    F().DetailedGridCheckBox->click();
    F().ShowOrigCheckbox->click();
    Settle();
    const QImage image = Picture();
    EXPECT_GT(Count(image, KGrey, image.rect()), 100);
    EXPECT_GT(Count(image, KAqua, image.rect()), 100);
}

TEST_F(TEditorWindow, CtrlArrowsMoveTheReceivedOutline) {
    F().Circle1->trigger();
    F().ShowOrigCheckbox->click();
    Settle();
    ASSERT_EQ(TProbe::OverlayX(F()), 236);

    // A focused value edit does not see the key: its value stays.
    F().DBLEdit->setFocus();
    KeyClick(F().DBLEdit, Qt::Key_Up, Qt::ControlModifier);
    KeyClick(F().DBLEdit, Qt::Key_Right, Qt::ControlModifier);
    KeyClick(F().DBLEdit, Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(F().DBLEdit->Text(), "15.00");
    EXPECT_EQ(TProbe::OverlayX(F()), 238);
    EXPECT_EQ(TProbe::OverlayY(F()), 202);
    Settle();
    // The 25 mm outline, 156 pixels at this scale, now around (238, 202).
    EXPECT_EQ(Picture().pixelColor(238 + 110, 202 - 110), KAqua);

    // At the top edge no key moves it any more, but each still redraws.
    TProbe::OverlayY(F()) = 0;
    KeyClick(F().DBLEdit, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(TProbe::OverlayY(F()), 0);

    // Left of the picture, the next drawing puts it back at the centre.
    TProbe::OverlayY(F()) = 10;
    TProbe::OverlayX(F()) = 0;
    KeyClick(F().DBLEdit, Qt::Key_Left, Qt::ControlModifier);
    Settle();
    EXPECT_EQ(TProbe::OverlayX(F()), 236);
    EXPECT_EQ(TProbe::OverlayY(F()), 203);

    // Without Ctrl the arrow belongs to the edit.
    KeyClick(F().DBLEdit, Qt::Key_Up);
    EXPECT_EQ(F().DBLEdit->Text(), "15.10");
}

TEST_F(TEditorWindow, HelpOpensTheFileNamedAfterTheProgram) {
    F().HelpButton->click();
    EXPECT_TRUE(FErrors.empty());  // a missing file is told in the status bar
    EXPECT_NE(F().StatusBar1->PanelText(0).indexOf(QStringLiteral("trevalon.html")), -1);

    const QString helpFile = FDir.filePath(QStringLiteral("trevalon.html"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(TREVALON_TEST_DATA_DIR "/../../app/help/trevalon.html"),
                            helpFile));
    // It goes to the desktop's viewer, as the log does.
    FViewed.clear();
    F().HelpButton->click();
    EXPECT_TRUE(FErrors.empty());
    ASSERT_EQ(FViewed.size(), 1u);
    EXPECT_EQ(FViewed[0], helpFile);
}

}  // namespace
