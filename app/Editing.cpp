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
#include "shape/TrceCalc.h"

namespace {

constexpr std::uint16_t EditPointCount = 1024;
constexpr double MinBox = 10.0;
constexpr double MinCirc = 20.0;

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
        std::string start;
        {
            TTraceCalc calc;
            calc.LoadTrace(FReceived.Radii);
            calc.Resample(EditPointCount);
            start = calc.GetTrace();
        }
        TTraceCalc calc;
        calc.LoadTrace(start);
        if (sender == BoxAEdit || sender == BoxBEdit) {
            calc.LockB = LockBCheckbox->isChecked();
            if (!calc.LockB) {
                const double a = EditValue(BoxAEdit);
                if (!(a >= MinBox)) throw std::runtime_error("Box A Too small");
                calc.SetTargetHBox(a);
            }
            const double b = EditValue(BoxBEdit);
            if (!(b >= MinBox)) throw std::runtime_error("Box B Too small");
            calc.SetTargetVBox(b);
        } else if (sender == CircEdit) {
            calc.ScaleToCirc(EditValue(CircEdit));
            if (!(calc.GetCirc() >= MinCirc)) throw std::runtime_error("Circ Too small");
        }
        // Built aside and taken over whole, so a failure anywhere leaves the
        // working shape as it was.
        TTraceInfo next = FWorking;
        next.Radii = calc.GetTrace();
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
    std::string& radii = FWorking.Radii;
    const std::size_t used = radii.size() / 4 * 4;  // trailing characters stay where they are
    if (used >= 8) {
        const auto first = radii.begin();
        const auto end = radii.begin() + static_cast<std::ptrdiff_t>(used);
        if (sender == RotRightButton)
            std::rotate(first, first + 4, end);
        else
            std::rotate(first, end - 4, end);
    }
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
