// The correctly rounded sine, cosine, arcsine and arctangent: special
// values, results near the rounding boundaries of doubles (published worst
// cases, which need the fixed-point path) and the subnormal tie of atan2,
// each checked bit for bit against its value computed with mpmath.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "module/numerics/exact_math.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

enum Function { Sin, Cos, Asin, Atan2 };

struct Case {
    Function function;
    double a, b; // the argument, or atan2(a, b)
    double expected;
};

const Case kCases[] = {
    {Sin, 0.0, 0.0, 0.0},                                                            // sin(+0) = +0
    {Sin, -0.0, 0.0, -0.0},                                                          // sin(-0) = -0
    {Sin, 0x0.0000000000001p-1022, 0.0, 0x0.0000000000001p-1022},                    // subnormal: sin x = x
    {Sin, 0x1.fffffffffffffp-27, 0.0, 0x1.fffffffffffffp-27},                        // largest x with sin x = x
    {Sin, 0x1.fffffffffffffp-8, 0.0, 0x1.fffeaaaaeeeeep-8},                          // just below a table split point
    {Sin, 0x1.921fb54442d18p+1, 0.0, 0x1.1a62633145c07p-53},                         // sin of pi as a double
    {Sin, -0x1.921fb54442d18p+0, 0.0, -0x1p+0},                                      // -pi/2 as a double
    {Sin, -0x1.49c0b4951a46fp+1, 0.0, -0x1.124e36d251a17p-1},                        // 0.49995 ulp from a midpoint
    {Sin, 0x1.54b3504c6b4a3p-1, 0.0, 0x1.3c1b936417dddp-1},                          // worst case
    {Sin, 0x1.d1772843917d7p+0, 0.0, 0x1.f06844e3884a2p-1},                          // worst case
    {Sin, 0x1.6800000002f76p-17, 0.0, 0x1.67ffffffe54dap-17},                        // worst case
    {Sin, 0x1.32ce90b32181fp+18, 0.0, -0x1.fffffffffffffp-1},                        // large, near a multiple of pi
    {Sin, kInf, 0.0, kNaN},                                                          // NaN
    {Cos, -0.0, 0.0, 0x1p+0},                                                        // cos(-0) = 1
    {Cos, 0x1.70ef54646d497p-57, 0.0, 0x1p+0},                                       // tiny
    {Cos, 0x1.921fb54442d18p+0, 0.0, 0x1.1a62633145c07p-54},                         // cos of pi/2 as a double
    {Cos, 0x1.921fb54442d18p+1, 0.0, -0x1p+0},                                       // cos of pi as a double
    {Cos, 0x1.7ab1847e2d065p-1, 0.0, 0x1.7a38c00984008p-1},                          // worst case
    {Cos, 0x1.921fb54c42d18p+2, 0.0, 0x1p+0},                                        // worst case near 2 pi
    {Cos, 0x1.2cc8b29df4504p+0, 0.0, 0x1.8adaf19d8d783p-2},                          // worst case
    {Cos, 0x1.8000000000024p-22, 0.0, 0x1.ffffffffffdc0p-1},                         // worst case
    {Cos, kNaN, 0.0, kNaN},                                                          // NaN
    {Asin, -0.0, 0.0, -0.0},                                                         // asin(-0) = -0
    {Asin, 0x1p+0, 0.0, 0x1.921fb54442d18p+0},                                       // pi/2
    {Asin, -0x1p+0, 0.0, -0x1.921fb54442d18p+0},                                     // -pi/2
    {Asin, 0x1.fffffffffffffp-1, 0.0, 0x1.921fb50442d18p+0},                         // just below 1
    {Asin, 0x1.0000000000001p+0, 0.0, kNaN},                                         // NaN beyond 1
    {Asin, 0x1.fffffffffffffp-27, 0.0, 0x1.fffffffffffffp-27},                       // largest x with asin x = x
    {Asin, 0x1.e9950730c4696p-2, 0.0, 0x1.fe767739d0f6dp-2},                         // worst case
    {Asin, 0x1.dfffffffff02ep-20, 0.0, 0x1.e0000000001c2p-20},                       // worst case
    {Asin, -0x1.94e9b94c05952p-1, 0.0, -0x1.d30a821efa18bp-1},                       // worst case
    {Asin, 0x1.67ffffffe54dap-17, 0.0, 0x1.6800000002f76p-17},                       // worst case
    {Atan2, 0.0, 0.0, 0.0},                                                          // +0
    {Atan2, -0.0, -0.0, -0x1.921fb54442d18p+1},                                      // -pi
    {Atan2, 0.0, -0x1p+0, 0x1.921fb54442d18p+1},                                     // pi
    {Atan2, -0x1p+0, 0.0, -0x1.921fb54442d18p+0},                                    // -pi/2
    {Atan2, 0x1p+0, -0.0, 0x1.921fb54442d18p+0},                                     // pi/2
    {Atan2, -0x1p+0, kInf, -0.0},                                                    // -0
    {Atan2, 0x1p+0, -kInf, 0x1.921fb54442d18p+1},                                    // pi
    {Atan2, -kInf, -kInf, -0x1.2d97c7f3321d2p+1},                                    // -3 pi/4
    {Atan2, kInf, kInf, 0x1.921fb54442d18p-1},                                       // pi/4
    {Atan2, kNaN, 0x1p+0, kNaN},                                                     // NaN
    {Atan2, -0x1p+0, -0x1p+0, -0x1.2d97c7f3321d2p+1},                                // -3 pi/4
    {Atan2, 0x1.70ef54646d497p-57, 0x1p+0, 0x1.70ef54646d497p-57},                   // near the axis
    {Atan2, 0x1.70ef54646d497p-57, -0x1p+0, 0x1.921fb54442d18p+1},                   // near the axis, behind
    {Atan2, 0x1p+0, 0x1.56e1fc2f8f359p-997, 0x1.921fb54442d18p+0},                   // near the other axis
    {Atan2, 0x1.56e1fc2f8f359p-997, 0x1.2a05f20000000p+33, 0x0.012688b70e62bp-1022}, // subnormal result
    {Atan2, 0x0.0000000000003p-1022, 0x1p+1, 0x0.0000000000001p-1022}, // exactly halfway between subnormals
    {Atan2, 0x1.0e8bf2684d74ap-10, 0x1p+0, 0x1.0e8bec1cbf6b2p-10},     // worst case of atan
    {Atan2, 0x1.0e8bf2684d74ap-310, 0x1p-300, 0x1.0e8bec1cbf6b2p-10},  // the same, scaled
    {Atan2, 0x1p+0, 0x1.1bf1bcae5b31cp-10, 0x1.91d8b8d6e8fc2p+0},      // steep
    {Atan2, 0x1.7c1cb888d1887p+48, 0x1p+0, 0x1.921fb54442d0ep+0},      // worst case near pi/2
    {Atan2, -0x1.528a66c8019afp+0, -0x1p+0, -0x1.1bef767bc450bp+1},    // worst case, third quadrant
};

double evaluate(const Case &c) {
    switch (c.function) {
    case Sin: return spindle::exactSin(c.a);
    case Cos: return spindle::exactCos(c.a);
    case Asin: return spindle::exactAsin(c.a);
    default: return spindle::exactAtan2(c.a, c.b);
    }
}

TEST(ExactMath, roundsEveryTabledCaseToTheNearestDouble) {
    const char *names[] = {"sin", "cos", "asin", "atan2"};
    for (const Case &c : kCases) {
        const double got = evaluate(c);
        char text[160];
        std::snprintf(text, sizeof text, "%s(%a, %a) = %a, want %a", names[c.function], c.a, c.b, got, c.expected);
        if (std::isnan(c.expected))
            EXPECT_TRUE(std::isnan(got)) << text;
        else
            EXPECT_EQ(std::bit_cast<uint64_t>(got), std::bit_cast<uint64_t>(c.expected)) << text;
    }
}

} // namespace
