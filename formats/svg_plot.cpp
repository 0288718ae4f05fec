#include "formats/svg_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace dla {

namespace {

constexpr double kWidth = 640.0, kHeight = 480.0;
constexpr double kLeft = 90.0, kRight = 30.0, kTop = 70.0, kBottom = 60.0;

std::string number(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f", value);
    return buffer;
}

std::string escapeXml(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// One logarithmic axis from `low` to `high` (both > 0) mapped onto [from, to] in SVG units.
struct LogAxis {
    double low, high, from, to;
    double map(double value) const {
        return from +
               (std::log(value) - std::log(low)) / (std::log(high) - std::log(low)) * (to - from);
    }
    // 1, 2 and 5 times powers of ten inside the range; every integer multiple when that gives
    // fewer than three, so that a narrow range still gets labels.
    std::vector<double> ticks() const {
        std::vector<double> result;
        for (const std::vector<int>& mantissas :
             {std::vector<int>{1, 2, 5}, std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}}) {
            result.clear();
            for (int exponent = static_cast<int>(std::floor(std::log10(low)));
                 exponent <= static_cast<int>(std::ceil(std::log10(high))); ++exponent) {
                for (const int m : mantissas) {
                    const double v = m * std::pow(10.0, exponent);
                    if (v >= low && v <= high) result.push_back(v);
                }
            }
            if (result.size() >= 3) break;
        }
        return result;
    }
};

std::string tickLabel(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", value);
    return buffer;
}

}  // namespace

std::string dimensionTitle(const LineFit& fit) {
    char buffer[96];
    if (fit.slopeStandardError) {
        std::snprintf(buffer, sizeof buffer, "D = %.4f ± %.4f", fit.slope, *fit.slopeStandardError);
    } else {
        std::snprintf(buffer, sizeof buffer, "D = %.4f", fit.slope);
    }
    return buffer;
}

std::string plotSvg(const std::vector<FitPoint>& points, const LineFit& fit, const PlotText& text) {
    double minL = points.front().side, maxL = minL, minM = points.front().meanMass, maxM = minM;
    for (const FitPoint& p : points) {
        minL = std::min<double>(minL, p.side);
        maxL = std::max<double>(maxL, p.side);
        minM = std::min(minM, p.meanMass);
        maxM = std::max(maxM, p.meanMass);
    }
    const double L0 = points.front().side;
    const double M0 = points.front().meanMass;
    const auto fitted = [&](double L) {
        return M0 * std::exp(fit.intercept + fit.slope * std::log(L / L0));
    };
    minM = std::min({minM, fitted(minL), fitted(maxL)});
    maxM = std::max({maxM, fitted(minL), fitted(maxL)});

    const LogAxis xAxis{minL / 1.15, maxL * 1.15, kLeft, kWidth - kRight};
    const LogAxis yAxis{minM / 1.4, maxM * 1.4, kHeight - kBottom, kTop};

    std::string svg;
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg +=
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"640\" height=\"480\" viewBox=\"0 0 640 "
        "480\" "
        "font-family=\"DejaVu Sans, Arial, sans-serif\">\n";
    if (!text.about.empty()) svg += "<desc>" + escapeXml(text.about) + "</desc>\n";
    svg += "<rect width=\"640\" height=\"480\" fill=\"white\"/>\n";
    svg += "<text id=\"title\" x=\"320\" y=\"30\" text-anchor=\"middle\" font-size=\"20\">" +
           escapeXml(text.title) + "</text>\n";
    if (!text.subtitle.empty()) {
        svg +=
            "<text id=\"subtitle\" x=\"320\" y=\"52\" text-anchor=\"middle\" font-size=\"13\" "
            "fill=\"#444\">" +
            escapeXml(text.subtitle) + "</text>\n";
    }

    const std::string plotLeft = number(kLeft), plotRight = number(kWidth - kRight);
    const std::string plotTop = number(kTop), plotBottom = number(kHeight - kBottom);
    svg += "<g id=\"axes\" stroke=\"black\" stroke-width=\"1\" fill=\"none\">\n";
    svg += "<rect x=\"" + plotLeft + "\" y=\"" + plotTop + "\" width=\"" +
           number(kWidth - kRight - kLeft) + "\" height=\"" + number(kHeight - kBottom - kTop) +
           "\"/>\n";
    for (const double v : xAxis.ticks()) {
        const std::string x = number(xAxis.map(v));
        svg += "<line class=\"tick\" x1=\"" + x + "\" y1=\"" + plotBottom + "\" x2=\"" + x +
               "\" y2=\"" + number(kHeight - kBottom + 6) + "\"/>\n";
    }
    for (const double v : yAxis.ticks()) {
        const std::string y = number(yAxis.map(v));
        svg += "<line class=\"tick\" x1=\"" + number(kLeft - 6) + "\" y1=\"" + y + "\" x2=\"" +
               plotLeft + "\" y2=\"" + y + "\"/>\n";
    }
    svg += "</g>\n<g id=\"tick-labels\" font-size=\"12\" fill=\"black\">\n";
    for (const double v : xAxis.ticks()) {
        svg += "<text x=\"" + number(xAxis.map(v)) + "\" y=\"" + number(kHeight - kBottom + 20) +
               "\" text-anchor=\"middle\">" + tickLabel(v) + "</text>\n";
    }
    for (const double v : yAxis.ticks()) {
        svg += "<text x=\"" + number(kLeft - 10) + "\" y=\"" + number(yAxis.map(v) + 4) +
               "\" text-anchor=\"end\">" + tickLabel(v) + "</text>\n";
    }
    svg += "</g>\n";
    svg += "<text id=\"x-label\" x=\"" + number((kLeft + kWidth - kRight) / 2) + "\" y=\"" +
           number(kHeight - 15) +
           "\" text-anchor=\"middle\" font-size=\"14\">box side L (sites)</text>\n";
    svg += "<text id=\"y-label\" x=\"20\" y=\"" + number((kTop + kHeight - kBottom) / 2) +
           "\" text-anchor=\"middle\" font-size=\"14\" transform=\"rotate(-90 20 " +
           number((kTop + kHeight - kBottom) / 2) + ")\">mean box mass M(L) (sites)</text>\n";

    svg += "<line id=\"fit-line\" x1=\"" + number(xAxis.map(minL)) + "\" y1=\"" +
           number(yAxis.map(fitted(minL))) + "\" x2=\"" + number(xAxis.map(maxL)) + "\" y2=\"" +
           number(yAxis.map(fitted(maxL))) + "\" stroke=\"#d62728\" stroke-width=\"2\"/>\n";
    svg += "<g id=\"points\" fill=\"#1f77b4\">\n";
    for (const FitPoint& p : points) {
        svg += "<circle class=\"point\" cx=\"" + number(xAxis.map(p.side)) + "\" cy=\"" +
               number(yAxis.map(p.meanMass)) + "\" r=\"4\"/>\n";
    }
    svg += "</g>\n</svg>\n";
    return svg;
}

}  // namespace dla
