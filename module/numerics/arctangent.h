// The arctangent that asin and atan2 share: atan(u / v) in double-double,
// the placing of an angle beside 0, pi/2 or pi, and the refinement of an
// angle in fixed point.
#pragma once

#include "module/numerics/double_double.h"
#include "module/numerics/fixed_point.h"

#include <cstdint>

namespace spindle::numerics {

// atan(u / v) for 0 <= u <= v (up to rounding), v in [1/2, 2] and u / v at
// least 2^-57, u and v double-doubles with relative error below 2^-100.
Approx atanFast(DD u, DD v);
// c + s * a for c = 0, pi/2 or pi and s = +-1 (subtract: s = -1).
Approx offsetAngle(const DD &c, bool subtract, const Approx &a);
// Refines theta to the angle of the point (x, y) with y >= 0 and
// max(|x|, y) >= 1, x off by at most xErr ulps, y exact; returns the error
// bound of theta in ulps.
uint64_t refineAngle(const Fixed &y, const Fixed &x, uint64_t xErr, int n, Fixed &theta);
// start as a fixed-point number of kLevels[0] words.
Fixed fromApprox(const Approx &start);

} // namespace spindle::numerics
