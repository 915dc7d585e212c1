// Editing the working shape: the value edits, rotation by one point, reset
// and the two display check boxes. Every edit change starts again from the
// received shape resampled to 1024 points; it never builds on the last one.

#include <QCheckBox>
#include <QPushButton>
#include <QToolButton>
#include <algorithm>
#include <optional>
#include <stdexcept>

#include "app/ShapeDisplay.h"
#include "app/Unit1.h"
#include "app/ValueEdit.h"
#include "shape/Convert.h"
#include "shape/ShapeEdit.h"
#include "shape/TrceCalc.h"

namespace {

double EditValue(const TValueEdit* edit) {
    const std::optional<double> value = TValueEdit::ParseValue(edit->Text());
    if (!value) throw EConvertError::NotFloat(edit->Text().toLatin1().toStdString());
    return *value;
}

}  // namespace

void TForm1::BoxValsEditChange(QObject* sender) {
    if (FUpdating) return;
    // The last picture left the vector unit in a state that slows the shape
    // arithmetic below.
    ClearUpperVectorState();
    try {
        const TShapeChange change = sender == BoxAEdit || sender == BoxBEdit ? scBox
                                    : sender == CircEdit                     ? scCirc
                                                                             : scNone;
        FJob.Change(change, LockBCheckbox->isChecked(),
                    [this](TShapeValue which) {
                        return EditValue(which == svBoxA   ? BoxAEdit
                                         : which == svBoxB ? BoxBEdit
                                                           : CircEdit);
                    },
                    TValueEdit::ParseValue(DBLEdit->Text()));
        ShowValues();
        FEndMessage.clear();
        SaveButton->setEnabled(true);
    } catch (const std::exception& e) {
        FEndMessage = e.what();
        SaveButton->setEnabled(false);
    }
    DrawShape();
}

void TForm1::RotRightButtonClick(QObject* sender) {
    FJob.Rotate(sender == RotRightButton ? 1 : -1);
    ShowValues();
    PostMessage(WM_REDRAWSHAPE);
}

void TForm1::ResetButtonClick() {
    FJob.Reset();
    DrawShape();
    ShowValues();
}

void TForm1::ShowOrigCheckboxClick() {
    PostMessage(WM_REDRAWSHAPE);
}

void TForm1::DetailedGridCheckBoxClick() {
    PostMessage(WM_REDRAWSHAPE);
}
