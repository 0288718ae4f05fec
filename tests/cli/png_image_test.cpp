#include "png_image.h"

#include <gtest/gtest.h>

#include "output_file.h"
#include "test_support.h"

namespace dla::cli {
namespace {

double luminance(Rgb c) {
    return 0.2126 * c.red + 0.7152 * c.green + 0.0722 * c.blue;
}

TEST(Viridis, RunsFromDarkVioletToYellowGettingBrighter) {
    EXPECT_EQ(viridis(0.0), (Rgb{68, 1, 84}));
    EXPECT_EQ(viridis(1.0), (Rgb{253, 231, 37}));
    EXPECT_EQ(viridis(-3.0), viridis(0.0));
    EXPECT_EQ(viridis(7.0), viridis(1.0));
    double previous = -1.0;
    for (int i = 0; i <= 200; ++i) {
        const Rgb c = viridis(i / 200.0);
        EXPECT_GT(luminance(c), previous) << i;
        EXPECT_NE(c, kSeedMark);
        previous = luminance(c);
    }
}

TEST(RenderAggregate, TinyAggregateSquaresColouredByArrival) {
    // Extent 1: 3 x 3 sites, 2 pixels each. The ring around the seed lies outside so small a
    // picture.
    const std::vector<Site> arrivals{{0, 0}, {1, 0}, {1, 1}, {0, -1}};
    const Image image = renderAggregate(arrivals, 2);
    ASSERT_EQ(image.width, 6);
    ASSERT_EQ(image.height, 6);
    const auto colourOf = [&](int sx, int sy) -> Rgb {
        for (std::size_t k = 0; k < arrivals.size(); ++k) {
            if (arrivals[k].x == sx && arrivals[k].y == sy) {
                return k == 0 ? kSeedMark : viridis(static_cast<double>(k - 1) / 2.0);
            }
        }
        return Rgb{};
    };
    for (int py = 0; py < 6; ++py) {
        for (int px = 0; px < 6; ++px) {
            // Pixel (px, py) shows site (px / 2 - 1, py / 2 - 1): y grows downward.
            EXPECT_EQ(image.at(px, py), colourOf(px / 2 - 1, py / 2 - 1)) << px << "," << py;
        }
    }
}

TEST(RenderAggregate, SeedRingCrossesOnlyTheBackground) {
    // The seed at the centre of 41 x 41 pixels; the ring of radius 6 passes (26, 20), where a
    // particle sits, and (14, 20), where none does.
    const std::vector<Site> arrivals{{0, 0}, {6, 0}, {20, 0}};
    const Image image = renderAggregate(arrivals, 1);
    ASSERT_EQ(image.width, 41);
    EXPECT_EQ(image.at(20, 20), kSeedMark);
    EXPECT_EQ(image.at(26, 20), viridis(0.0));
    EXPECT_EQ(image.at(40, 20), viridis(1.0));
    EXPECT_EQ(image.at(14, 20), kSeedMark);
    EXPECT_EQ(image.at(20, 14), kSeedMark);
    EXPECT_EQ(image.at(20, 17), Rgb{}) << "inside the ring";
    EXPECT_EQ(image.at(0, 0), Rgb{});
}

TEST(Png, DecodesToTheSamePixels) {
    test::ScratchFolder folder;
    const std::vector<Site> arrivals{{0, 0}, {1, 0}, {1, 1}, {0, -1}, {-2, -1}};
    const Image image = renderAggregate(arrivals, 3);
    const std::string path = folder.file("tiny.png");
    savePng(image, path);
    const Image decoded = test::decodePng(path);
    EXPECT_EQ(decoded.width, 15);
    EXPECT_EQ(decoded.height, 15);
    EXPECT_EQ(decoded.rgb, image.rgb);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"tiny.png"}) << "no temporary file left";
}

TEST(Png, MissingFolderLeavesNothing) {
    test::ScratchFolder folder;
    const Image image = renderAggregate({{0, 0}, {1, 0}}, 1);
    EXPECT_THROW(savePng(image, folder.file("missing/tiny.png")), FileError);
    EXPECT_TRUE(folder.entries().empty());
}

}  // namespace
}  // namespace dla::cli
