// The editor's part of the main window: showing the working shape's values,
// the enable rules of the editing controls, Lock B, Help and the Ctrl+arrow
// moves of the received outline.

#include <QCheckBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QToolButton>

#include "app/ProgramFiles.h"
#include "app/ShapeDisplay.h"
#include "app/Unit1.h"
#include "app/ValueEdit.h"

namespace {

// Resets a flag when the scope ends, also on failure.
class TFlagScope {
public:
    explicit TFlagScope(bool& flag) : FFlag(flag) { FFlag = true; }
    ~TFlagScope() { FFlag = false; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;

private:
    bool& FFlag;
};

bool HasFocusWithin(const QWidget* window, const QWidget* edit) {
    const QWidget* focused = window->focusWidget();
    return focused != nullptr && (focused == edit || edit->isAncestorOf(focused));
}

}  // namespace

QString TForm1::FormatChange(double value) {
    // Written like the edits; the sign follows the number shown, so a change
    // that rounds to zero reads 0.00, without "+" or "-".
    QString result = TValueEdit::FormatValue(value);
    if (value > 0 && result != TValueEdit::FormatValue(0.0)) result.prepend(u'+');
    return result;
}

void TForm1::ShowValues() {
    TFlagScope updating(FUpdating);
    if (!FReceived.Radii.empty()) {
        const struct {
            TValueEdit* Edit;
            double Value;
        } values[] = {{BoxAEdit, FWorking.HBox},
                      {BoxBEdit, FWorking.VBox},
                      {CircEdit, FWorking.Circ},
                      {DBLEdit, FWorking.DBL}};
        // The edit being typed in keeps the operator's text.
        for (const auto& row : values)
            if (!HasFocusWithin(this, row.Edit)) row.Edit->SetValue(row.Value);
        ChgALabel->setText(FormatChange(FWorking.HBox - FReceived.HBox));
        ChgBLabel->setText(FormatChange(FWorking.VBox - FReceived.VBox));
        ChgCLabel->setText(FormatChange(FWorking.Circ - FReceived.Circ));
        DBLChgLabel->setText(FormatChange(FWorking.DBL - FReceived.DBL));
    } else {
        for (TValueEdit* edit : {BoxAEdit, BoxBEdit, CircEdit, DBLEdit}) edit->SetText(QString());
        for (QLabel* label : {ChgALabel, ChgBLabel, ChgCLabel, DBLChgLabel})
            label->setText(QStringLiteral("---"));
        ClearImage();
    }

    const bool present = !FWorking.Radii.empty();
    BoxAEdit->setEnabled(present && !LockBCheckbox->isChecked());
    for (QWidget* control :
         std::initializer_list<QWidget*>{BoxBEdit, CircEdit, LockBCheckbox, DBLEdit, SaveButton})
        control->setEnabled(present);
    RotLeftButton->setEnabled(SaveButton->isEnabled());
    RotRightButton->setEnabled(SaveButton->isEnabled());
}

void TForm1::ClearImage() {
    const QSize size = Image1->size().isEmpty() ? ShapePictureSize : Image1->size();
    Image1->setPixmap(QPixmap::fromImage(BlankShapeImage(size, Image1->devicePixelRatioF())));
    FPictureCleared = true;
}

void TForm1::KeepPictureAtScreenRatio() {
    if (Image1->pixmap().devicePixelRatio() == Image1->devicePixelRatioF()) return;
    if (FPictureCleared)
        ClearImage();
    else
        DrawShape();
}

void TForm1::LockBCheckboxClick() {
    BoxAEdit->setEnabled(!LockBCheckbox->isChecked());
}

void TForm1::HelpButtonClick() {
    const std::vector<std::string> candidates = HelpFileCandidates(ProgramFileName());
    for (const std::string& candidate : candidates) {
        const QString helpFile = QString::fromStdString(candidate);
        if (!QFileInfo::exists(helpFile)) continue;
        if (!OpenInViewer(helpFile, vwHelp))
            ShowStatusText(tr("No viewer could be started for the help file %1").arg(helpFile), 0);
        return;
    }
    ShowStatusText(tr("Cannot find the help file %1 or %2")
                       .arg(QString::fromStdString(candidates.front()),
                            QString::fromStdString(candidates.back())),
                   0);
}

bool TForm1::OverlayKeyDown(QKeyEvent* key) {
    if (!(key->modifiers() & Qt::ControlModifier)) return false;
    int dx = 0;
    int dy = 0;
    switch (key->key()) {
        case Qt::Key_Up:
            dy = -1;
            break;
        case Qt::Key_Down:
            dy = 1;
            break;
        case Qt::Key_Right:
            dx = 1;
            break;
        case Qt::Key_Left:
            dx = -1;
            break;
        default:
            return false;
    }
    // Once the outline has reached the top edge it stays put until it is
    // placed again; the picture is redrawn all the same.
    if (FOverlayY > 0) {
        FOverlayX += dx;
        FOverlayY += dy;
    }
    PostMessage(WM_REDRAWSHAPE);
    return true;
}
