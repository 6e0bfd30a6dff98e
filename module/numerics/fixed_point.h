// Signed fixed-point numbers of up to 24 32-bit words for the slow paths of
// the correctly rounded functions: exact sums, truncated products and
// quotients, and the rounding of a value known within some ulps.
#pragma once

#include "module/numerics/double_double.h"
#include "module/numerics/exact_math.h"

#include <cstdint>

namespace spindle::numerics {

// A signed fixed-point number of n words (n <= kWords): word 0 is the
// integer part, word k weighs 2^(-32k).  "ulp" below is 2^(-32(n-1)).
constexpr int kWords = 24;
struct Fixed {
    uint32_t w[kWords] = {};
    bool negative = false;
};

// The precisions (in words) the slow paths try in turn, lowest first.
constexpr int kLevels[] = {6, 9, 14, kWords};
constexpr int kLevelCount = 4;

// x exactly when |x| < 2^32 and x has no bit below the last word, else
// truncated toward zero (error below 1 ulp).
Fixed toFixed(double x, int n);
// -1, 0 or 1 as |a| is below, equal to or above |b| (first n words).
int compareMagnitude(const Fixed &a, const Fixed &b, int n);
// a + b and a - b, exact (the integer part must not overflow).
Fixed add(const Fixed &a, const Fixed &b, int n);
Fixed subtract(const Fixed &a, const Fixed &b, int n);
// -a.
Fixed negated(Fixed a);
// a * b truncated toward zero (error below 1 ulp); |a|, |b| < 2^16.
Fixed multiply(const Fixed &a, const Fixed &b, int n);
// a / d truncated toward zero (error below 1 ulp).
Fixed divide(const Fixed &a, uint32_t d, int n);
// Whether the first n words of a are all zero.
bool isZero(const Fixed &a, int n);
// a as a double-double, relative error below 2^-110.
DD toDD(const Fixed &a, int n);
// The double nearest to a (ties to even); |a| must be 0 or at least 2^-900.
double roundToDouble(const Fixed &a, int n);
// The double that every value within err ulps of a rounds to, in out;
// false when they do not all round to one.
bool decideFixed(const Fixed &a, uint64_t err, int n, double &out);

// The slow paths' loop: from kLevels[first] on, `evaluate(n, value)` sets
// `value` at n words and returns its error bound in ulps, until every value
// within the bound rounds to one double, which is returned; the highest
// precision's nearest double if none decides.  Counts the call, and an
// undecided one, in exactMathCounts.
template <typename Evaluate>
double decideAtGrowingPrecision(int first, Evaluate evaluate) {
    ++exactMathCounts.slowPath;
    double out = 0.0;
    for (int level = first; level < kLevelCount; ++level) {
        const int n = kLevels[level];
        Fixed value;
        const uint64_t err = evaluate(n, value);
        if (decideFixed(value, err, n, out))
            return out;
    }
    ++exactMathCounts.undecided;
    return out;
}

} // namespace spindle::numerics
