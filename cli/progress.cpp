#include "progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace dla::cli {

std::string formatDuration(double seconds) {
    const auto total = static_cast<long long>(std::llround(std::max(0.0, seconds)));
    char buffer[32];
    if (total >= 3600) {
        std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                      total % 60);
    } else {
        std::snprintf(buffer, sizeof buffer, "%lld:%02lld", total / 60, total % 60);
    }
    return buffer;
}

std::string progressLine(const Progress& p, int barWidth) {
    const auto ratio = [](double part, double whole) {
        return whole > 0 ? std::clamp(part / whole, 0.0, 1.0) : 1.0;
    };
    const double fraction =
        p.target ? ratio(static_cast<double>(p.particles), static_cast<double>(*p.target))
                 : ratio(static_cast<double>(p.done), static_cast<double>(p.total));
    const auto filled = static_cast<std::size_t>(std::lround(fraction * barWidth));
    std::string line(1, '[');
    line.append(filled, '#');
    line.append(static_cast<std::size_t>(barWidth) - filled, '.');
    line += "] ";
    line += std::to_string(p.done) + "/" + std::to_string(p.total) + " runs  " +
            std::to_string(p.particles);
    if (p.target) line.append(1, '/').append(std::to_string(*p.target));
    line += " particles  ";
    const double grown = static_cast<double>(p.particles - p.startParticles);
    const double rate = p.elapsedSeconds > 0 ? grown / p.elapsedSeconds : 0.0;
    line += std::to_string(std::llround(rate)) + "/s  " + formatDuration(p.elapsedSeconds) +
            " elapsed  ";
    if (p.target && p.particles >= *p.target) {
        line += "measuring";
    } else if (p.target && rate > 0 && p.total == 1) {
        // One run's time to M particles grows as M^kCostExponent (a particle costs more as the
        // aggregate grows), so the time left is what that law gives from the time so far.
        const auto at = [](double m) { return std::pow(m, kCostExponent); };
        const double done =
            at(static_cast<double>(p.particles)) - at(static_cast<double>(p.startParticles));
        const double left =
            at(static_cast<double>(*p.target)) - at(static_cast<double>(p.particles));
        line += formatDuration(done > 0 ? p.elapsedSeconds * left / done : 0.0) + " left";
    } else if (p.target && rate > 0) {
        line += formatDuration(static_cast<double>(*p.target - p.particles) / rate) + " left";
    } else if (!p.target && p.done > 0) {
        line += formatDuration(p.elapsedSeconds * static_cast<double>(p.total - p.done) /
                               static_cast<double>(p.done)) +
                " left";
    } else {
        line += "? left";
    }
    return line;
}

ProgressBar::ProgressBar(std::ostream& out, bool enabled, std::int64_t total,
                         std::optional<std::int64_t> target, std::int64_t startParticles)
    : out_(out), enabled_(enabled), start_(std::chrono::steady_clock::now()) {
    progress_.total = total;
    progress_.target = target;
    progress_.startParticles = startParticles;
}

void ProgressBar::update(std::int64_t done, std::int64_t particles) {
    if (!enabled_) return;
    progress_.done = done;
    progress_.particles = particles;
    progress_.elapsedSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    out_ << '\r' << progressLine(progress_) << "\x1b[K" << std::flush;
    drawn_ = true;
}
void ProgressBar::finish() {
    if (!enabled_ || !drawn_) return;
    out_ << "\r\x1b[K" << std::flush;
    drawn_ = false;
}

}  // namespace dla::cli
