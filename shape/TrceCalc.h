#pragma once

// The shape of a lens frame as a radius string: consecutive four-character
// decimal groups, each the radius of one point in hundredths of a millimetre,
// point i of N at the angle i * 2pi / N counter-clockwise from the positive x
// axis. 1 to 3 trailing characters are ignored. Measurements are millimetres.

#include <cstdint>
#include <string>
#include <string_view>

#include "shape/Convert.h"

// Largest point count ApplyTargets can scale (its polar table has this many entries).
inline constexpr int MaxPolarPoints = 4096;

// A shape and its measurements; a plain value.
struct TTraceInfo {
    std::string Radii;
    double HBox = 0;  // box A
    double VBox = 0;  // box B
    double Circ = 0;  // circumference: perimeter of the polygon through the points
    double DBL = 0;   // distance between lenses, carried along, never computed here
};

// Too many points for the polar table of ApplyTargets.
class ETooManyPoints : public std::runtime_error {
public:
    explicit ETooManyPoints(int count);
};

// Number of points of a radius string (its length div 4).
int RadiusCount(std::string_view radii);
// Integer value of group index; a group past the end reads as "" and fails like any other
// non-integer with EConvertError.
int RadiusAt(std::string_view radii, int index);

// Short-lived calculator for one measuring or shape-changing task. Changes are
// lazy: setting a target only marks it, and every getter first runs Update,
// which applies pending targets and measures at most once per change.
//
// The fields are public because the editor writes LockB directly; everything
// else should go through the operations, which keep the flags right.
// Errors (EConvertError, ERadiusRange, EZeroDivide, EInvalidOp, ETooManyPoints)
// leave Radii as it was before the failing operation.
class TTraceCalc {
public:
    std::string BaseRadii;  // as last loaded: the source of ApplyTargets and Resample
    std::string Radii;      // current shape: the source of every measurement
    double HBox = 0;
    double VBox = 0;
    double TargetHBox = 0;
    double TargetVBox = 0;
    double Circ = 0;
    bool NeedsMeasure = false;
    bool NeedsScale = false;
    // A box B change stretches only the lower half, then moves the shape so its top is at half
    // the target above the centre.
    bool LockB = false;

    // Radii and BaseRadii := radii; targets and LockB are kept.
    void LoadTrace(std::string_view radii);
    // Points of Radii; does not apply pending changes.
    int PointCount() const;
    // Pending targets first, then a pending measurement.
    void Update();

    double GetHBox();
    double GetVBox();
    double GetCirc();
    const std::string& GetTrace();

    // Box over the sampled points (always containing the centre) and the polygon's perimeter;
    // resets both targets to the measured boxes. An empty shape only zeroes Circ and stays
    // unmeasured.
    void Measure();

    // Measure first if needed, then set the target and mark it pending.
    void SetTargetHBox(double value);
    void SetTargetVBox(double value);

    // Rebuilds Radii from BaseRadii scaled to the targets; a box of 0 or no points leaves
    // everything as it is (the target stays pending).
    void ApplyTargets();
    // Scales every radius by target / Circ unless that changes the circumference by under 0.01 mm
    // against the stored Circ; a zero circumference throws EZeroDivide (EInvalidOp for 0/0).
    void ScaleToCirc(double target);
    // Rebuilds Radii from BaseRadii with count points on the polygon through the old ones.
    // 0 empties Radii; the loaded count copies BaseRadii.
    void Resample(std::uint16_t count);
};

// Fills HBox, VBox and Circ of trace from its Radii with a fresh calculator; Radii and DBL are
// not touched. Errors reach the caller.
void MeasureTrace(TTraceInfo& trace);
