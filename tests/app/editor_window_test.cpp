// The editor driven through the window's real widgets: presets from the tray
// field's menu, typing and stepping in the value edits, the rotate and reset
// buttons, the check boxes, Ctrl+arrow keys and Help.

#include <QAction>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>

#include "app/Presets.h"
#include "app/ValueEdit.h"
#include "tests/app/FormFixture.h"
#include "tests/app/editor_Keys.h"

struct TEditorProbe {
    static TTraceInfo& Working(TForm1& F) { return F.FWorking; }
    static TTraceInfo& Received(TForm1& F) { return F.FReceived; }
    static std::string& EndMessage(TForm1& F) { return F.FEndMessage; }
    static std::uint8_t& State(TForm1& F) { return F.FState; }
    static std::int32_t& Countdown(TForm1& F) { return F.FCountdown; }
    static std::string& PointCount(TForm1& F) { return F.FPointCount; }
    static bool& Updating(TForm1& F) { return F.FUpdating; }
    static std::int32_t& OverlayX(TForm1& F) { return F.FOverlayX; }
    static std::int32_t& OverlayY(TForm1& F) { return F.FOverlayY; }
};

namespace {

using EditorKeys::KeyClick;
using EditorKeys::KeyClicks;

using P = TEditorProbe;

const QColor kSilver(192, 192, 192);
const QColor kNavy(0, 0, 128);
const QColor kAqua(0, 255, 255);
const QColor kRed(255, 0, 0);
const QColor kGrey(128, 128, 128);

std::string Resampled1024(const std::string& Radii) {
    TTraceCalc Calc;
    Calc.LoadTrace(Radii);
    Calc.Resample(1024);
    return Calc.GetTrace();
}

int Count(const QImage& Image, const QColor& Colour, QRect Area) {
    int n = 0;
    for (int y = Area.top(); y <= Area.bottom(); ++y)
        for (int x = Area.left(); x <= Area.right(); ++x) n += Image.pixelColor(x, y) == Colour;
    return n;
}

class EditorWindow : public FormFixture {
protected:
    void SetUp() override {
        FormFixture::SetUp();
        QLocale::setDefault(QLocale::c());
        Create();
        Form->show();
        Form->activateWindow();
        QDeadlineTimer Deadline(5000);
        while (QApplication::activeWindow() != Form.get() && !Deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_EQ(QApplication::activeWindow(), Form.get());
    }

    TForm1& F() { return *Form; }
    TTraceInfo& Working() { return P::Working(*Form); }
    TTraceInfo& Received() { return P::Received(*Form); }
    std::string& Message() { return P::EndMessage(*Form); }
    QImage Picture() const { return Form->Image1->pixmap().toImage(); }

    // Replaces an edit's text by typing, as the operator does.
    void Type(TValueEdit* Edit, const char* Text) {
        Edit->setFocus();
        Edit->selectAll();
        if (*Text == '\0')
            KeyClick(Edit, Qt::Key_Delete);
        else
            KeyClicks(Edit, Text);
    }

    void UntickLockB() {
        if (Form->LockBCheckbox->isChecked()) Form->LockBCheckbox->click();
    }
};

TEST_F(EditorWindow, StartsEmptyWithTheEditingControlsDisabled) {
    for (TValueEdit* Edit : {F().BoxAEdit, F().BoxBEdit, F().CircEdit, F().DBLEdit}) {
        EXPECT_EQ(Edit->Text(), "");
        EXPECT_FALSE(Edit->isEnabled());
    }
    for (QLabel* Label : {F().ChgALabel, F().ChgBLabel, F().ChgCLabel, F().DBLChgLabel})
        EXPECT_EQ(Label->text(), "---");
    EXPECT_FALSE(F().SaveButton->isEnabled());
    EXPECT_FALSE(F().RotLeftButton->isEnabled());
    EXPECT_FALSE(F().RotRightButton->isEnabled());
    EXPECT_TRUE(F().LockBCheckbox->isChecked());
    const QImage Image = Picture();
    EXPECT_EQ(Image.size(), QSize(462, 406));
    EXPECT_EQ(Count(Image, kSilver, Image.rect()), 462 * 406);
}

TEST_F(EditorWindow, CirclePresetOnAFreshStart) {
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
    EXPECT_EQ(P::PointCount(F()), "512");
    EXPECT_EQ(P::OverlayX(F()), 236);
    EXPECT_EQ(P::OverlayY(F()), 203);
    EXPECT_TRUE(Message().empty());
    for (QWidget* W : std::initializer_list<QWidget*>{
             F().SaveButton, F().ResetButton, F().ShowOrigCheckbox, F().DetailedGridCheckBox,
             F().RotLeftButton, F().RotRightButton})
        EXPECT_TRUE(W->isEnabled());
    EXPECT_FALSE(F().BoxAEdit->isEnabled());  // Lock B at Datum is ticked
    EXPECT_EQ(Picture().pixelColor(346, 93), kNavy);
}

TEST_F(EditorWindow, EachPresetFromItsMenuItem) {
    struct Row {
        QAction* TForm1::*Item;
        const char* Tray;
        std::string Radii;
        double Box;
    };
    for (const Row& R : {Row{&TForm1::Square1, "SQUARE", SquareRadii(), 50.0},
                         Row{&TForm1::Diamond1, "DIAMOND", DiamondRadii(), 70.7},
                         Row{&TForm1::FlowerPot1, "FLPOT", FlowerPotRadii(), 50.0}}) {
        (F().*R.Item)->trigger();
        EXPECT_EQ(F().TrayEdit->text(), R.Tray);
        EXPECT_EQ(Received().Radii, R.Radii) << R.Tray;
        EXPECT_NEAR(Received().HBox, R.Box, 0.05) << R.Tray;
        EXPECT_NEAR(Received().VBox, R.Box, 0.05) << R.Tray;
        EXPECT_EQ(Working().Radii, Resampled1024(R.Radii)) << R.Tray;
    }
}

TEST_F(EditorWindow, ChoosingAPresetTwiceGivesTheSameResult) {
    F().Square1->trigger();
    const TTraceInfo FirstWorking = Working();
    const TTraceInfo FirstReceived = Received();
    // The DBL change runs even though the edit already shows 15.00: it is what
    // empties the message.
    Message() = "Box A Too small";
    F().Square1->trigger();
    EXPECT_TRUE(Message().empty());
    EXPECT_EQ(Working().Radii, FirstWorking.Radii);
    EXPECT_EQ(Working().DBL, 15.0);
    EXPECT_EQ(Working().HBox, FirstWorking.HBox);
    EXPECT_EQ(Received().Radii, FirstReceived.Radii);
    EXPECT_EQ(F().DBLEdit->Text(), "15.00");
}

TEST_F(EditorWindow, APresetAbandonsARunningConversation) {
    P::State(F()) = cvAwaitJob;
    P::Countdown(F()) = 12;
    F().TimeoutTimer->start();
    F().EnableControls(false);
    F().FlowerPot1->trigger();
    EXPECT_EQ(P::State(F()), cvIdle);
    EXPECT_TRUE(F().ReqButton->isEnabled());
    EXPECT_TRUE(F().SettingsButton->isEnabled());
    EXPECT_TRUE(F().SaveButton->isEnabled());
    EXPECT_FALSE(F().TimeoutTimer->isActive());
    EXPECT_TRUE(Message().empty());
}

TEST_F(EditorWindow, AnAbandonedConversationReportsNoTimeout) {
    // One second before the timeout: the preset must not let it fire.
    P::State(F()) = cvAwaitInitAnswer;
    P::Countdown(F()) = 1;
    F().TimeoutTimer->start();
    F().Circle1->trigger();
    Settle();
    EXPECT_FALSE(F().TimeoutTimer->isActive());
    EXPECT_TRUE(Message().empty());
    EXPECT_TRUE(Viewed.empty());
    EXPECT_EQ(Panel(1), "");
}

TEST_F(EditorWindow, BoxABelowTenIsRefusedUntilItIsValidAgain) {
    F().Circle1->trigger();
    UntickLockB();
    ASSERT_TRUE(F().BoxAEdit->isEnabled());
    const TTraceInfo Before = Working();

    Type(F().BoxAEdit, "9.99");
    EXPECT_EQ(F().BoxAEdit->Text(), "9.99");
    EXPECT_EQ(Message(), "Box A Too small");
    EXPECT_FALSE(F().SaveButton->isEnabled());
    EXPECT_EQ(Working().Radii, Before.Radii);
    EXPECT_EQ(Working().HBox, Before.HBox);
    EXPECT_EQ(F().BoxBEdit->Text(), "50.00");
    EXPECT_EQ(F().CircEdit->Text(), TValueEdit::FormatValue(Before.Circ));
    const QImage Refused = Picture();
    EXPECT_GT(Count(Refused, kRed, QRect(0, 0, 200, 30)), 30);
    EXPECT_EQ(Count(Refused, kRed, QRect(0, 30, 462, 376)), 0);

    Type(F().BoxAEdit, "10");
    EXPECT_TRUE(Message().empty());
    EXPECT_TRUE(F().SaveButton->isEnabled());
    EXPECT_NEAR(Working().HBox, 10.0, 0.02);
    EXPECT_NEAR(Working().VBox, 50.0, 0.02);
    EXPECT_EQ(Working().Radii.size(), 4096u);
    // The edit being typed in keeps the operator's text; the others follow.
    EXPECT_EQ(F().BoxAEdit->Text(), "10");
    EXPECT_EQ(F().ChgALabel->text(), TForm1::FormatChange(Working().HBox - 50.0));
    EXPECT_EQ(Count(Picture(), kRed, QRect(0, 0, 462, 406)), 0);
}

TEST_F(EditorWindow, WithLockBAChangeOfBIgnoresBoxA) {
    F().Circle1->trigger();
    ASSERT_TRUE(F().LockBCheckbox->isChecked());
    P::Updating(F()) = true;
    F().BoxAEdit->SetText("5.00");
    P::Updating(F()) = false;
    F().BoxBEdit->setFocus();
    KeyClick(F().BoxBEdit, Qt::Key_Up);
    EXPECT_EQ(F().BoxBEdit->Text(), "50.10");
    EXPECT_TRUE(Message().empty());
    EXPECT_NEAR(Working().VBox, 50.1, 0.02);
    EXPECT_NEAR(Working().HBox, 50.0, 0.02);
}

TEST_F(EditorWindow, AChangeOfAAlsoAppliesBAsShown) {
    F().Circle1->trigger();
    UntickLockB();
    P::Updating(F()) = true;
    F().BoxBEdit->SetText("40.00");
    P::Updating(F()) = false;
    Type(F().BoxAEdit, "55");
    EXPECT_TRUE(Message().empty());
    EXPECT_NEAR(Working().HBox, 55.0, 0.02);
    EXPECT_NEAR(Working().VBox, 40.0, 0.02);
}

TEST_F(EditorWindow, CircumferenceEditsAndTheirFailures) {
    F().Circle1->trigger();
    const TTraceInfo Before = Working();

    Type(F().CircEdit, "");
    EXPECT_EQ(Message(), "'' is not a valid floating point value");
    EXPECT_FALSE(F().SaveButton->isEnabled());
    EXPECT_EQ(Working().Radii, Before.Radii);

    KeyClicks(F().CircEdit, "1");  // a circumference of 1 mm
    EXPECT_EQ(Message(), "Circ Too small");
    EXPECT_EQ(Working().Radii, Before.Radii);

    Type(F().CircEdit, "314.16");
    EXPECT_TRUE(Message().empty());
    EXPECT_NEAR(Working().Circ, 314.16, 0.05);
    EXPECT_NEAR(Working().HBox, 100.0, 0.05);
}

TEST_F(EditorWindow, AnEnlargementBeyondTheRadiusGridIsRefusedLikeTooSmall) {
    // 25 mm radii scaled to 125 mm cannot be written as four digits.
    F().Circle1->trigger();
    UntickLockB();
    const TTraceInfo Before = Working();
    for (const auto& [Edit, Text] : {std::pair{F().BoxAEdit, "250"}, {F().CircEdit, "785.4"}}) {
        Edit->SetText(QString::fromLatin1(Text));  // at once: typing passes through 25 and 78
        EXPECT_EQ(Message(), "Radius 125.00 mm is outside 0 to 99.99 mm") << Text;
        EXPECT_FALSE(F().SaveButton->isEnabled());
        EXPECT_EQ(Working().Radii, Before.Radii);
        EXPECT_EQ(Working().HBox, Before.HBox);
    }
    Type(F().CircEdit, "314.16");
    EXPECT_TRUE(Message().empty());
    EXPECT_TRUE(F().SaveButton->isEnabled());
}

TEST_F(EditorWindow, EmptyingDBLKeepsItButStartsAgainFromTheReceivedShape) {
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

TEST_F(EditorWindow, RotationByOnePoint) {
    F().Square1->trigger();
    F().ResetButton->click();
    const std::string Start = Working().Radii;
    ASSERT_EQ(Start.size(), 2048u);

    F().RotRightButton->click();
    EXPECT_EQ(Working().Radii, Start.substr(4) + Start.substr(0, 4));
    F().RotLeftButton->click();
    EXPECT_EQ(Working().Radii, Start);

    F().RotLeftButton->click();
    EXPECT_EQ(Working().Radii, Start.substr(2044) + Start.substr(0, 2044));
    F().RotRightButton->click();

    for (int i = 0; i < 512; ++i) F().RotRightButton->click();
    EXPECT_EQ(Working().Radii, Start);

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

TEST_F(EditorWindow, ResetRestoresTheReceivedShape) {
    F().FlowerPot1->trigger();
    UntickLockB();
    Type(F().BoxAEdit, "44");
    F().RotRightButton->click();
    F().ResetButton->click();
    Settle();
    EXPECT_EQ(Working().Radii, Received().Radii);
    EXPECT_EQ(Working().Radii.size(), 2048u);
    EXPECT_EQ(Working().DBL, Received().DBL);
    for (QLabel* Label : {F().ChgALabel, F().ChgBLabel, F().ChgCLabel, F().DBLChgLabel})
        EXPECT_EQ(Label->text(), "0.00");
    EXPECT_EQ(F().DBLEdit->Text(), "0.00");
}

TEST_F(EditorWindow, WithoutAReceivedShapeEditsStartFromNothing) {
    // The port settings were applied after a job was loaded: the received
    // shape is gone, the working one is still there.
    F().Square1->trigger();
    Received().Radii.clear();
    const TTraceInfo Before = Working();

    Type(F().CircEdit, "100");
    EXPECT_EQ(Message(), "Floating point division by zero");
    EXPECT_EQ(Working().Radii, Before.Radii);

    F().DBLEdit->SetText("16.00");
    EXPECT_TRUE(Message().empty());
    EXPECT_TRUE(Working().Radii.empty());
    EXPECT_EQ(Working().DBL, 16.0);
    EXPECT_EQ(Count(Picture(), kSilver, QRect(0, 0, 462, 406)), 462 * 406);
}

TEST(FormatChange, SignsOnlyPositiveChanges) {
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(TForm1::FormatChange(1.256), "+1.26");
    EXPECT_EQ(TForm1::FormatChange(0.0), "0.00");
    EXPECT_EQ(TForm1::FormatChange(-0.5), "-0.50");
    EXPECT_EQ(TForm1::FormatChange(15.0), "+15.00");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(TForm1::FormatChange(-1234.5), "-1234,50");
    QLocale::setDefault(QLocale::c());
}

TEST_F(EditorWindow, LockBDecidesWhetherBoxACanBeEdited) {
    F().Circle1->trigger();
    EXPECT_FALSE(F().BoxAEdit->isEnabled());
    F().LockBCheckbox->click();
    EXPECT_TRUE(F().BoxAEdit->isEnabled());
    F().LockBCheckbox->click();
    EXPECT_FALSE(F().BoxAEdit->isEnabled());
}

TEST_F(EditorWindow, CheckBoxesRedrawWithGridAndReceivedOutline) {
    F().Circle1->trigger();
    UntickLockB();
    Type(F().BoxAEdit, "60");
    Settle();
    EXPECT_EQ(Count(Picture(), kGrey, Picture().rect()), 0);
    EXPECT_EQ(Count(Picture(), kAqua, Picture().rect()), 0);
    F().DetailedGridCheckBox->click();
    F().ShowOrigCheckbox->click();
    Settle();
    const QImage Image = Picture();
    EXPECT_GT(Count(Image, kGrey, Image.rect()), 100);
    EXPECT_GT(Count(Image, kAqua, Image.rect()), 100);
}

TEST_F(EditorWindow, CtrlArrowsMoveTheReceivedOutline) {
    F().Circle1->trigger();
    F().ShowOrigCheckbox->click();
    Settle();
    ASSERT_EQ(P::OverlayX(F()), 236);

    // A focused value edit does not see the key: its value stays.
    F().DBLEdit->setFocus();
    KeyClick(F().DBLEdit, Qt::Key_Up, Qt::ControlModifier);
    KeyClick(F().DBLEdit, Qt::Key_Right, Qt::ControlModifier);
    KeyClick(F().DBLEdit, Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(F().DBLEdit->Text(), "15.00");
    EXPECT_EQ(P::OverlayX(F()), 238);
    EXPECT_EQ(P::OverlayY(F()), 202);
    Settle();
    // The 25 mm outline, 156 pixels at this scale, now around (238, 202).
    EXPECT_EQ(Picture().pixelColor(238 + 110, 202 - 110), kAqua);

    // At the top edge no key moves it any more, but each still redraws.
    P::OverlayY(F()) = 0;
    KeyClick(F().DBLEdit, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(P::OverlayY(F()), 0);

    // Left of the picture, the next drawing puts it back at the centre.
    P::OverlayY(F()) = 10;
    P::OverlayX(F()) = 0;
    KeyClick(F().DBLEdit, Qt::Key_Left, Qt::ControlModifier);
    Settle();
    EXPECT_EQ(P::OverlayX(F()), 236);
    EXPECT_EQ(P::OverlayY(F()), 203);

    // Without Ctrl the arrow belongs to the edit.
    KeyClick(F().DBLEdit, Qt::Key_Up);
    EXPECT_EQ(F().DBLEdit->Text(), "15.10");
}

TEST_F(EditorWindow, HelpOpensTheFileNamedAfterTheProgram) {
    F().HelpButton->click();
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_NE(Errors[0].find("trevalon.html"), std::string::npos);

    const QString HelpFile = Dir.filePath(QStringLiteral("trevalon.html"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(TREVALON_TEST_DATA_DIR "/../../app/help/trevalon.html"),
                            HelpFile));
    QTextBrowser Viewer;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &Viewer, "setSource");
    F().HelpButton->click();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    EXPECT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Viewer.source(), QUrl::fromLocalFile(HelpFile));
    EXPECT_TRUE(Viewer.toPlainText().contains(QStringLiteral("Trevalon Help")));
}

}  // namespace
