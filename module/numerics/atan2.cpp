// Correctly rounded two-argument arctangent (see exact_math.h).
#include "module/numerics/arctangent.h"
#include "module/numerics/exact_math.h"
#include "module/numerics/tables.inc"

#include <bit>
#include <cmath>

namespace spindle {
namespace numerics {
namespace {

// atan2 of a point with coordinates a = |y| and b = |x| (finite, nonzero,
// neither below 2^-55 of the other): the angle in (0, pi).  Both are scaled
// by one power of two (exactly: the smaller stays normal) so that the larger
// is in [1, 2), returned in ys and xs (as |y| and |x|).  The angle is
// atan(small/large) from pi/2 (steep) and pi (x < 0).
Approx atan2Fast(double a, double b, bool xNegative, double &ys, double &xs) {
    double scale = 1.0;
    const double larger = a > b ? a : b;
    if (larger >= 0x1p512)
        scale = 0x1p-600;
    else if (larger < 0x1p-512)
        scale = 0x1p600;
    a *= scale;
    b *= scale;
    const int e = static_cast<int>(std::bit_cast<uint64_t>(larger * scale) >> 52) - 1023;
    const double unit = pow2(-e);
    ys = a * unit;
    xs = b * unit;
    if (ys > xs) {
        // pi/2 - atan(x/y) for x > 0, pi/2 + atan(x/y) for x < 0
        return offsetAngle(kPio2, !xNegative, atanFast({xs, 0.0}, {ys, 0.0}));
    }
    const Approx base = atanFast({ys, 0.0}, {xs, 0.0});
    return xNegative ? offsetAngle(kPi, true, base) : base;
}

// The angle of (x, y), y >= 0, max(|x|, y) in [1, 2), from the estimate
// start; negative gives the result's sign.
double slowAngle(double y, double x, const Approx &start, bool negative, int first = 0) {
    Fixed theta = fromApprox(start);
    return decideAtGrowingPrecision(first, [&](int n, Fixed &value) {
        const uint64_t err = refineAngle(toFixed(y, n), toFixed(x, n), 0, n, theta);
        value = negative ? negated(theta) : theta;
        return err;
    });
}

// The correctly rounded atan(a / b) for 0 < a / b < 2^-55: the quotient
// itself, as no rounding boundary lies between a / b and atan(a / b) (the
// distance from a/b to a boundary is at least 2^-107 a/b unless zero) -
// except when a / b is exactly halfway between two subnormals, where the
// smaller one is the answer.
double tinyQuotient(double a, double b) {
    const double q = a / b;
    if (!(q <= 0x1p-1021))
        return q;
    auto odd = [](double v, int &exponent) {
        const uint64_t bits = std::bit_cast<uint64_t>(v);
        const int field = static_cast<int>(bits >> 52);
        uint64_t m = bits & ((uint64_t{1} << 52) - 1);
        exponent = field == 0 ? -1074 : field - 1075;
        if (field != 0)
            m |= uint64_t{1} << 52;
        const int tz = std::countr_zero(m);
        exponent += tz;
        return m >> tz;
    };
    int ea = 0, eb = 0;
    const uint64_t ma = odd(a, ea);
    const uint64_t mb = odd(b, eb);
    // a / b = (ma / mb) 2^(ea - eb): a midpoint m 2^-1075 with m odd
    if (ea - eb != -1075 || ma % mb != 0)
        return q;
    return std::bit_cast<double>((ma / mb - 1) / 2);
}

} // namespace
} // namespace numerics

using namespace numerics;

double exactAtan2(double y, double x) {
    if (x != x || y != y)
        return x + y;
    const bool yNegative = std::signbit(y);
    const bool xNegative = std::signbit(x);
    const double a = std::fabs(y);
    const double b = std::fabs(x);
    auto sign = [&](double v) { return yNegative ? -v : v; };
    if (a == 0.0)
        return xNegative ? sign(kPi.hi) : y;
    if (b == 0.0)
        return sign(kPio2.hi);
    if (std::isinf(a) || std::isinf(b)) {
        if (a != b)
            return std::isinf(a) ? sign(kPio2.hi) : (xNegative ? sign(kPi.hi) : sign(0.0));
        return sign(xNegative ? 0x1.2d97c7f3321d2p+1 : 0x1.921fb54442d18p-1);
    }
    const bool steep = a > b;
    if ((steep ? b / a : a / b) < 0x1p-55) {
        if (steep)
            return sign(kPio2.hi);
        return xNegative ? sign(kPi.hi) : sign(tinyQuotient(a, b));
    }
    double ys, xs;
    const Approx angle = atan2Fast(a, b, xNegative, ys, xs);
    double out;
    if (decide(angle, out))
        return sign(out);
    return slowAngle(ys, xNegative ? -xs : xs, angle, yNegative);
}

} // namespace spindle
