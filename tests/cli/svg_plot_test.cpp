#include "svg_plot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "output_file.h"
#include "test_support.h"

namespace dla::cli {
namespace {

// M = 12 (L / 10)^1.65 at L = 10, 20, 40, 80: the points sit on the line, a third of it apart.
std::vector<FitPoint> samplePoints() {
    std::vector<FitPoint> points;
    for (const std::int16_t side :
         {std::int16_t{10}, std::int16_t{20}, std::int16_t{40}, std::int16_t{80}}) {
        const double ratio = side / 10.0;
        const double mass = 12.0 * std::pow(ratio, 1.65);
        points.push_back({side, mass, std::log(ratio), std::log(mass / 12.0)});
    }
    points[2].meanMass *= 1.01;  // a little scatter, so that the error is not zero
    points[2].y = std::log(points[2].meanMass / 12.0);
    return points;
}

TEST(DimensionTitle, FourDecimalsWithError) {
    LineFit fit;
    fit.slope = 1.65341;
    fit.slopeStandardError = 0.01234;
    EXPECT_EQ(dimensionTitle(fit), "D = 1.6534 ± 0.0123");
    fit.slopeStandardError.reset();
    EXPECT_EQ(dimensionTitle(fit), "D = 1.6534");
}

TEST(SvgPlot, ParsesWithTitleAxesPointsAndLine) {
    const auto points = samplePoints();
    const LineFit fit = *fitLine(points);
    test::ScratchFolder folder;
    const std::string path = folder.file("plot.svg");
    savePlot(path, points, fit, {dimensionTitle(fit), "N = 200 & <more>"});

    const std::string script = R"(
import sys, xml.etree.ElementTree as ET
ns = {'s': 'http://www.w3.org/2000/svg'}
root = ET.parse(sys.argv[1]).getroot()
assert root.tag == '{http://www.w3.org/2000/svg}svg', root.tag
texts = {t.get('id'): ''.join(t.itertext()) for t in root.iter('{http://www.w3.org/2000/svg}text')}
labels = [''.join(t.itertext()) for t in root.findall(".//s:g[@id='tick-labels']/s:text", ns)]
line = root.find(".//s:line[@id='fit-line']", ns)
assert line is not None
print(texts['title'])
print(texts['subtitle'])
print(texts['x-label'] + '|' + texts['y-label'])
print(len(root.findall(".//s:circle[@class='point']", ns)))
print(' '.join(labels))
)";
    const std::string scriptPath = folder.file("check.py");
    writeFileAtomically(scriptPath, script);
    const test::CommandResult result =
        test::runCommand("python3 " + test::shellQuote(scriptPath) + " " + test::shellQuote(path));
    ASSERT_EQ(result.exitCode, 0) << result.out;
    const std::vector<std::string> lines = test::splitLines(result.out);
    ASSERT_EQ(lines.size(), 5u) << result.out;
    EXPECT_EQ(lines[0], dimensionTitle(fit));
    EXPECT_EQ(lines[1], "N = 200 & <more>");
    EXPECT_EQ(lines[2], "box side L (sites)|mean box mass M(L) (sites)");
    EXPECT_EQ(lines[3], "4");
    // Sides 10 to 80 and masses 12 to about 380, with margins: ticks at 1, 2 and 5 times powers
    // of ten, sides first.
    EXPECT_EQ(lines[4], "10 20 50 10 20 50 100 200 500");
}

TEST(SvgPlot, RendersWithTheFittedLineInRed) {
    const auto points = samplePoints();
    const LineFit fit = *fitLine(points);
    test::ScratchFolder folder;
    const std::string svgPath = folder.file("plot.svg");
    const std::string pngPath = folder.file("plot.png");
    savePlot(svgPath, points, fit, {dimensionTitle(fit), ""});
    const test::CommandResult rendered = test::runCommand(
        "rsvg-convert " + test::shellQuote(svgPath) + " -o " + test::shellQuote(pngPath) + " 2>&1");
    ASSERT_EQ(rendered.exitCode, 0) << rendered.out;
    const Image image = test::decodePng(pngPath);
    ASSERT_EQ(image.width, 640);
    ASSERT_EQ(image.height, 480);

    std::smatch m;
    const std::string svg = test::readFile(svgPath);
    ASSERT_TRUE(std::regex_search(
        svg, m,
        std::regex(
            R"re(id="fit-line" x1="([\d.]+)" y1="([\d.]+)" x2="([\d.]+)" y2="([\d.]+)")re")));
    const double x1 = std::stod(m[1]), y1 = std::stod(m[2]), x2 = std::stod(m[3]),
                 y2 = std::stod(m[4]);
    EXPECT_LT(y2, y1) << "mass grows with side: the line rises";
    // Half-way between the points, where only the line is drawn.
    for (const double f : {1.0 / 6.0, 0.5, 5.0 / 6.0}) {
        const Rgb c =
            image.at(static_cast<int>(x1 + f * (x2 - x1)), static_cast<int>(y1 + f * (y2 - y1)));
        EXPECT_GT(c.red, 150) << f;
        EXPECT_LT(c.green, 110) << f;
        EXPECT_LT(c.blue, 110) << f;
    }
    // Above the line's middle the plot is white.
    const Rgb above =
        image.at(static_cast<int>((x1 + x2) / 2), static_cast<int>((y1 + y2) / 2) - 40);
    EXPECT_EQ(above, (Rgb{255, 255, 255}));
}

}  // namespace
}  // namespace dla::cli
