#include "app/Presets.h"

#include <QAction>
#include <QLineEdit>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "app/StatusBar.h"
#include "app/Unit1.h"
#include "app/ValueEdit.h"
#include "shape/TrceCalc.h"

namespace {

constexpr double KHalfSide = 25.0;

// Indices 64-191 and 320-447 (45 to below 135 degrees and 225 to below 315)
// hold the top and bottom edges; the rest are the sides.
bool InTopOrBottom(int i) {
    return (i >= 64 && i < 192) || (i >= 320 && i < 448);
}

void AppendPresetPoint(std::string& radii, double radiusMm) {
    char group[16];
    std::snprintf(group, sizeof group, "%4d", static_cast<int>(std::trunc(100.0 * radiusMm)));
    radii += group;
}

// The square and the flower pot share one construction; they differ only in
// where a point starts before its sector pins x or y to the edge.
std::string EdgeShape(bool flowerPot) {
    std::string radii;
    radii.reserve(4 * PresetPointCount);
    for (int i = 0; i < PresetPointCount; ++i) {
        const double theta = i * std::numbers::pi / 256;
        double x = flowerPot ? KHalfSide * std::cos(theta) : 0.0;
        double y = flowerPot ? KHalfSide * std::sin(theta) : 0.0;
        if (InTopOrBottom(i))
            y = KHalfSide;
        else
            x = KHalfSide;
        // The exact-zero test is what keeps the flower pot's arcs round: only
        // point 0 of a side sector has y = 0 there.
        if (y == 0.0)
            y = std::fabs(std::tan(theta)) * x;
        else
            x = y / std::fabs(std::tan(theta));
        AppendPresetPoint(radii, std::sqrt(x * x + y * y));
    }
    return radii;
}

}  // namespace

std::string CircleRadii() {
    std::string radii;
    radii.reserve(4 * PresetPointCount);
    for (int i = 0; i < PresetPointCount; ++i) AppendPresetPoint(radii, KHalfSide);
    return radii;
}

std::string SquareRadii() {
    return EdgeShape(false);
}

std::string DiamondRadii() {
    const std::string square = SquareRadii();
    return square.substr(256) + square.substr(0, 256);
}

std::string FlowerPotRadii() {
    return EdgeShape(true);
}

// --- The preset menu of the tray field -----------------------------------

void TForm1::Circle1Click() {
    LoadPreset(CircleRadii(), "CIRCLE");
}

void TForm1::Square1Click(QObject* sender) {
    if (sender == Diamond1)
        LoadPreset(DiamondRadii(), "DIAMOND");
    else
        LoadPreset(SquareRadii(), "SQUARE");
}

void TForm1::FlowerPotClick() {
    LoadPreset(FlowerPotRadii(), "FLPOT");
}

void TForm1::LoadPreset(const std::string& radii, const char* trayText) {
    FReceived.Radii = radii;
    // The tray field's own change handling enables Request Shape.
    TrayEdit->setText(QString::fromLatin1(trayText));
    MeasureTrace(FReceived);
    FWorking = FReceived;
    // The DBL change runs exactly once, whether or not the edit held 15.00
    // already: the edit's own change notice is held back while it is set.
    FUpdating = true;
    try {
        DBLEdit->SetText(TValueEdit::FormatValue(15.0));
    } catch (...) {
        FUpdating = false;
        throw;
    }
    FUpdating = false;
    BoxValsEditChange(DBLEdit);
    ShowValues();
    EnableControls(true);
    // A conversation still waiting for the host is abandoned and a late reply
    // is ignored. Its timer is stopped now rather than at its next tick, which
    // could otherwise still report a timeout for the abandoned exchange.
    FSession->Abandon();
    FSession->SetPointCount("512");
    FOverlayX = -1;
    DrawShape();
}
