// Sine and cosine in fixed point, shared with the arctangent's slow path,
// which refines an angle by its sine and cosine.
#pragma once

#include "module/numerics/fixed_point.h"

#include <cstdint>

namespace spindle::numerics {

// sin a and cos a for |a| < 2^20, in sine and cosine; returns a bound on the
// error of both in ulps.
uint64_t sinCos(const Fixed &a, int n, Fixed &sine, Fixed &cosine);

} // namespace spindle::numerics
