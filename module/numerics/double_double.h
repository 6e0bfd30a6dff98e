// Double-double arithmetic for the correctly rounded functions: a value
// as an unevaluated sum hi + lo of two doubles, the exact sums and products
// it is built from, and the rounding test of a value with an error bound.
// Every operation here needs each + - * / rounded to a double on its own:
// compile without contraction into fused multiply-adds and, on 32-bit x86,
// with SSE2 doubles.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

namespace spindle::numerics {

struct DD {
    double hi, lo;
};

// s + e = a + b exactly.
inline DD twoSum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

// s + e = a + b exactly, provided |a| >= |b| or a = 0.
inline DD fastTwoSum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

// hi + lo = a, each with at most 26 significant bits (|a| < 2^995).
inline DD split(double a) {
    const double c = 134217729.0 * a; // 2^27 + 1
    const double hi = c - (c - a);
    return {hi, a - hi};
}

// p + e = a * b exactly, barring overflow and underflow (Dekker).
inline DD twoProd(double a, double b) {
    const double p = a * b;
    const DD x = split(a);
    const DD y = split(b);
    return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

// a / b, relative error below 2^-100.
inline DD divide(DD a, DD b) {
    const double q = a.hi / b.hi;
    const DD m = twoProd(q, b.hi);
    return fastTwoSum(q, (((a.hi - m.hi) - m.lo) + a.lo - q * b.lo) / b.hi);
}

// 2^e for -1022 <= e <= 1023.
inline double pow2(int e) { return std::bit_cast<double>(static_cast<uint64_t>(e + 1023) << 52); }

// A double-double value h + lo and a bound on its distance from the exact one.
struct Approx {
    double hi, lo, err;
};

// The double that every value within err of hi + lo rounds to, in out; false
// when they do not all round to one.  |lo| <= ulp(hi).  The small extra
// margin covers the rounding of lo +- err.
inline bool decide(const Approx &a, double &out) {
    const double e = a.err + 0x1p-104 * std::fabs(a.hi);
    const double below = a.hi + (a.lo - e);
    const double above = a.hi + (a.lo + e);
    out = below;
    return below == above;
}

} // namespace spindle::numerics
