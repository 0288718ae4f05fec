#pragma once

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "base/conversions.h"
#include "base/ticks.h"

/// floor(scale * cos(theta)) and floor(scale * sin(theta)), equal to what the library's cos and
/// sin give, at a fraction of their cost.
///
/// Where these floors are taken (release points, box corners) theta is 2 pi u for a deviate u in
/// [0, 1), and the floor of the scaled value is all that is kept. A table of cos and sin at the
/// multiples of pi / 128 and short series for the rest give the scaled value to within about
/// 1e-14 (1 + scale); the library's value lies within an ulp or two of the same exact value. Only
/// when the fast value lands within kMargin (1 + scale) (about 1e-12 (1 + scale), a hundred times
/// both errors) of an integer could the two floors differ, and there the library is asked. So the
/// result is the library's, bit for bit, while the library is called about once in 10^9 draws.
/// Outside 0 <= theta < 7, or for a scale outside 0..2^30, the library is always asked.
namespace dla::trig {

namespace detail {

inline constexpr double kMargin = 0x1p-40;
inline constexpr int kSteps = 288;  // multiples of pi / 128 up to 7 and a little beyond

struct Point {
    double cos, sin;
};
// cos and sin of i pi / 128, i = 0..kSteps - 1, from the library.
inline const std::array<Point, kSteps> kTable = [] {
    std::array<Point, kSteps> table{};
    const double step = std::atan(1.0) / 32.0;
    for (int i = 0; i < kSteps; ++i)
        table[static_cast<std::size_t>(i)] = {std::cos(i * step), std::sin(i * step)};
    return table;
}();

// theta = i pi / 128 + d with |d| <= pi / 256 (plus round-off): cos and sin of d by their series
// to the terms of degree 6 and 5, whose remainders are below 1e-14 there. pi / 128 is split
// (fdlibm's pio2_1 and pio2_1t over 64): its high part has 33 significant bits, so i times it is
// exact.
inline Point scaledPoint(double scale, double theta) {
    constexpr double kStepsPerRadian = 40.74366543152520887;  // 128 / pi
    constexpr double kStepHigh = 1.57079632673412561417e+00 / 64.0;
    constexpr double kStepLow = 6.07710050650619224932e-11 / 64.0;
    const int i = static_cast<int>(theta * kStepsPerRadian + 0.5);
    const double k = i;
    const double d = (theta - k * kStepHigh) - k * kStepLow;
    const double z = d * d;
    const double cd = 1.0 + z * (-0.5 + z * (1.0 / 24.0 - z * (1.0 / 720.0)));
    const double sd = d + d * z * (-1.0 / 6.0 + z * (1.0 / 120.0));
    const Point p = kTable[static_cast<std::size_t>(i)];
    return {scale * (p.cos * cd - p.sin * sd), scale * (p.sin * cd + p.cos * sd)};
}

inline bool inDomain(double theta, double scale) {
    return theta >= 0.0 && theta < 7.0 && scale >= 0.0 && scale <= 0x1p30;
}

// floor(value) when value is at least kMargin (1 + scale) away from every integer.
inline bool clearFloor(double value, double scale, std::int32_t& result) {
    const std::int32_t f = floorToInt32(value);
    const double margin = kMargin * (1.0 + scale);
    result = f;
    return value - f >= margin && (f + 1.0) - value >= margin;
}

// floor(value) for a value that scaledPoint gave, or that of exact(), the library's, when the
// value is too close to an integer to tell.
template <class Exact>
std::int32_t floorOr(double value, double scale, Exact exact) {
    std::int32_t f;
    return clearFloor(value, scale, f) ? f : floorToInt32(exact());
}

}  // namespace detail

/// floorToInt32(scale * std::cos(theta)), bit for bit.
inline std::int32_t floorScaledCos(double scale, double theta) {
    const auto exact = [=] { return scale * std::cos(theta); };
    if (!detail::inDomain(theta, scale)) [[unlikely]]
        return floorToInt32(exact());
    return detail::floorOr(detail::scaledPoint(scale, theta).cos, scale, exact);
}

/// floorToInt32(scale * std::cos(theta)) and floorToInt32(scale * std::sin(theta)), bit for bit,
/// from one point.
struct Floors {
    std::int32_t cos, sin;
};
inline Floors floorsScaled(double scale, double theta) {
    const auto exactCos = [=] { return scale * std::cos(theta); };
    const auto exactSin = [=] { return scale * std::sin(theta); };
    if (!detail::inDomain(theta, scale)) [[unlikely]]
        return {floorToInt32(exactCos()), floorToInt32(exactSin())};
    const detail::Point p = detail::scaledPoint(scale, theta);
    return {detail::floorOr(p.cos, scale, exactCos), detail::floorOr(p.sin, scale, exactSin)};
}

/// floorScaledCos(scale, u * 2.0 * pi) for many deviates u with one scale, mostly by a table
/// lookup. [0, 1) is cut into kBuckets equal parts; on each, cos(2 pi u) is monotone (the
/// half-way point 1/2 is a cut), so where the values at both ends of a part lie within the same
/// integer, kMargin (1 + scale) clear of it, so does every value in between, and the library's
/// too: the part stores that floor. The other parts (about 4 scale of them, those where the value
/// crosses an integer) say so, and their deviates go through floorScaledCos; for a scale of 2^15 -
/// 1 or more (about as many crossings as parts) all do.
///
/// The values at the ends of the parts are taken by rotating through the angles 2 pi / kBuckets
/// apart, from a point of the library's own table every 256 parts: 256 rotations lose less than
/// 1e-13 of a unit, well inside the margin.
class FloorCosTable {
  public:
    static constexpr int kBits = 16;
    static constexpr int kBuckets = 1 << kBits;
    static constexpr int kQuarter = kBuckets / 4;

    /// `pi` as the caller computes it; `scale` in 0..2^30.
    FloorCosTable(double scale, double pi) : scale_(scale), pi_(pi) {
        using namespace detail;
        floors_.fill(kMixed);
        if (!(scale >= 0.0 && scale < INT16_MAX)) return;
        static_assert(kBuckets == 256 * 256, "256 parts span pi / 128, the step of kTable");
        const double margin = kMargin * (1.0 + scale);
        const double turn = std::atan(1.0) * 8.0 / kBuckets;
        const double cosTurn = std::cos(turn), sinTurn = std::sin(turn);
        // The first quarter turn by rotation; the rest by symmetry: cos(pi - a) = -cos a, whose
        // floor is -f - 1 away from integers, and cos(2 pi - a) = cos a.
        double before = scale;  // cos 0
        for (int block = 0; block < kQuarter / 256; ++block) {
            double c = kTable[static_cast<std::size_t>(block)].cos;
            double s = kTable[static_cast<std::size_t>(block)].sin;
            for (int k = 0; k < 256; ++k) {
                const double turned = c * cosTurn - s * sinTurn;
                s = s * cosTurn + c * sinTurn;
                c = turned;
                const double after = scale * c;
                const std::int32_t f = floorToInt32(after - margin);
                if (f == floorToInt32(before + margin)) {
                    const int i = 256 * block + k;
                    const auto up = static_cast<std::int16_t>(f);
                    const auto down = static_cast<std::int16_t>(-f - 1);
                    floors_[static_cast<std::size_t>(i)] = up;
                    floors_[static_cast<std::size_t>(2 * kQuarter - 1 - i)] = down;
                    floors_[static_cast<std::size_t>(2 * kQuarter + i)] = down;
                    floors_[static_cast<std::size_t>(kBuckets - 1 - i)] = up;
                }
                before = after;
            }
        }
    }

    /// For the deviate t 2^-53 given as its ticks t < 2^53, without testing t: the part is the
    /// top bits of t.
    std::int32_t ofTicks(std::uint64_t t) const {
        const std::int32_t f = floors_[static_cast<std::size_t>(t >> (53 - kBits))];
        if (f != kMixed) [[likely]]
            return f;
        return floorScaledCos(scale_, fromTicks(t) * 2.0 * pi_);
    }

    std::int32_t operator()(double u) const {
        if (u >= 0.0 && u < 1.0) [[likely]] {
            const std::int32_t f =
                floors_[static_cast<std::size_t>(static_cast<int>(u * kBuckets))];
            if (f != kMixed) [[likely]]
                return f;
        }
        return floorScaledCos(scale_, u * 2.0 * pi_);
    }

  private:
    static constexpr std::int16_t kMixed = INT16_MIN;
    double scale_, pi_;
    std::array<std::int16_t, kBuckets> floors_;  // 128 KB
};

}  // namespace dla::trig
