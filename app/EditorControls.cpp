// The editor's part of the main window: showing the working shape's values,
// the enable rules of the editing controls, Lock B, Help and the Ctrl+arrow
// moves of the received outline.

#include <QCheckBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>
#include <cstdio>

#include "app/ErrorReport.h"
#include "app/ShapeDisplay.h"
#include "app/Unit1.h"
#include "app/ValueEdit.h"

namespace {

// Resets a flag when the scope ends, also on failure.
class TFlagScope {
public:
    explicit TFlagScope(bool& Flag) : FFlag(Flag) { FFlag = true; }
    ~TFlagScope() { FFlag = false; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;

private:
    bool& FFlag;
};

bool HasFocusWithin(const QWidget* Window, const QWidget* Edit) {
    const QWidget* Focused = Window->focusWidget();
    return Focused != nullptr && (Focused == Edit || Edit->isAncestorOf(Focused));
}

}  // namespace

QString TForm1::FormatChange(double Value) {
    char Text[64];
    std::snprintf(Text, sizeof Text, "%.2f", Value);
    QString Result = QString::fromLatin1(Text);
    Result.replace(u'.', QLocale().decimalPoint());
    if (Value > 0) Result.prepend(u'+');
    return Result;
}

void TForm1::ShowValues() {
    TFlagScope Updating(FUpdating);
    if (!FReceived.Radii.empty()) {
        const struct {
            TValueEdit* Edit;
            double Value;
        } Values[] = {{BoxAEdit, FWorking.HBox},
                      {BoxBEdit, FWorking.VBox},
                      {CircEdit, FWorking.Circ},
                      {DBLEdit, FWorking.DBL}};
        // The edit being typed in keeps the operator's text.
        for (const auto& Row : Values)
            if (!HasFocusWithin(this, Row.Edit)) Row.Edit->SetValue(Row.Value);
        ChgALabel->setText(FormatChange(FWorking.HBox - FReceived.HBox));
        ChgBLabel->setText(FormatChange(FWorking.VBox - FReceived.VBox));
        ChgCLabel->setText(FormatChange(FWorking.Circ - FReceived.Circ));
        DBLChgLabel->setText(FormatChange(FWorking.DBL - FReceived.DBL));
    } else {
        for (TValueEdit* Edit : {BoxAEdit, BoxBEdit, CircEdit, DBLEdit}) Edit->SetText(QString());
        for (QLabel* Label : {ChgALabel, ChgBLabel, ChgCLabel, DBLChgLabel})
            Label->setText(QStringLiteral("---"));
        ClearImage();
    }

    const bool Present = !FWorking.Radii.empty();
    BoxAEdit->setEnabled(Present && !LockBCheckbox->isChecked());
    for (QWidget* Control :
         std::initializer_list<QWidget*>{BoxBEdit, CircEdit, LockBCheckbox, DBLEdit, SaveButton})
        Control->setEnabled(Present);
    RotLeftButton->setEnabled(SaveButton->isEnabled());
    RotRightButton->setEnabled(SaveButton->isEnabled());
}

void TForm1::ClearImage() {
    const QSize Size = Image1->size().isEmpty() ? ShapePictureSize : Image1->size();
    Image1->setPixmap(QPixmap::fromImage(BlankShapeImage(Size)));
}

void TForm1::LockBCheckboxClick() {
    BoxAEdit->setEnabled(!LockBCheckbox->isChecked());
}

void TForm1::HelpButtonClick() {
    // The help file sits beside the program and is named after it.
    const QFileInfo Program(QString::fromStdString(ProgramFileName()));
    const QString HelpFile = Program.absolutePath() + u'/' + Program.completeBaseName() + ".html";
    if (!QFileInfo::exists(HelpFile)) {
        ReportError("Cannot find the help file " + HelpFile.toStdString());
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(HelpFile)))
        ReportError("Cannot open the help file " + HelpFile.toStdString());
}

bool TForm1::OverlayKeyDown(QKeyEvent* Key) {
    if (!(Key->modifiers() & Qt::ControlModifier)) return false;
    int DX = 0;
    int DY = 0;
    switch (Key->key()) {
        case Qt::Key_Up:
            DY = -1;
            break;
        case Qt::Key_Down:
            DY = 1;
            break;
        case Qt::Key_Right:
            DX = 1;
            break;
        case Qt::Key_Left:
            DX = -1;
            break;
        default:
            return false;
    }
    // Once the outline has reached the top edge it stays put until it is
    // placed again; the picture is redrawn all the same.
    if (FOverlayY > 0) {
        FOverlayX += DX;
        FOverlayY += DY;
    }
    PostMessage(WM_REDRAWSHAPE);
    return true;
}
