// Beyond the window: an aggregate of 10^5 to 10^7 particles grown with the jump walker, on a
// lattice without an edge, shown downsampled as it grows, with the history dimension as it
// converges. The page drives it in steps of a few milliseconds, so that it stays responsive
// without handing control over from inside the growth.
#include <emscripten.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "batch/seed.h"
#include "formats/picture.h"
#include "measure/growth_history.h"
#include "run.h"

namespace {

using dla::Site;

constexpr int kPictureSide = 400;
constexpr std::int32_t kSmallestExtent = 64;

// A colour as RGBA bytes in memory order: the page copies the picture into an ImageData as it is.
std::uint32_t rgba(dla::Rgb colour) {
    return std::uint32_t{colour.red} | std::uint32_t{colour.green} << 8 |
           std::uint32_t{colour.blue} << 16 | 0xFF000000u;
}

// Stops a growth once its time slice has passed, looking every 256 particles.
class Slice final : public dla::PacedObserver {
  public:
    explicit Slice(double length) : PacedObserver(256, 0.0), length_(length) {}
    std::atomic<bool> stop{false};

  private:
    void beat(const dla::Run&, double elapsed) override {
        if (elapsed >= length_) stop.store(true);
    }
    double length_;  // seconds
};

class LargeView {
  public:
    LargeView(std::int64_t particles, std::optional<std::uint64_t> seed)
        : run_(dla::RunSettings{dla::Walker::Jump, std::nullopt, particles, dla::kWindowKillFactor,
                                seed}),
          particles_(particles),
          picture_(static_cast<std::size_t>(kPictureSide) * kPictureSide, 0xFF000000u) {}

    // Grows for about `length` seconds; true once the run has ended, whose picture is then
    // dla-cli's --image-size kPictureSide.
    bool step(double length) {
        Slice slice(length);
        const bool ended = run_.grow(&slice, &slice.stop);
        takeNewSites();
        if (ended) {
            result_ = &run_.result();
            const dla::Image image = dla::renderDownsampled(run_.arrivals(), kPictureSide);
            side_ = image.width;
            picture_.assign(static_cast<std::size_t>(side_) * static_cast<std::size_t>(side_), 0);
            for (int y = 0; y < side_; ++y) {
                for (int x = 0; x < side_; ++x)
                    picture_[static_cast<std::size_t>(y * side_ + x)] = rgba(image.at(x, y));
            }
        }
        return ended;
    }

    const std::uint32_t* picture() const { return picture_.data(); }
    int side() const { return side_; }
    std::int64_t sites() const { return history_.sites(); }
    const std::vector<double>& convergence() const { return convergence_; }
    const dla::RunResult* result() const { return result_; }
    std::uint64_t seed() const { return *run_.settings().seed; }

  private:
    void takeNewSites() {
        const dla::SiteList& arrivals = run_.arrivals();
        std::int32_t reach = extent_;
        for (std::size_t i = shown_; i < arrivals.size(); ++i) {
            const Site s = arrivals[i];
            reach = std::max({reach, std::abs(s.x) + 1, std::abs(s.y) + 1});
        }
        if (reach > extent_) {
            while (extent_ < reach) extent_ *= 2;
            std::fill(picture_.begin(), picture_.end(), 0xFF000000u);
            for (std::size_t i = 0; i < shown_; ++i) plot(arrivals[i], i);
        }
        for (; shown_ < arrivals.size(); ++shown_) {
            plot(arrivals[shown_], shown_);
            history_.add(arrivals[shown_]);
            if (history_.points().size() > recorded_) {
                recorded_ = history_.points().size();
                if (const std::optional<double> d = history_.dimension()) {
                    convergence_.push_back(static_cast<double>(history_.sites()));
                    convergence_.push_back(*d);
                }
            }
        }
    }

    void plot(Site s, std::size_t index) {
        const auto pixel = [this](std::int32_t v) {
            return static_cast<int>((static_cast<std::int64_t>(v) + extent_) * kPictureSide /
                                    (2 * static_cast<std::int64_t>(extent_)));
        };
        // y downward, as in dla-cli's picture; coloured by the share of the particles grown.
        const int px = pixel(s.x), py = pixel(s.y);
        picture_[static_cast<std::size_t>(py * kPictureSide + px)] =
            rgba(index == 0
                     ? dla::kSeedMark
                     : dla::viridis(static_cast<double>(index) / static_cast<double>(particles_)));
    }

    dla::Run run_;
    std::int64_t particles_;
    std::vector<std::uint32_t> picture_;
    int side_ = kPictureSide;
    std::int32_t extent_ = kSmallestExtent;
    std::size_t shown_ = 0;
    dla::GrowthHistory history_;
    std::size_t recorded_ = 0;
    std::vector<double> convergence_;  // sites, history dimension; sites, ...
    const dla::RunResult* result_ = nullptr;
};

// The particles the page grows: from a growth large enough to show its branches to what a
// browser tab's memory holds.
constexpr dla::WholeRange kPageParticles{1000, 10'000'000};

std::unique_ptr<LargeView> view;
double summary[6];
std::string hash;

}  // namespace

extern "C" {

/// The fewest and the most particles the page grows.
EMSCRIPTEN_KEEPALIVE double dla_grande_menor() {
    return static_cast<double>(kPageParticles.least);
}
EMSCRIPTEN_KEEPALIVE double dla_grande_maior() {
    return static_cast<double>(kPageParticles.most);
}

/// Starts a growth of `particles` particles (dla_grande_menor() to dla_grande_maior()) from
/// `seed` (a whole number below 2^53, which the page draws when the user gives none).
EMSCRIPTEN_KEEPALIVE void dla_grande_iniciar(double particles, double seed) {
    view.reset();
    view = std::make_unique<LargeView>(static_cast<std::int64_t>(particles),
                                       static_cast<std::uint64_t>(seed));
}

/// Grows for about `length` seconds; 1 once the run has ended and been measured.
EMSCRIPTEN_KEEPALIVE int dla_grande_passo(double length) {
    return view->step(length) ? 1 : 0;
}

/// The picture: lado rows of lado RGBA pixels (kPictureSide while it grows, at most that once
/// it has ended).
EMSCRIPTEN_KEEPALIVE const std::uint32_t* dla_grande_imagem() {
    return view->picture();
}
EMSCRIPTEN_KEEPALIVE int dla_grande_lado() {
    return view->side();
}

/// A seed from the system's entropy, by dla-cli's rule (below 2^52, so exact as a double).
EMSCRIPTEN_KEEPALIVE double dla_grande_semente() {
    return static_cast<double>(dla::drawSeed());
}

/// The history dimension as the aggregate grew: pairs of (sites, dimension), `count` numbers.
EMSCRIPTEN_KEEPALIVE const double* dla_grande_convergencia() {
    return view->convergence().data();
}
EMSCRIPTEN_KEEPALIVE int dla_grande_convergencia_n() {
    return static_cast<int>(view->convergence().size());
}

/// sites, seed, and once ended: the box-mass dimension, its standard error, the history
/// dimension and the radius of gyration; NaN where there is none.
EMSCRIPTEN_KEEPALIVE const double* dla_grande_resumo() {
    const double none = __builtin_nan("");
    std::fill(std::begin(summary), std::end(summary), none);
    summary[0] = static_cast<double>(view->sites());
    summary[1] = static_cast<double>(view->seed());
    if (const dla::RunResult* r = view->result()) {
        if (r->fit) {
            summary[2] = r->fit->slope;
            summary[3] = r->fit->slopeStandardError.value_or(none);
        }
        summary[4] = r->historyDimension.value_or(none);
        summary[5] = r->radiusOfGyration;
    }
    return summary;
}

/// The ended run's hash as dla-cli writes it; empty before the end.
EMSCRIPTEN_KEEPALIVE const char* dla_grande_hash() {
    const dla::RunResult* r = view->result();
    hash = r && r->hash ? dla::hashText(*r->hash) : std::string();
    return hash.c_str();
}

}  // extern "C"
