// Correctly rounded sine, cosine, arcsine and two-argument arctangent: each
// returns the double nearest to the exact value (ties to even), so results
// are the same bits on every platform and compiler that rounds + - * / and
// sqrt of doubles as IEEE 754 requires (SSE2 on 32-bit x86, no contraction
// into fused multiply-adds).  Each first evaluates in double-double with a
// proven error bound and, when that bound straddles a rounding boundary
// (about one call in 50,000 for random arguments), evaluates again in fixed
// point of growing precision until the rounding is decided.
#pragma once

#include <cstdint>

namespace spindle {

// sin(x), correctly rounded for every |x| < 2^20 (subnormals included);
// sin(±0) = ±0; NaN for ±inf and NaN.  For finite |x| >= 2^20 it returns
// std::sin(x), which is neither guaranteed correctly rounded nor the same
// on every platform (the module's angles lie within [-pi, pi]).
double exactSin(double x);
// cos(x), correctly rounded for every |x| < 2^20; cos(±0) = 1; NaN for
// ±inf and NaN.  For finite |x| >= 2^20 it returns std::cos(x).
double exactCos(double x);
// asin(x), correctly rounded for every x in [-1, 1]; asin(±0) = ±0,
// asin(±1) = ±pi/2 rounded; a positive quiet NaN for |x| > 1; NaN for NaN.
double exactAsin(double x);
// atan2(y, x), correctly rounded for every pair of doubles, subnormal
// results included, with C's rules for zeros and infinities: atan2(±0, +0)
// and atan2(±0, x > 0) = ±0; atan2(±0, -0) and atan2(±0, x < 0) = ±pi;
// atan2(y != 0, ±0) = ±pi/2; atan2(±inf, ±inf) = ±pi/4 or ±3pi/4;
// atan2(finite y, +inf) = ±0 and (finite y, -inf) = ±pi; NaN for NaN.
double exactAtan2(double y, double x);

// How often the fixed-point evaluation ran since the program started, and
// how often even its highest precision (736 bits) left the rounding open,
// when the nearest double at that precision was returned.  For the accuracy
// checks; undecided has never been seen above zero.
struct ExactMathCounts {
    uint64_t slowPath = 0;
    uint64_t undecided = 0;
};
extern ExactMathCounts exactMathCounts;

} // namespace spindle
