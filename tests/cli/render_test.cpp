// The picture and the plot: where things land.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "formats/exports.h"
#include "formats/picture.h"
#include "formats/png.h"
#include "formats/svg_plot.h"
#include "test_support.h"

namespace dla::cli {
namespace {

TEST(Picture, SitesAsSquaresColouredByArrivalWithYDownward) {
    // Extent 1: 3 x 3 sites, 2 pixels each; the seed's ring lies outside so small a picture.
    const std::vector<Site> arrivals{{0, 0}, {1, 0}, {1, 1}, {0, -1}};
    const Image image = renderAggregate(arrivals, 2);
    ASSERT_EQ(image.width, 6);
    ASSERT_EQ(image.height, 6);
    for (int py = 0; py < 6; ++py) {
        for (int px = 0; px < 6; ++px) {
            const Site site{static_cast<std::int16_t>(px / 2 - 1),
                            static_cast<std::int16_t>(py / 2 - 1)};
            const auto k = std::find(arrivals.begin(), arrivals.end(), site) - arrivals.begin();
            const Rgb expected = k == 0  ? kSeedMark
                                 : k < 4 ? viridis(static_cast<double>(k - 1) / 2.0)
                                         : Rgb{};
            EXPECT_EQ(image.at(px, py), expected) << px << "," << py;
        }
    }
    test::ScratchFolder folder;
    savePng(image, folder.file("tiny.png"));
    EXPECT_EQ(test::decodePng(folder.file("tiny.png")), image.rgb);
}

TEST(Picture, DownsampledBlocksAverageArrivalOrderAndDimWithSparseness) {
    // Extent 4: 9 x 9 sites in blocks of 3, 3 x 3 pixels. Orders 0, 1/3, 2/3, 1.
    const SiteList arrivals{{0, 0}, {4, 4}, {3, 4}, {-4, 0}, {0, 1}};
    const Image image = renderDownsampled(arrivals, 3);
    ASSERT_EQ(image.width, 3);
    ASSERT_EQ(image.height, 3);
    const auto dimmed = [](Rgb c, double b) {
        const auto d = [b](std::uint8_t v) {
            return static_cast<std::uint8_t>(std::lround(v * b));
        };
        return Rgb{d(c.red), d(c.green), d(c.blue)};
    };
    EXPECT_EQ(image.at(2, 2), dimmed(viridis(1.0 / 6), 0.25 + 0.75 * std::sqrt(2.0 / 9)));
    EXPECT_EQ(image.at(0, 1), dimmed(viridis(2.0 / 3), 0.25 + 0.75 / 3));
    EXPECT_EQ(image.at(1, 1), kSeedMark);
    EXPECT_EQ(image.at(0, 0), Rgb{});

    // Never more than the pixels asked for; one pixel a site when they suffice, and then the
    // same picture as one square a site.
    const Image wide = renderDownsampled({{0, 0}, {1000, -1000}}, 64);
    EXPECT_EQ(wide.width, 63);  // blocks of ceil(2001 / 64) = 32 sites
    const std::vector<Site> small{{0, 0}, {1, 0}, {1, 1}, {2, 1}, {-1, 0}, {-1, -1}};
    EXPECT_EQ(renderDownsampled({small.begin(), small.end()}, 100).rgb,
              renderAggregate(small, 1).rgb);
}

// numpy's .npy of the sites: int32 while every arrival index fits, int64 past 2^31 rows, each
// row as its header says; CSV whatever the count.
TEST(SitesFile, NpyRowsAreAsWideAsTheirHeaderSays) {
    const std::int64_t most = std::int64_t{1} << 31;  // arrivals 0 .. 2^31 - 1
    EXPECT_EQ(sitesFormat("s.npy", most), SitesFormat::Npy32);
    EXPECT_EQ(sitesFormat("s.npy", most + 1), SitesFormat::Npy64);
    EXPECT_EQ(sitesFormat("s.csv", most + 1), SitesFormat::Csv);
    test::ScratchFolder folder;
    for (const SitesFormat format : {SitesFormat::Npy32, SitesFormat::Npy64}) {
        const std::string path = folder.file("s.npy"), header = sitesHeader(format, 3, "about");
        {
            OutputFile file(path);
            file.write(header);
            writeSiteRow(file, format, {-7, 9}, 2);
            file.commit();
        }
        const std::string bytes = test::readFile(path);
        const bool wide = format == SitesFormat::Npy64;
        EXPECT_NE(header.find(wide ? "'<i8'" : "'<i4'"), std::string::npos);
        EXPECT_EQ(header.size() % 64, 0u);
        ASSERT_EQ(bytes.size(), header.size() + (wide ? 24 : 12));
        std::int64_t row[3]{};
        for (int k = 0; k < 3; ++k) {
            if (wide) {
                std::memcpy(&row[k], bytes.data() + header.size() + 8 * k, 8);
            } else {
                std::int32_t v = 0;
                std::memcpy(&v, bytes.data() + header.size() + 4 * k, 4);
                row[k] = v;
            }
        }
        EXPECT_EQ(row[0], -7);
        EXPECT_EQ(row[1], 9);
        EXPECT_EQ(row[2], 2);
    }
}

TEST(Plot, BothAxesAreLogarithmic) {
    // M = 12 (L / 10)^1.65 at L = 10, 20, 40, 80: equal steps on both log axes.
    std::vector<FitPoint> points;
    for (const std::int16_t side :
         {std::int16_t{10}, std::int16_t{20}, std::int16_t{40}, std::int16_t{80}}) {
        const double mass = 12.0 * std::pow(side / 10.0, 1.65);
        points.push_back({side, mass, std::log(side / 10.0), std::log(mass / 12.0)});
    }
    const std::string svg = plotSvg(points, *fitLine(points), {"D", "", ""});
    std::vector<double> x, y;
    const std::string circle = "class=\"point\" cx=\"";
    for (auto at = svg.find(circle); at != std::string::npos; at = svg.find(circle, at + 1)) {
        std::size_t length = 0;
        x.push_back(std::stod(svg.substr(at + circle.size()), &length));
        y.push_back(std::stod(svg.substr(at + circle.size() + length + 6)));  // past '" cy="'
    }
    ASSERT_EQ(x.size(), 4u);
    for (std::size_t i = 2; i < 4; ++i) {
        EXPECT_NEAR(x[i] - x[i - 1], x[1] - x[0], 0.02);
        EXPECT_NEAR(y[i] - y[i - 1], y[1] - y[0], 0.02);
    }
    EXPECT_LT(y[3], y[0]) << "mass grows upward";
}

}  // namespace
}  // namespace dla::cli
