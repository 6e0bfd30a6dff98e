// Correctly rounded arcsine (see exact_math.h).
#include "module/numerics/arctangent.h"
#include "module/numerics/exact_math.h"
#include "module/numerics/tables.inc"

#include <bit>
#include <cmath>

namespace spindle {
namespace numerics {
namespace {

// sqrt(1 - x^2) for 0 <= x < 1, relative error below 2^-100.
DD sqrtOneMinusSquare(double x) {
    DD s;
    if (x >= 0.5) {
        // 1 - x is exact; (1 + x) exact as a sum
        const double a = 1.0 - x;
        const DD b = fastTwoSum(1.0, x);
        const DD p = twoProd(a, b.hi);
        s = fastTwoSum(p.hi, p.lo + a * b.lo);
    } else {
        const DD p = twoProd(x, x);
        const DD d = fastTwoSum(1.0, -p.hi);
        s = fastTwoSum(d.hi, d.lo - p.lo);
    }
    const double c = std::sqrt(s.hi);
    const DD m = twoProd(c, c);
    return fastTwoSum(c, (((s.hi - m.hi) - m.lo) + s.lo) / (2.0 * c));
}

// asin(x) for 2^-26 <= x < 1: atan(x / sqrt(1 - x^2)), or pi/2 less the
// arctangent of the inverse ratio when x > sqrt(1 - x^2).
Approx asinFast(double x) {
    const DD c = sqrtOneMinusSquare(x);
    if (x <= c.hi)
        return atanFast({x, 0.0}, c);
    return offsetAngle(kPio2, true, atanFast(c, {x, 0.0}));
}

// sqrt(s) for 0 < s <= 1 by Newton's steps from c (within relative 2^-50),
// in place; returns the error bound in ulps.  The last step leaves the
// square's truncation over 2c and two more ulps.
uint64_t refineSqrt(const Fixed &s, int n, Fixed &c) {
    for (int iteration = 0; iteration < 16; ++iteration) {
        const DD cd = toDD(c, n);
        const DD d = divide(toDD(subtract(s, multiply(c, c, n), n), n), DD{2.0 * cd.hi, 2.0 * cd.lo});
        c = add(add(c, toFixed(d.hi, n), n), toFixed(d.lo, n), n);
        if (std::fabs(d.hi) <= cd.hi * pow2(50 - 32 * (n - 1)))
            return static_cast<uint64_t>(1.0 / cd.hi) + 4;
    }
    return static_cast<uint64_t>(1.0 / toDD(c, n).hi) + 4;
}

// asin(x) for 2^-26 <= |x| < 1: the angle of (sqrt(1 - x^2), |x|).
double slowAsin(double x, const Approx &start, int first = 0) {
    const double ax = std::fabs(x);
    Fixed theta = fromApprox(start);
    const DD c0 = sqrtOneMinusSquare(ax);
    Fixed c = add(toFixed(c0.hi, kLevels[0]), toFixed(c0.lo, kLevels[0]), kLevels[0]);
    return decideAtGrowingPrecision(first, [&](int n, Fixed &value) {
        // 1 - x^2 = (1 - x)(1 + x) exactly: x has no bit below 2^-78
        const Fixed one = toFixed(1.0, n);
        const Fixed y = toFixed(ax, n);
        const Fixed s = multiply(subtract(one, y, n), add(one, y, n), n);
        const uint64_t cErr = refineSqrt(s, n, c);
        const uint64_t err = refineAngle(y, c, cErr, n, theta);
        value = x < 0.0 ? negated(theta) : theta;
        return err;
    });
}

} // namespace
} // namespace numerics

using namespace numerics;

double exactAsin(double x) {
    const double ax = std::fabs(x);
    if (!(ax < 1.0)) {
        if (ax == 1.0)
            return x > 0.0 ? kPio2.hi : -kPio2.hi;
        // NaN itself, or a positive quiet NaN as glibc gives for |x| > 1
        return x != x ? x + x : std::bit_cast<double>(uint64_t{0x7ff8000000000000});
    }
    // asin x = x + x^3/6...: within half an ulp of x below 2^-26
    if (ax < 0x1p-26)
        return x;
    Approx a = asinFast(ax);
    double out;
    if (decide(a, out))
        return x < 0.0 ? -out : out;
    return slowAsin(x, a);
}

} // namespace spindle
