// Number text shared by all scene records.
#include <cstdio>

#include "scene/scene.h"

namespace spindle {

FixedText formatFixed(double value) {
    FixedText out;
    if (value == 0.0)
        value = 0.0;  // drops the sign of a negative zero
    std::snprintf(out.text, sizeof out.text, "%8.6lf", value);
    return out;
}

} // namespace spindle
