// Fixed-point arithmetic for the slow paths (see fixed_point.h).
#include "module/numerics/fixed_point.h"

#include "module/numerics/exact_math.h"

#include <bit>
#include <cmath>

namespace spindle {

ExactMathCounts exactMathCounts;

namespace numerics {

// x exactly when |x| < 2^32 and x has no bit below the last word, else
// truncated toward zero (error below 1 ulp).
Fixed toFixed(double x, int n) {
    Fixed r;
    r.negative = x < 0.0;
    double a = std::fabs(x);
    r.w[0] = static_cast<uint32_t>(a);
    a -= r.w[0];
    for (int k = 1; k < n && a != 0.0; ++k) {
        a *= 0x1p32;
        r.w[k] = static_cast<uint32_t>(a);
        a -= r.w[k];
    }
    return r;
}

int compareMagnitude(const Fixed &a, const Fixed &b, int n) {
    for (int k = 0; k < n; ++k)
        if (a.w[k] != b.w[k])
            return a.w[k] < b.w[k] ? -1 : 1;
    return 0;
}

// a + b, exact (the integer part must not overflow).
Fixed add(const Fixed &a, const Fixed &b, int n) {
    Fixed r;
    if (a.negative == b.negative) {
        uint64_t carry = 0;
        for (int k = n - 1; k >= 0; --k) {
            carry += static_cast<uint64_t>(a.w[k]) + b.w[k];
            r.w[k] = static_cast<uint32_t>(carry);
            carry >>= 32;
        }
        r.negative = a.negative;
        return r;
    }
    const bool aLarger = compareMagnitude(a, b, n) >= 0;
    const Fixed &big = aLarger ? a : b;
    const Fixed &little = aLarger ? b : a;
    uint64_t borrow = 0;
    for (int k = n - 1; k >= 0; --k) {
        const uint64_t d = static_cast<uint64_t>(big.w[k]) - little.w[k] - borrow;
        r.w[k] = static_cast<uint32_t>(d);
        borrow = d >> 63;
    }
    r.negative = big.negative;
    return r;
}

Fixed negated(Fixed a) {
    a.negative = !a.negative;
    return a;
}

Fixed subtract(const Fixed &a, const Fixed &b, int n) { return add(a, negated(b), n); }

// a * b truncated toward zero (error below 1 ulp); |a|, |b| < 2^16.
Fixed multiply(const Fixed &a, const Fixed &b, int n) {
    uint64_t acc[2 * kWords] = {};
    for (int i = 0; i < n; ++i) {
        if (a.w[i] == 0)
            continue;
        for (int j = 0; j < n; ++j) {
            const uint64_t p = static_cast<uint64_t>(a.w[i]) * b.w[j];
            acc[i + j] += p & 0xffffffffu;
            if (i + j > 0)
                acc[i + j - 1] += p >> 32;
        }
    }
    for (int k = 2 * n - 1; k > 0; --k) {
        acc[k - 1] += acc[k] >> 32;
        acc[k] &= 0xffffffffu;
    }
    Fixed r;
    for (int k = 0; k < n; ++k)
        r.w[k] = static_cast<uint32_t>(acc[k]);
    r.negative = a.negative != b.negative;
    return r;
}

// a / d truncated toward zero (error below 1 ulp).
Fixed divide(const Fixed &a, uint32_t d, int n) {
    Fixed r;
    uint64_t rest = 0;
    for (int k = 0; k < n; ++k) {
        const uint64_t cur = (rest << 32) | a.w[k];
        r.w[k] = static_cast<uint32_t>(cur / d);
        rest = cur % d;
    }
    r.negative = a.negative;
    return r;
}

bool isZero(const Fixed &a, int n) {
    for (int k = 0; k < n; ++k)
        if (a.w[k] != 0)
            return false;
    return true;
}

// a as a double-double, relative error below 2^-110.
DD toDD(const Fixed &a, int n) {
    int k0 = 0;
    while (k0 < n && a.w[k0] == 0)
        ++k0;
    if (k0 == n)
        return {0.0, 0.0};
    double part[4] = {};
    for (int k = 0; k < 4 && k0 + k < n; ++k)
        part[k] = a.w[k0 + k] * pow2(-32 * (k0 + k));
    const DD s = twoSum(part[0], part[1]);
    DD r = fastTwoSum(s.hi, s.lo + (part[2] + part[3]));
    if (a.negative)
        r = {-r.hi, -r.lo};
    return r;
}

// The double nearest to a (ties to even); |a| must be 0 or at least 2^-900.
double roundToDouble(const Fixed &a, int n) {
    int k0 = 0;
    while (k0 < n && a.w[k0] == 0)
        ++k0;
    if (k0 == n)
        return 0.0;
    auto word = [&](int k) -> uint64_t { return k < n ? a.w[k] : 0u; };
    const int lz = std::countl_zero(a.w[k0]);
    uint64_t top = (word(k0) << 32) | word(k0 + 1);
    bool sticky = false;
    if (lz > 0) {
        top = (top << lz) | (word(k0 + 2) >> (32 - lz));
        sticky = (word(k0 + 2) & ((uint64_t{1} << (32 - lz)) - 1)) != 0;
    } else {
        sticky = word(k0 + 2) != 0;
    }
    for (int k = k0 + 3; k < n && !sticky; ++k)
        sticky = a.w[k] != 0;
    uint64_t mant = top >> 11;
    const uint64_t rest = top & 0x7ff;
    if (rest > 0x400 || (rest == 0x400 && (sticky || (mant & 1) != 0)))
        ++mant;
    // the leading bit of top weighs 2^(31 - lz - 32 k0)
    const double r = static_cast<double>(mant) * pow2(31 - lz - 32 * k0 - 63 + 11);
    return a.negative ? -r : r;
}

// The double that every value within err ulps of a rounds to, in out;
// false when they do not all round to one.
bool decideFixed(const Fixed &a, uint64_t err, int n, double &out) {
    Fixed e;
    e.w[n - 1] = static_cast<uint32_t>(err);
    e.w[n - 2] = static_cast<uint32_t>(err >> 32);
    const double below = roundToDouble(subtract(a, e, n), n);
    const double above = roundToDouble(add(a, e, n), n);
    out = roundToDouble(a, n);
    return below == above;
}

} // namespace numerics
} // namespace spindle
