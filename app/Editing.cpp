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
        std::string radii = ChangedRadii(
            FReceived.Radii, change, LockBCheckbox->isChecked(), [this](TShapeValue which) {
                return EditValue(which == svBoxA   ? BoxAEdit
                                 : which == svBoxB ? BoxBEdit
                                                   : CircEdit);
            });
        // Built aside and taken over whole, so a failure anywhere leaves the
        // working shape as it was.
        TTraceInfo next = FWorking;
        next.Radii = std::move(radii);
        if (const std::optional<double> dbl = TValueEdit::ParseValue(DBLEdit->Text()))
            next.DBL = *dbl;
        MeasureTrace(next);
        FWorking = std::move(next);
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
    FWorking.Radii = RotatedRadii(std::move(FWorking.Radii), sender == RotRightButton ? 1 : -1);
    MeasureTrace(FWorking);
    ShowValues();
    PostMessage(WM_REDRAWSHAPE);
}

void TForm1::ResetButtonClick() {
    FWorking = FReceived;
    DrawShape();
    ShowValues();
}

void TForm1::ShowOrigCheckboxClick() {
    PostMessage(WM_REDRAWSHAPE);
}

void TForm1::DetailedGridCheckBoxClick() {
    PostMessage(WM_REDRAWSHAPE);
}
