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

double EditValue(const TValueEdit* Edit) {
    const std::optional<double> Value = TValueEdit::ParseValue(Edit->Text());
    if (!Value) throw EConvertError::NotFloat(Edit->Text().toLatin1().toStdString());
    return *Value;
}

}  // namespace

void TForm1::BoxValsEditChange(QObject* Sender) {
    if (FUpdating) return;
    // The last picture left the vector unit in a state that slows the shape
    // arithmetic below.
    ClearUpperVectorState();
    try {
        std::string Start;
        {
            TTraceCalc Calc;
            Calc.LoadTrace(FReceived.Radii);
            Calc.Resample(EditPointCount);
            Start = Calc.GetTrace();
        }
        TTraceCalc Calc;
        Calc.LoadTrace(Start);
        if (Sender == BoxAEdit || Sender == BoxBEdit) {
            Calc.LockB = LockBCheckbox->isChecked();
            if (!Calc.LockB) {
                const double A = EditValue(BoxAEdit);
                if (!(A >= MinBox)) throw std::runtime_error("Box A Too small");
                Calc.SetTargetHBox(A);
            }
            const double B = EditValue(BoxBEdit);
            if (!(B >= MinBox)) throw std::runtime_error("Box B Too small");
            Calc.SetTargetVBox(B);
        } else if (Sender == CircEdit) {
            Calc.ScaleToCirc(EditValue(CircEdit));
            if (!(Calc.GetCirc() >= MinCirc)) throw std::runtime_error("Circ Too small");
        }
        // Built aside and taken over whole, so a failure anywhere leaves the
        // working shape as it was.
        TTraceInfo Next = FWorking;
        Next.Radii = Calc.GetTrace();
        if (const std::optional<double> DBL = TValueEdit::ParseValue(DBLEdit->Text()))
            Next.DBL = *DBL;
        MeasureTrace(Next);
        FWorking = std::move(Next);
        ShowValues();
        FEndMessage.clear();
        SaveButton->setEnabled(true);
    } catch (const std::exception& E) {
        FEndMessage = E.what();
        SaveButton->setEnabled(false);
    }
    DrawShape();
}

void TForm1::RotRightButtonClick(QObject* Sender) {
    std::string& Radii = FWorking.Radii;
    const std::size_t Used = Radii.size() / 4 * 4;  // trailing characters stay where they are
    if (Used >= 8) {
        const auto First = Radii.begin();
        const auto End = Radii.begin() + static_cast<std::ptrdiff_t>(Used);
        if (Sender == RotRightButton)
            std::rotate(First, First + 4, End);
        else
            std::rotate(First, End - 4, End);
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
