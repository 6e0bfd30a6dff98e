// JSON numbers: the shortest text that reads back, and JSON whatever comes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "standin/gltf/json_text.h"

using standin::gltf::appendJsonNumber;

TEST(JsonText, numbersAreTheShortestThatReadBackAndNeverInfinite) {
    std::string out;
    for (double value : {0.0, -0.0, 0.1, -2.5, 1e308, 3.4028234663852886e38})
        appendJsonNumber(out += ' ', value);
    EXPECT_EQ(out, " 0 0 0.1 -2.5 1e+308 3.4028234663852886e+38");
#ifdef NDEBUG
    // A caller's mistake (asserted in a debug build) still gives JSON.
    out.clear();
    const double infinity = std::numeric_limits<double>::infinity();
    for (double value : {infinity, -infinity, std::nan("")})
        appendJsonNumber(out += ' ', value);
    EXPECT_EQ(out, " 1.7976931348623157e+308 -1.7976931348623157e+308 0");
#endif
}
