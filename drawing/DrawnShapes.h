#pragma once

// What the shape picture on the screen and the printed sheet both draw, filled
// in one place so that the two always show the same shapes.

#include <string>

#include "shape/TrceCalc.h"

struct TDrawnShapes {
    std::string WorkingRadii;
    std::string ReceivedRadii;
    // The working shape's values as stored, for the value line and the heading.
    double HBox = 0.0;
    double VBox = 0.0;
    double Circ = 0.0;

    // Takes Working's outline and values, and the received outline.
    void SetShapes(const TTraceInfo& working, const std::string& receivedRadii = {}) {
        WorkingRadii = working.Radii;
        ReceivedRadii = receivedRadii;
        HBox = working.HBox;
        VBox = working.VBox;
        Circ = working.Circ;
    }
};
