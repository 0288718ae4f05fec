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

std::string progressLine(std::int64_t done, std::int64_t total, std::int64_t particles,
                         double elapsedSeconds, int barWidth) {
    const double fraction =
        total > 0 ? std::clamp(static_cast<double>(done) / static_cast<double>(total), 0.0, 1.0)
                  : 1.0;
    const auto filled = static_cast<std::size_t>(std::lround(fraction * barWidth));
    std::string line(1, '[');
    line.append(filled, '#');
    line.append(static_cast<std::size_t>(barWidth) - filled, '.');
    line += "] ";
    line += std::to_string(done) + "/" + std::to_string(total) + " runs  " +
            std::to_string(particles) + " particles  " + formatDuration(elapsedSeconds) +
            " elapsed  ";
    if (done > 0) {
        const double left =
            elapsedSeconds * static_cast<double>(total - done) / static_cast<double>(done);
        line += formatDuration(left) + " left";
    } else {
        line += "? left";
    }
    return line;
}

ProgressBar::ProgressBar(std::ostream& out, bool enabled, std::int64_t total)
    : out_(out), enabled_(enabled), total_(total), start_(std::chrono::steady_clock::now()) {}

void ProgressBar::update(std::int64_t done, std::int64_t particles) {
    if (!enabled_) return;
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    out_ << '\r' << progressLine(done, total_, particles, elapsed) << "\x1b[K" << std::flush;
    drawn_ = true;
}

void ProgressBar::finish() {
    if (!enabled_ || !drawn_) return;
    out_ << "\r\x1b[K" << std::flush;
    drawn_ = false;
}

}  // namespace dla::cli
