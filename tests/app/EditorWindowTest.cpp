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

#include "app/ValueEdit.h"
#include "tests/app/FormFixture.h"
#include "tests/app/EditorKeys.h"

namespace {

using EditorKeys::KeyClick;
using EditorKeys::KeyClicks;

const QColor KSilver(192, 192, 192);
const QColor KNavy(0, 0, 128);
const QColor KAqua(0, 255, 255);
const QColor KRed(255, 0, 0);
const QColor KGrey(128, 128, 128);

// A preset's radius string as computed independently (tests/data/presets,
// made by make_presets.py there): NAME at 512 points, NAME-1024 resampled.
std::string PresetRadii(const char* name) {
    const std::string bytes = ReadFileBytes(QStringLiteral(TREVALON_TEST_DATA_DIR "/../data/presets/") +
                                            QString::fromLatin1(name) + QStringLiteral(".radii"));
    EXPECT_FALSE(bytes.empty()) << name;
    return bytes;
}

int Count(const QImage& image, const QColor& colour, QRect area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += image.pixelColor(x, y) == colour;
    return n;
}

// The bounding box of the pixels in Colour.
QRect Extent(const QImage& image, const QColor& colour) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour) box |= QRect(x, y, 1, 1);
    return box;
}

class TEditorWindow : public TFormFixture {
protected:
    void SetUp() override {
        TFormFixture::SetUp();
        QLocale::setDefault(QLocale::c());
        WriteSettings(PortSettings);  // a conversation can be started and abandoned
        Create();
        FForm->show();
        FForm->activateWindow();
        QDeadlineTimer deadline(5000);
        while (QApplication::activeWindow() != FForm.get() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_EQ(QApplication::activeWindow(), FForm.get());
    }

    TForm1& F() { return *FForm; }
    const TTraceInfo& Working() const { return FForm->WorkingShape(); }
    const TTraceInfo& Received() const { return FForm->ReceivedShape(); }
    const std::string& Message() const { return FForm->PictureMessage(); }
    QImage Picture() const { return FForm->Image1->pixmap().toImage(); }

    // The centre of the received outline as drawn, from its left, right and
    // top extremes and its radius in pixels.
    QPoint OutlineCentre(int radius) const {
        const QRect box = Extent(Picture(), KAqua);
        return {box.center().x(), box.top() + radius};
    }

    // Starts Request Shape and waits until the host has the initialization request.
    void StartRequest() {
        F().TrayEdit->setText(QStringLiteral("1"));
        F().ReqButton->click();
        std::string got;
        ASSERT_TRUE(ProcessEventsUntil([&] {
            got += FHost.ReadAvailable();
            return got.find('\x1d') != std::string::npos;
        }));
        ASSERT_TRUE(F().Talking());
    }

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
    EXPECT_EQ(Received().Radii, PresetRadii("circle"));
    EXPECT_EQ(F().TrayEdit->text(), "CIRCLE");
    EXPECT_TRUE(F().ReqButton->isEnabled());
    EXPECT_EQ(Working().Radii.size(), 4096u);
    EXPECT_EQ(Working().Radii, PresetRadii("circle-1024"));
    EXPECT_EQ(Working().DBL, 15.0);
    EXPECT_EQ(Received().DBL, 0.0);
    EXPECT_EQ(F().DBLEdit->Text(), "15.00");
    EXPECT_EQ(F().DBLChgLabel->text(), "+15.00");
    EXPECT_EQ(F().BoxBEdit->Text(), "50.00");
    EXPECT_EQ(F().ChgALabel->text(), "0.00");
    EXPECT_EQ(F().ChgBLabel->text(), "0.00");
    EXPECT_TRUE(Message().empty());
    for (QWidget* w : std::initializer_list<QWidget*>{
             F().SaveButton, F().ResetButton, F().ShowOrigCheckbox, F().DetailedGridCheckBox,
             F().RotLeftButton, F().RotRightButton})
        EXPECT_TRUE(w->isEnabled());
    EXPECT_FALSE(F().BoxAEdit->isEnabled());  // Lock B at Datum is ticked
    EXPECT_EQ(Picture().pixelColor(346, 93), KNavy);
    // The received outline, once shown, sits at the picture's centre.
    F().ShowOrigCheckbox->click();
    Settle();
    EXPECT_EQ(Extent(Picture(), KAqua).center(), QPoint(236, 203));
}

TEST_F(TEditorWindow, EachPresetFromItsMenuItem) {
    struct TRow {
        QAction* TForm1::*Item;
        const char* Tray;
        const char* Golden;
        double Box;
    };
    for (const TRow& r : {TRow{&TForm1::Square1, "SQUARE", "square", 50.0},
                         TRow{&TForm1::Diamond1, "DIAMOND", "diamond", 70.7},
                         TRow{&TForm1::FlowerPot1, "FLPOT", "flowerpot", 50.0}}) {
        (F().*r.Item)->trigger();
        EXPECT_EQ(F().TrayEdit->text(), r.Tray);
        EXPECT_EQ(Received().Radii, PresetRadii(r.Golden)) << r.Tray;
        EXPECT_NEAR(Received().HBox, r.Box, 0.05) << r.Tray;
        EXPECT_NEAR(Received().VBox, r.Box, 0.05) << r.Tray;
        EXPECT_EQ(Working().Radii, PresetRadii((std::string(r.Golden) + "-1024").c_str())) << r.Tray;
    }
}

TEST_F(TEditorWindow, ChoosingAPresetTwiceGivesTheSameResult) {
    F().Square1->trigger();
    const TTraceInfo firstWorking = Working();
    const TTraceInfo firstReceived = Received();
    // The DBL change runs even though the edit already shows 15.00: it is what
    // empties the message.
    UntickLockB();
    Type(F().BoxAEdit, "9");
    ASSERT_EQ(Message(), "Box A Too small");
    F().Square1->trigger();
    EXPECT_TRUE(Message().empty());
    EXPECT_EQ(Working().Radii, firstWorking.Radii);
    EXPECT_EQ(Working().DBL, 15.0);
    EXPECT_EQ(Working().HBox, firstWorking.HBox);
    EXPECT_EQ(Received().Radii, firstReceived.Radii);
    EXPECT_EQ(F().DBLEdit->Text(), "15.00");
}

TEST_F(TEditorWindow, APresetAbandonsARunningConversation) {
    StartRequest();
    ASSERT_FALSE(F().ReqButton->isEnabled());
    ASSERT_TRUE(F().TimeoutTimer->isActive());
    F().FlowerPot1->trigger();
    EXPECT_FALSE(F().Talking());
    EXPECT_TRUE(F().ReqButton->isEnabled());
    EXPECT_TRUE(F().SettingsButton->isEnabled());
    EXPECT_TRUE(F().SaveButton->isEnabled());
    EXPECT_FALSE(F().TimeoutTimer->isActive());
    EXPECT_TRUE(Message().empty());
}

TEST_F(TEditorWindow, AnAbandonedConversationReportsNoTimeout) {
    // One second before the timeout: the preset must not let it fire.
    StartRequest();
    for (int tick = 0; tick < 14; ++tick) F().TimeoutTimerTimer();
    ASSERT_EQ(Panel(1), "1");
    ASSERT_TRUE(F().Talking());
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
    // Box A shows a refused value, then Lock B is ticked again.
    UntickLockB();
    Type(F().BoxAEdit, "5");
    ASSERT_EQ(Message(), "Box A Too small");
    F().LockBCheckbox->click();
    ASSERT_TRUE(F().LockBCheckbox->isChecked());
    F().BoxBEdit->setFocus();
    KeyClick(F().BoxBEdit, Qt::Key_Up);
    EXPECT_EQ(F().BoxBEdit->Text(), "50.10");
    EXPECT_TRUE(Message().empty());
    EXPECT_NEAR(Working().VBox, 50.1, 0.02);
    EXPECT_NEAR(Working().HBox, 50.0, 0.02);
}

TEST_F(TEditorWindow, AChangeOfAAlsoAppliesBAsShown) {
    F().Circle1->trigger();
    // Every change starts from the received 50 mm circle: box B is 40 only
    // because the change of A applies B as its edit shows it.
    Type(F().BoxBEdit, "40");
    ASSERT_EQ(F().BoxBEdit->Text(), "40");
    UntickLockB();
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
    EXPECT_EQ(Working().Radii, PresetRadii("circle-1024"));

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
    EXPECT_EQ(Working().Radii, PresetRadii("diamond"));
    EXPECT_NEAR(Working().HBox, 70.7, 0.05);
    EXPECT_EQ(F().BoxBEdit->Text(), TValueEdit::FormatValue(Working().VBox));

    // A later edit starts from the received shape: the rotation is gone.
    F().DBLEdit->setFocus();
    KeyClick(F().DBLEdit, Qt::Key_Up);
    EXPECT_EQ(Working().Radii, PresetRadii("square-1024"));
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
    EXPECT_EQ(Working().Radii, PresetRadii("flowerpot"));
    EXPECT_EQ(Working().DBL, Received().DBL);
    for (QLabel* label : {F().ChgALabel, F().ChgBLabel, F().ChgCLabel, F().DBLChgLabel})
        EXPECT_EQ(label->text(), "0.00");
    EXPECT_EQ(F().DBLEdit->Text(), "0.00");
}

TEST_F(TEditorWindow, WithoutAReceivedShapeEditsStartFromNothing) {
    // The port settings were applied after a job was loaded: the received
    // shape is gone, the working one is still there.
    F().Square1->trigger();
    F().SettingsButton->click();  // the dialog is closed at once; the settings are applied
    Settle();
    ASSERT_TRUE(Received().Radii.empty());
    ASSERT_FALSE(Working().Radii.empty());
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
    const QRect centred = Extent(Picture(), KAqua);
    ASSERT_EQ(centred.center(), QPoint(236, 203));
    const int radius = centred.width() / 2;
    ASSERT_EQ(OutlineCentre(radius), QPoint(236, 203));

    // A focused value edit does not see the key: its value stays.
    F().DBLEdit->setFocus();
    KeyClick(F().DBLEdit, Qt::Key_Up, Qt::ControlModifier);
    KeyClick(F().DBLEdit, Qt::Key_Right, Qt::ControlModifier);
    KeyClick(F().DBLEdit, Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(F().DBLEdit->Text(), "15.00");
    Settle();
    EXPECT_EQ(OutlineCentre(radius), QPoint(238, 202));
    // The 25 mm outline, 156 pixels at this scale, now around (238, 202).
    EXPECT_EQ(Picture().pixelColor(238 + 110, 202 - 110), KAqua);

    // Left of the picture, the next drawing puts it back at the centre.
    for (int i = 0; i < 239; ++i) KeyClick(F().DBLEdit, Qt::Key_Left, Qt::ControlModifier);
    Settle();
    EXPECT_EQ(OutlineCentre(radius), QPoint(236, 203));

    // At the top edge no key moves it any more, but each still redraws.
    for (int i = 0; i < 203; ++i) KeyClick(F().DBLEdit, Qt::Key_Up, Qt::ControlModifier);
    Settle();
    const QImage atTop = Picture();
    const QRect cut = Extent(atTop, KAqua);
    ASSERT_EQ(cut.top(), 0);  // the upper half is off the picture
    ASSERT_NEAR(cut.bottom(), radius, 1);
    ASSERT_EQ(cut.center().x(), 236);
    for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Left, Qt::Key_Right})
        KeyClick(F().DBLEdit, key, Qt::ControlModifier);
    Settle();
    EXPECT_EQ(Picture(), atTop);

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
