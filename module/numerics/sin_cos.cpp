// Correctly rounded sine and cosine (see exact_math.h): a double-double
// evaluation with an error bound, and fixed point at growing precision when
// that bound leaves the rounding open.
#include "module/numerics/sin_cos.h"

#include "module/numerics/exact_math.h"
#include "module/numerics/tables.inc"

#include <cmath>

namespace spindle {
namespace numerics {

// sin a and cos a for |a| < 2^20; returns a bound on the error of both in ulps.
//
// a = r + k pi/2 with k pi/2 from n + 1 words of pi/2 (error below 2 ulps),
// |r| <= pi/4 + tiny, then t_m = r^m/m! from t_(m+1) = t_m r / (m + 1), each
// off by at most 4 ulps (two truncations plus the inherited errors times
// |r|/(m+1) < 0.8), until a term vanishes: then the rest is below 6 ulps.
uint64_t sinCos(const Fixed &a, int n, Fixed &sine, Fixed &cosine) {
    const double kd = (toDD(a, n).hi * kTwoOverPi + 0x1.8p52) - 0x1.8p52;
    const int64_t k = static_cast<int64_t>(kd);
    const uint32_t ak = static_cast<uint32_t>(k < 0 ? -k : k);
    Fixed kp;
    uint64_t carry = 0;
    for (int i = n; i >= 0; --i) {
        carry += static_cast<uint64_t>(kPio2Words[i]) * ak;
        if (i < n)
            kp.w[i] = static_cast<uint32_t>(carry);
        carry >>= 32;
    }
    kp.negative = k < 0;
    const Fixed r = subtract(a, kp, n);
    Fixed s = r;
    Fixed c = toFixed(1.0, n);
    Fixed t = r;
    int terms = 2;
    for (uint32_t m = 2;; ++m) {
        t = divide(multiply(t, r, n), m, n);
        if (isZero(t, n))
            break;
        ++terms;
        // m = 2, 3, 4, 5, ... gives -, -, +, + on cos, sin, cos, sin
        Fixed &sum = (m & 1) != 0 ? s : c;
        sum = (m & 2) != 0 ? subtract(sum, t, n) : add(sum, t, n);
    }
    switch (k & 3) {
    case 0:
        sine = s;
        cosine = c;
        break;
    case 1:
        sine = c;
        cosine = negated(s);
        break;
    case 2:
        sine = negated(s);
        cosine = negated(c);
        break;
    default:
        sine = negated(c);
        cosine = s;
        break;
    }
    return 4 * static_cast<uint64_t>(terms) + 8;
}

namespace {

// sin(x) (cosine false) or cos(x) (cosine true) for 2^-27 <= |x| < 2^20.
//
// x = r + k pi/2 with k the integer nearest x * 2/pi: kd P1 is exact (k has
// at most 20 bits, P1 32), so is x - kd P1 (both are multiples of the
// smaller ulp and the difference is below 1); the other parts are taken off
// with exact sums, so r = rh + rl is off by at most 2^-102 |r| + 2^-144 |k|.
// Then |r| = i/64 + z with |z| <= 1/128 + tiny, and
//   sin(i/64 + z) = S + C z + S (cos z - 1) + C (sin z - z),
//   cos(i/64 + z) = C - S z + C (cos z - 1) - S (sin z - z),
// with S, C = sin, cos(i/64) from the table (relative error 2^-106).  The
// products C z and S z^2 and z^2 itself are exact; what is left is below
// 2^-23 and summed in double, smallest first: rounding errors below 2^-70
// of the result except in the evaluation of sin z - z ~ z^3/6 (relative
// error below 8 ulps), hence the bound 2^-70 |f| + 2^-50 |z|^3 + reduction.
Approx sinCosFast(double x, bool cosine) {
    double rh = x, rl = 0.0, err = 0.0;
    int quadrant = 0;
    if (!(std::fabs(x) <= 0x1.921fb54442d18p-1)) {
        const double kd = (x * kTwoOverPi + 0x1.8p52) - 0x1.8p52;
        const double t = x - kd * kPio2Part1;
        const DD s1 = twoSum(t, -kd * kPio2Part2);
        const DD s2 = twoSum(s1.hi, -kd * kPio2Part3);
        const DD r = twoSum(s2.hi, (s1.lo + s2.lo) - kd * kPio2Part4);
        rh = r.hi;
        rl = r.lo;
        err = 0x1p-102 * std::fabs(rh) + 0x1p-144 * std::fabs(kd);
        quadrant = static_cast<int>(static_cast<int64_t>(kd) & 3);
    }
    // f(x) = sin(r + n pi/2): n = 1 is cos r, n = 2 is -sin r, n = 3 is -cos r.
    const int n = quadrant + (cosine ? 1 : 0);
    const bool wantCos = (n & 1) != 0;
    const bool rNegative = rh < 0.0;
    const double ar = std::fabs(rh);
    const double zl = rNegative ? -rl : rl;
    int i = static_cast<int>(ar * 64.0 + 0.5);
    // ar * 64 + 0.5 rounds up to 1 just below ar = 1/128, where ar - 1/64
    // would not be exact; elsewhere i/128 <= ar <= i/32 makes it exact
    if (i == 1 && ar < 0x1p-7)
        i = 0;
    const double zh = ar - i * 0x1p-6;
    const DD z2 = twoProd(zh, zh);
    // sin z - z and cos z - 1 + z^2/2, less their parts in zl
    const double z2h = z2.hi;
    const double ps = z2h *
        (-0x1.5555555555555p-3 +
         z2h * (0x1.1111111111111p-7 + z2h * (-0x1.a01a01a01a01ap-13 + z2h * 0x1.71de3a556c734p-19)));
    const double sinTail = zh * ps - 0.5 * z2h * zl;
    const double pc4 =
        z2h * z2h * (0x1.5555555555555p-5 + z2h * (-0x1.6c16c16c16c17p-10 + z2h * 0x1.a01a01a01a01ap-16));
    DD f;
    if (i == 0) {
        if (!wantCos) {
            f = fastTwoSum(zh, zl + sinTail);
        } else {
            const DD a = fastTwoSum(1.0, -0.5 * z2h);
            f = fastTwoSum(a.hi, a.lo + ((pc4 - (0.5 * z2.lo + zh * zl))));
        }
    } else {
        const DD s = kSinTable[i][0];
        const DD c = kSinTable[i][1];
        // sin: base S, slope C, curvature S; cos: base C, slope -S, curvature C
        const DD base = wantCos ? c : s;
        const DD slope = wantCos ? DD{-s.hi, -s.lo} : c;
        const DD p = twoProd(slope.hi, zh);
        const DD q = twoProd(base.hi, z2h);
        const DD a = twoSum(base.hi, p.hi);
        const DD b = twoSum(a.hi, -0.5 * q.hi);
        double small = (base.lo + p.lo) + (slope.lo * zh + slope.hi * zl);
        small -= 0.5 * q.lo + base.hi * (0.5 * z2.lo + zh * zl) + 0.5 * base.lo * z2h;
        small += a.lo + b.lo;
        small += base.hi * pc4;
        small += slope.hi * sinTail;
        f = fastTwoSum(b.hi, small);
    }
    const bool negate = ((n & 2) != 0) != (!wantCos && rNegative);
    const double az = std::fabs(zh);
    err += 0x1p-70 * std::fabs(f.hi) + 0x1p-50 * (az * az * az);
    return negate ? Approx{-f.hi, -f.lo, err} : Approx{f.hi, f.lo, err};
}

// The slow path: fixed point at growing precision until decided, from
// kLevels[first] on (the checker starts higher to test every level).
double slowSinCos(double x, bool cosine, int first = 0) {
    return decideAtGrowingPrecision(first, [&](int n, Fixed &value) {
        Fixed s, c;
        const uint64_t err = sinCos(toFixed(x, n), n, s, c);
        value = cosine ? c : s;
        return err;
    });
}

} // namespace
} // namespace numerics

using namespace numerics;

double exactSin(double x) {
    const double ax = std::fabs(x);
    if (!(ax < 0x1p20))
        return std::isfinite(x) ? std::sin(x) : x - x;
    // sin x = x - x^3/6...: within half an ulp of x below 2^-26
    if (ax < 0x1p-26)
        return x;
    const Approx a = sinCosFast(x, false);
    double out;
    return decide(a, out) ? out : slowSinCos(x, false);
}

double exactCos(double x) {
    const double ax = std::fabs(x);
    if (!(ax < 0x1p20))
        return std::isfinite(x) ? std::cos(x) : x - x;
    // cos x = 1 - x^2/2...: within half an ulp of 1 below 2^-27
    if (ax < 0x1p-27)
        return 1.0;
    const Approx a = sinCosFast(x, true);
    double out;
    return decide(a, out) ? out : slowSinCos(x, true);
}

} // namespace spindle
