// Correctly rounded sine, cosine, arcsine and two-argument arctangent: each
// returns the double nearest to the exact value (ties to even), so results
// are the same bits on every platform and compiler that rounds + - * / and
// sqrt of doubles as IEEE 754 requires (SSE2 on 32-bit x86, no contraction
// into fused multiply-adds).  Each first evaluates in double-double with a
// proven error bound and, in the rare case that the bound straddles a
// rounding boundary, redoes the evaluation in fixed point of growing
// precision until the rounding is decided.
#pragma once

#include <cstdint>

namespace spindle {

// sin(x), correctly rounded for every |x| < 2^20; sin(±0) = ±0, NaN for
// ±inf and NaN.  Beyond 2^20 it returns std::sin(x), which is not
// guaranteed correctly rounded (the module's angles are within [-pi, pi]).
double exactSin(double x);
// cos(x), correctly rounded for every |x| < 2^20; cos(±0) = 1, NaN for ±inf
// and NaN.  Beyond 2^20 it returns std::cos(x).
double exactCos(double x);
// asin(x), correctly rounded for every x in [-1, 1]; asin(±0) = ±0, NaN
// for |x| > 1 and NaN.
double exactAsin(double x);
// atan2(y, x), correctly rounded for all finite and infinite arguments,
// subnormal results included, with C's quadrant and signed-zero rules:
// atan2(±0, +0) = ±0, atan2(±0, -0) = ±pi, atan2(±y, ±inf) as C defines,
// NaN when either argument is NaN.
double exactAtan2(double y, double x);

// How often the fixed-point evaluation was needed since the program
// started, and how often even its highest precision left the rounding open
// (the nearest double at that precision was returned then).  For the
// accuracy checks; neither is expected above zero outside them.
struct ExactMathCounts {
    uint64_t slowPath = 0;
    uint64_t undecided = 0;
};
extern ExactMathCounts exactMathCounts;

} // namespace spindle
