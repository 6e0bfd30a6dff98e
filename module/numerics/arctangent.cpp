// The arctangent shared by asin and atan2 (see arctangent.h).
#include "module/numerics/arctangent.h"

#include "module/numerics/sin_cos.h"
#include "module/numerics/tables.inc"

#include <cmath>

namespace spindle::numerics {

// atan(u / v) for 0 <= u <= v (up to rounding), v in [1/2, 2] and u / v at
// least 2^-57, u and v double-doubles with relative error below 2^-100.
//
// With t_j = j/64 the nearest table point, atan(u/v) = atan(t_j) + atan(w),
// w = (u - t_j v) / (v + t_j u), |w| <= 1/128 + tiny: the products t_j v and
// t_j u are exact, the quotient good to 2^-100.  atan(w) - w ~ -w^3/3 is
// the only part summed in double with a relative error of a few ulps, hence
// the bound 2^-70 |atan| + 2^-50 |w|^3.
Approx atanFast(DD u, DD v) {
    const int j = static_cast<int>((u.hi / v.hi) * 64.0 + 0.5);
    DD num = u;
    DD den = v;
    if (j != 0) {
        const double tj = j * 0x1p-6;
        const DD pv = twoProd(tj, v.hi);
        const DD n1 = twoSum(u.hi, -pv.hi);
        num = twoSum(n1.hi, n1.lo + ((u.lo - pv.lo) - tj * v.lo));
        const DD pu = twoProd(tj, u.hi);
        const DD d1 = twoSum(v.hi, pu.hi);
        den = fastTwoSum(d1.hi, d1.lo + ((v.lo + pu.lo) + tj * u.lo));
    }
    const DD w = divide(num, den);
    const double w2 = w.hi * w.hi;
    const double pa = w2 *
        (-0x1.5555555555555p-2 +
         w2 *
             (0x1.999999999999ap-3 +
              w2 * (-0x1.2492492492492p-3 + w2 * (0x1.c71c71c71c71cp-4 - w2 * 0x1.745d1745d1746p-4))));
    const DD base = kAtanTable[j];
    const DD a = twoSum(base.hi, w.hi);
    const DD f = fastTwoSum(a.hi, a.lo + (base.lo + w.lo) + (w.hi * pa - w2 * w.lo));
    const double aw = std::fabs(w.hi);
    return {f.hi, f.lo, 0x1p-70 * std::fabs(f.hi) + 0x1p-50 * (aw * aw * aw)};
}

// c + s * a for c = 0, pi/2 or pi and s = +-1; the sum's own error is below
// 2^-102 of it.
Approx offsetAngle(const DD &c, bool subtract, const Approx &a) {
    const double h = subtract ? -a.hi : a.hi;
    const double l = subtract ? -a.lo : a.lo;
    const DD s = twoSum(c.hi, h);
    const DD f = fastTwoSum(s.hi, s.lo + (c.lo + l));
    return {f.hi, f.lo, a.err + 0x1p-102 * std::fabs(f.hi)};
}

// Refines theta to the angle of the point (x, y) with y >= 0 and
// max(|x|, y) >= 1, x off by at most xErr ulps, y exact; returns the error
// bound of theta in ulps.
//
// With sin and cos of the current theta, N = y cos - x sin and
// D = y sin + x cos are rho sin(phi - theta) and rho cos(phi - theta), so
// phi = theta + atan(N/D) exactly; adding q = N/D (in double-double) leaves
// an error of |q|^3/3 + 2^-100 |q|, negligible once |q| < 2^(100 - 32(n-1))
// for n >= 6, besides the errors of N and D over D >= 1.
uint64_t refineAngle(const Fixed &y, const Fixed &x, uint64_t xErr, int n, Fixed &theta) {
    uint64_t err = 0;
    for (int iteration = 0; iteration < 16; ++iteration) {
        Fixed s, c;
        const uint64_t scErr = sinCos(theta, n, s, c);
        const Fixed num = subtract(multiply(y, c, n), multiply(x, s, n), n);
        const Fixed den = add(multiply(y, s, n), multiply(x, c, n), n);
        const DD q = divide(toDD(num, n), toDD(den, n));
        theta = add(add(theta, toFixed(q.hi, n), n), toFixed(q.lo, n), n);
        // |x|, |y| < 2: N and D are each off by 4 scErr + xErr + 2 ulps
        err = 2 * (4 * scErr + xErr + 2) + 4;
        if (std::fabs(q.hi) < pow2(100 - 32 * (n - 1)))
            break;
    }
    return err;
}

// start as a fixed-point number.
Fixed fromApprox(const Approx &start) {
    const int n = kLevels[0];
    return add(toFixed(start.hi, n), toFixed(start.lo, n), n);
}

} // namespace spindle::numerics
