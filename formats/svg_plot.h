#pragma once

#include <string>
#include <vector>

#include "estimate/fractal_dimension.h"
#include "measure/statistics.h"

/// The log-log plot of the box masses, as SVG text.
namespace dla {

struct PlotText {
    std::string title;     ///< e.g. "D = 1.6534 ± 0.0123"
    std::string subtitle;  ///< a smaller line under the title; may be empty
    std::string about;     ///< the document's <desc>: what made it; may be empty
};

/// "D = " and the slope to four decimals, then " ± " and its standard error when there is one.
std::string dimensionTitle(const LineFit& fit);

/// An SVG document (640 x 480 user units) plotting the mean box mass M(L) against the box side
/// L, both on logarithmic axes with ticks at 1, 2 and 5 times powers of ten and labels, the
/// measured points as circles (class "point") and the fitted line M = M0 e^intercept
/// (L / L0)^slope across the measured sides (the element with id "fit-line", in red).
/// `points` holds at least two sides with positive masses.
std::string plotSvg(const std::vector<FitPoint>& points, const LineFit& fit, const PlotText& text);

}  // namespace dla
