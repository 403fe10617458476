// Fractions made whole the way the rest of the program's numbers are: to the nearest, halves to
// even, and a value that does not fit is an overflow error rather than a wrapped number.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "core/RuntimeError.h"

// Nothing when the rounded value does not fit (or is not a number).
template <typename Whole>
std::optional<Whole> TryRoundToWhole(double v) {
    const double r = std::nearbyint(v);
    if (!(r >= std::numeric_limits<Whole>::min() && r <= std::numeric_limits<Whole>::max())) {
        return std::nullopt;
    }
    return static_cast<Whole>(r);
}

template <typename Whole>
Whole RoundToWhole(double v) {
    const std::optional<Whole> r = TryRoundToWhole<Whole>(v);
    if (!r) throw RuntimeError(rt::Overflow);
    return *r;
}

inline int16_t RoundToInteger(double v) {
    return RoundToWhole<int16_t>(v);
}

inline int32_t RoundToLong(double v) {
    return RoundToWhole<int32_t>(v);
}
